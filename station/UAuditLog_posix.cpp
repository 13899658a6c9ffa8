#include "UAuditLog.h"
#include "UPosixFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct TAuditLog::TImpl {
    int Fd = -1;
};

TAuditLog::~TAuditLog()
{
    if (Impl != nullptr)
        close(Impl->Fd);
    delete Impl;
}

bool TAuditLog::Open(const std::string &Path, std::string &Error)
{
    // Only a regular file: a FIFO would wait for its reader, a device could have side effects.
    const int Fd = OpenRegularFile(Path, O_WRONLY | O_APPEND, Error);
    if (Fd < 0)
        return false;
    // No write permission for anyone: read-only, as a set is, for root too.
    struct stat St;
    if (fstat(Fd, &St) != 0 || (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        close(Fd);
        Error = "plik tylko do odczytu";
        return false;
    }
    Impl = new TImpl{Fd};
    return true;
}

bool TAuditLog::Append(const std::string &Line)
{
    if (Impl == nullptr)
        return false;
    while (flock(Impl->Fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    // O_APPEND puts every write at the end as it stands at that moment.
    const bool Ok = WriteAll(Impl->Fd, Line.data(), Line.size());
    flock(Impl->Fd, LOCK_UN);
    return Ok;
}

std::string IsoTimeNow()
{
    const std::time_t Now = std::time(nullptr);
    std::tm Local = {};
    localtime_r(&Now, &Local);
    char Text[40];
    std::strftime(Text, sizeof Text, "%Y-%m-%dT%H:%M:%S", &Local);
    const long Offset = Local.tm_gmtoff;
    const long Minutes = (Offset < 0 ? -Offset : Offset) / 60;
    char Zone[32];
    std::snprintf(Zone, sizeof Zone, "%c%02ld:%02ld", Offset < 0 ? '-' : '+', Minutes / 60, Minutes % 60);
    return std::string(Text) + Zone;
}

std::string HostName()
{
    char Name[256] = {};
    if (gethostname(Name, sizeof Name - 1) != 0)
        return "-";
    return Name;
}
