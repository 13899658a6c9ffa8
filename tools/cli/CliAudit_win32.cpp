#include "CliAudit.h"

#include <windows.h>

#include <cstdio>

struct TAuditLog {
    HANDLE File = INVALID_HANDLE_VALUE;
};

TAuditLog *OpenAuditLog(const std::string &Path)
{
    // FILE_APPEND_DATA alone: every write goes to the end as it stands at that moment.
    const HANDLE File = CreateFileA(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return nullptr;
    return new TAuditLog{File};
}

bool AppendAuditLine(TAuditLog *Log, const std::string &Line)
{
    if (Log == nullptr)
        return false;
    OVERLAPPED Whole = {};
    if (!LockFileEx(Log->File, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &Whole))
        return false;
    DWORD Written = 0;
    const bool Ok = WriteFile(Log->File, Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) &&
                    Written == Line.size();
    UnlockFileEx(Log->File, 0, MAXDWORD, MAXDWORD, &Whole);
    return Ok;
}

void CloseAuditLog(TAuditLog *Log)
{
    if (Log == nullptr)
        return;
    CloseHandle(Log->File);
    delete Log;
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
