#include "UFiles.h"

#include "UDecls.h"
#include "UFilesBackend.h"

namespace {

// A zero byte would cut the name to another file's name at the system call.
bool NameUsable(std::string_view Name)
{
    return !Name.empty() && PathLength(Name) <= MaxPathLength && Name.find('\0') == std::string_view::npos;
}

} // namespace

size_t PathLength(std::string_view Name)
{
    return FilesBackend::NameLength(Name);
}

bool ReadWholeFile(std::string_view Name, void *Buffer, int32_t Count)
{
    if (!NameUsable(Name) || Count < 0 || (Count > 0 && Buffer == nullptr))
        return false;
    return FilesBackend::ReadWholeFile(std::string(Name), Buffer, Count);
}

bool WriteWholeFile(std::string_view Name, const void *Buffer, int32_t Count)
{
    if (!NameUsable(Name) || Count < 0 || (Count > 0 && Buffer == nullptr))
        return false;
    return FilesBackend::WriteWholeFile(std::string(Name), Buffer, Count);
}

bool WholeFileWritable(std::string_view Name)
{
    return NameUsable(Name) && FilesBackend::Writable(std::string(Name));
}

int32_t GetFileLength(std::string_view Name)
{
    const int64_t Size = GetFullFileLength(Name);
    if (Size < 0)
        return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Size)));
}

int64_t GetFullFileLength(std::string_view Name)
{
    if (!NameUsable(Name))
        return -1;
    return FilesBackend::FileLength(std::string(Name));
}

bool FileExistsByName(std::string_view Name)
{
    return NameUsable(Name) && FilesBackend::FileExists(std::string(Name));
}

std::string ExecutableDir()
{
    return FilesBackend::ExecutableDir();
}

std::string SettingsFilePath(std::string_view Name)
{
    std::string Path = ProgramDir.Str();
    Path += "Sets";
    Path += PathSeparator;
    Path += Name;
    return Path;
}

std::string PortFilePath()
{
    std::string Path = ProgramDir.Str();
    Path += "Sys";
    Path += PathSeparator;
    Path += "Port.bin";
    return Path;
}

std::string SettingsFolder()
{
    return ProgramDir.Str() + "Sets";
}

std::string BareFileName(std::string_view Path)
{
    const size_t Slash = Path.find_last_of("/\\");
    return std::string(Slash == std::string_view::npos ? Path : Path.substr(Slash + 1));
}
