#include "UFoldersBackend.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FoldersBackend {

namespace {

std::string HomeFolder()
{
    const char *Home = std::getenv("HOME");
    if (Home != nullptr && Home[0] == '/')
        return Home;
    const passwd *Entry = getpwuid(getuid());
    if (Entry != nullptr && Entry->pw_dir != nullptr && Entry->pw_dir[0] == '/')
        return Entry->pw_dir;
    return {};
}

bool IsFolder(const std::string &Path)
{
    struct stat St;
    return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

} // namespace

std::string UserDataFolder()
{
    // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
    const char *Data = std::getenv("XDG_DATA_HOME");
    std::string Base;
    if (Data != nullptr && Data[0] == '/') {
        Base = Data;
    } else {
        Base = HomeFolder();
        if (Base.empty())
            return {};
        if (Base.back() != '/')
            Base += '/';
        Base += ".local/share";
    }
    if (Base.back() != '/')
        Base += '/';
    return Base + "trackwarden/";
}

bool FolderWritable(const std::string &Path)
{
    return IsFolder(Path) && access(Path.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolders(const std::string &Path)
{
    if (Path.empty())
        return false;
    for (size_t Slash = Path.find('/', 1); ; Slash = Path.find('/', Slash + 1)) {
        const std::string Part = Path.substr(0, Slash);
        // Parents made here are the user's own data folders: private, as the
        // base directory rules ask; the last one follows the umask.
        const mode_t Mode = Slash == std::string::npos ? 0777 : 0700;
        if (!Part.empty() && mkdir(Part.c_str(), Mode) != 0 && errno != EEXIST)
            return false;
        if (Slash == std::string::npos || Slash + 1 == Path.size())
            break;
    }
    return IsFolder(Path);
}

} // namespace FoldersBackend
