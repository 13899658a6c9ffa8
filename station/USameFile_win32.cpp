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

// The full name with "." and ".." gone; names differing in case are one file.
std::string FullName(const std::string &Name)
{
    char Full[MAX_PATH * 2];
    const DWORD Size = GetFullPathNameA(Name.c_str(), sizeof Full, Full, nullptr);
    std::string Out = Size > 0 && Size < sizeof Full ? std::string(Full, Size) : Name;
    CharLowerBuffA(Out.data(), static_cast<DWORD>(Out.size()));
    return Out;
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    if (A.empty() || B.empty())
        return false;
    BY_HANDLE_FILE_INFORMATION First, Second;
    if (FileIdentity(A, First) && FileIdentity(B, Second))
        return First.dwVolumeSerialNumber == Second.dwVolumeSerialNumber &&
               First.nFileIndexHigh == Second.nFileIndexHigh && First.nFileIndexLow == Second.nFileIndexLow;
    return FullName(A) == FullName(B);
}
