#include "UFoldersBackend.h"

#include <windows.h>

namespace FoldersBackend {

namespace {

bool IsFolder(const std::string &Path)
{
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::string UserDataFolder()
{
    char Buffer[MAX_PATH + 1] = {};
    const DWORD Size = GetEnvironmentVariableA("APPDATA", Buffer, sizeof Buffer);
    if (Size == 0 || Size >= sizeof Buffer)
        return {};
    std::string Base(Buffer, Size);
    if (Base.back() != '\\' && Base.back() != '/')
        Base += '\\';
    return Base + "Trackwarden\\";
}

// The folder's attributes say nothing of its access rights (Program Files
// is not read-only by attribute), so only a file made there tells.
bool FolderWritable(const std::string &Path)
{
    if (!IsFolder(Path))
        return false;
    char Probe[MAX_PATH + 1] = {};
    if (GetTempFileNameA(Path.c_str(), "~tw", 0, Probe) == 0)
        return false;
    DeleteFileA(Probe);
    return true;
}

bool MakeFolders(const std::string &Path)
{
    if (Path.empty())
        return false;
    // Skips the drive ("C:\") or the server and share ("\\host\share\") part.
    size_t Start = 0;
    if (Path.size() >= 2 && Path[1] == ':')
        Start = 3;
    else if (Path.rfind("\\\\", 0) == 0)
        Start = Path.find_first_of("\\/", Path.find_first_of("\\/", 2) + 1);
    for (size_t Slash = Path.find_first_of("\\/", Start); ; Slash = Path.find_first_of("\\/", Slash + 1)) {
        const std::string Part = Path.substr(0, Slash);
        if (!Part.empty() && !IsFolder(Part) && !CreateDirectoryA(Part.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (Slash == std::string::npos || Slash + 1 == Path.size())
            break;
    }
    return IsFolder(Path);
}

} // namespace FoldersBackend
