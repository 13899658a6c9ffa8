#include "USameFile.h"

#include <windows.h>

namespace {

bool FileIdentity(const std::string &Name, BY_HANDLE_FILE_INFORMATION &Info)
{
    const HANDLE File = CreateFileA(Name.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return false;
    const bool Ok = GetFileInformationByHandle(File, &Info) != 0;
    CloseHandle(File);
    return Ok;
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    BY_HANDLE_FILE_INFORMATION First, Second;
    return FileIdentity(A, First) && FileIdentity(B, Second) &&
           First.dwVolumeSerialNumber == Second.dwVolumeSerialNumber &&
           First.nFileIndexHigh == Second.nFileIndexHigh && First.nFileIndexLow == Second.nFileIndexLow;
}
