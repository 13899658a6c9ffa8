// Win32 binding of the whole-file routines: CreateFileA without sharing,
// one ReadFile or WriteFile per call, FindFirstFileA for the existence test.
#include "UFiles.h"
#include "UFilesBackend.h"

#include <windows.h>

#include <cctype>
#include <string_view>

const char PathSeparator = '\\';

namespace FilesBackend {

namespace {

// "Sets\COM1" or "Sets\nul.txt" would open a device, not a file: Windows
// takes these names as devices in any folder and with any extension.
bool IsDeviceName(const std::string &Name)
{
    const size_t Slash = Name.find_last_of("\\/:");
    std::string_view Base(Name);
    if (Slash != std::string::npos)
        Base.remove_prefix(Slash + 1);
    Base = Base.substr(0, Base.find('.'));
    while (!Base.empty() && Base.back() == ' ')
        Base.remove_suffix(1);
    std::string Upper;
    for (const char C : Base)
        Upper += static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    if (Upper == "CON" || Upper == "PRN" || Upper == "AUX" || Upper == "NUL" || Upper == "CONIN$" || Upper == "CONOUT$")
        return true;
    return Upper.size() == 4 && (Upper.starts_with("COM") || Upper.starts_with("LPT")) && Upper[3] >= '1' && Upper[3] <= '9';
}

// Wildcards would make the directory search find some other file.
bool HasWildcard(const std::string &Name)
{
    return Name.find_first_of("*?") != std::string::npos;
}

bool NameUsable(const std::string &Name)
{
    return !IsDeviceName(Name) && !HasWildcard(Name);
}

// Opens an existing file exclusively for the call; a device or pipe is closed again at once.
HANDLE OpenExisting(const std::string &Name, DWORD Access)
{
    const HANDLE File = CreateFileA(Name.c_str(), Access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    if (GetFileType(File) != FILE_TYPE_DISK) {
        CloseHandle(File);
        return INVALID_HANDLE_VALUE;
    }
    return File;
}

int64_t SizeOf(HANDLE File)
{
    DWORD High = 0;
    const DWORD Low = GetFileSize(File, &High);
    if (Low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(High) << 32) | Low);
}

std::string FolderOf(const std::string &Path)
{
    const size_t Slash = Path.find_last_of("\\/");
    if (Slash != std::string::npos)
        return Path.substr(0, Slash + 1);
    if (Path.size() >= 2 && Path[1] == ':')
        return Path.substr(0, 2);
    return {};
}

} // namespace

size_t NameLength(std::string_view Name)
{
    return Name.size();
}

bool ReadWholeFile(const std::string &Name, void *Buffer, int32_t Count)
{
    if (!NameUsable(Name))
        return false;
    const HANDLE File = OpenExisting(Name, GENERIC_READ);
    if (File == INVALID_HANDLE_VALUE)
        return false;
    // The full size, not its low 32 bits: a file 4 GiB longer is no match.
    bool Ok = SizeOf(File) == static_cast<int64_t>(Count);
    if (Ok && Count > 0) {
        DWORD Done = 0;
        Ok = ReadFile(File, Buffer, static_cast<DWORD>(Count), &Done, nullptr) && Done == static_cast<DWORD>(Count);
    }
    CloseHandle(File);
    return Ok;
}

// An old file at Name may be replaced: a file, not read-only, that no other
// program holds. No file there is fine too.
bool OldFileReplaceable(const std::string &Name)
{
    const DWORD Attributes = GetFileAttributesA(Name.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    // Windows refuses to write a read-only file even to an administrator;
    // said here too, since Wine run by root would let the open through.
    if (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return false;
    const HANDLE Old = OpenExisting(Name, GENERIC_WRITE);
    if (Old == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(Old);
    return true;
}

// The new contents go to a temporary file in the same folder, which replaces
// the old one only once every byte is written and flushed: a full disk or a
// crash leaves the old file whole. The old file is first opened for writing
// without sharing, which refuses the save while another program holds it;
// it is closed again before the move, which could not replace a file that
// is still open.
bool WriteWholeFile(const std::string &Name, const void *Buffer, int32_t Count)
{
    if (!NameUsable(Name) || !OldFileReplaceable(Name))
        return false;

    const std::string Folder = FolderOf(Name);
    char Temp[MAX_PATH + 1] = {};
    if (GetTempFileNameA(Folder.empty() ? "." : Folder.c_str(), "~tw", 0, Temp) == 0)
        return false;
    const HANDLE File = CreateFileA(Temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        DeleteFileA(Temp);
        return false;
    }
    bool Ok = true;
    if (Count > 0) {
        DWORD Done = 0;
        Ok = WriteFile(File, Buffer, static_cast<DWORD>(Count), &Done, nullptr) && Done == static_cast<DWORD>(Count);
    }
    Ok = Ok && FlushFileBuffers(File);
    Ok = CloseHandle(File) && Ok;
    Ok = Ok && MoveFileExA(Temp, Name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!Ok)
        DeleteFileA(Temp);
    return Ok;
}

bool Writable(const std::string &Name)
{
    if (!NameUsable(Name) || !OldFileReplaceable(Name))
        return false;
    const std::string Folder = FolderOf(Name);
    const DWORD Attributes = GetFileAttributesA(Folder.empty() ? "." : Folder.c_str());
    // A folder's read-only attribute does not keep files out of it.
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int64_t FileLength(const std::string &Name)
{
    if (!NameUsable(Name))
        return -1;
    const HANDLE File = OpenExisting(Name, GENERIC_READ);
    if (File == INVALID_HANDLE_VALUE)
        return -1;
    const int64_t Size = SizeOf(File);
    CloseHandle(File);
    return Size;
}

bool FileExists(const std::string &Name)
{
    if (!NameUsable(Name))
        return false;
    WIN32_FIND_DATAA Found;
    const HANDLE Search = FindFirstFileA(Name.c_str(), &Found);
    if (Search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(Search);
    return (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ExecutableDir()
{
    std::string Path(MAX_PATH, '\0');
    for (;;) {
        const DWORD Size = GetModuleFileNameA(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
        if (Size == 0)
            return {};
        // A full buffer means the path was cut.
        if (Size < Path.size()) {
            Path.resize(Size);
            break;
        }
        if (Path.size() >= 32768)
            return {};
        Path.resize(Path.size() * 2);
    }
    return FolderOf(Path);
}

} // namespace FilesBackend
