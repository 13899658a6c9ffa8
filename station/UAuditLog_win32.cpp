#include "UAuditLog.h"

#include "USerialComm.h"

#include <windows.h>

#include <cstdio>

struct TAuditLog::TImpl {
    HANDLE File = INVALID_HANDLE_VALUE;
};

TAuditLog::~TAuditLog()
{
    if (Impl != nullptr)
        CloseHandle(Impl->File);
    delete Impl;
}

bool TAuditLog::Open(const std::string &Path, std::string &Error)
{
    // FILE_APPEND_DATA alone: every write goes to the end as it stands at that moment.
    const HANDLE File = CreateFileA(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Error = SystemError("CreateFile");
        return false;
    }
    // A pipe or a device (CON, COM1) is no log. A read-only file is refused
    // by its attribute, also where the system would let the call append.
    BY_HANDLE_FILE_INFORMATION Info;
    std::string Refused;
    if (GetFileType(File) != FILE_TYPE_DISK)
        Refused = "to nie jest zwykły plik";
    else if (!GetFileInformationByHandle(File, &Info))
        Refused = SystemError("GetFileInformationByHandle");
    else if ((Info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        Refused = "plik tylko do odczytu";
    if (!Refused.empty()) {
        CloseHandle(File);
        Error = Refused;
        return false;
    }
    Impl = new TImpl{File};
    return true;
}

bool TAuditLog::Append(const std::string &Line)
{
    if (Impl == nullptr)
        return false;
    OVERLAPPED Whole = {};
    if (!LockFileEx(Impl->File, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &Whole))
        return false;
    DWORD Written = 0;
    const bool Ok = WriteFile(Impl->File, Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) &&
                    Written == Line.size();
    UnlockFileEx(Impl->File, 0, MAXDWORD, MAXDWORD, &Whole);
    return Ok;
}

std::string IsoTimeNow()
{
    SYSTEMTIME Local;
    GetLocalTime(&Local);
    TIME_ZONE_INFORMATION Zone;
    const DWORD Kind = GetTimeZoneInformation(&Zone);
    // Bias: minutes to add to local time for UTC.
    long Bias = Zone.Bias + (Kind == TIME_ZONE_ID_DAYLIGHT ? Zone.DaylightBias : Zone.StandardBias);
    const char Sign = Bias > 0 ? '-' : '+';
    if (Bias < 0)
        Bias = -Bias;
    char Text[48];
    std::snprintf(Text, sizeof Text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", Local.wYear, Local.wMonth,
                  Local.wDay, Local.wHour, Local.wMinute, Local.wSecond, Sign, Bias / 60, Bias % 60);
    return Text;
}

std::string HostName()
{
    char Name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD Size = sizeof Name;
    return GetComputerNameA(Name, &Size) ? std::string(Name, Size) : std::string("-");
}
