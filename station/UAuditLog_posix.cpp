#include "UAuditLog.h"

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
    // Only a regular file: opening a FIFO would wait for its reader, a
    // device could have side effects. Looked at before it is opened, and
    // opened without waiting in case it changed meanwhile.
    struct stat St;
    if (stat(Path.c_str(), &St) == 0 && !S_ISREG(St.st_mode)) {
        Error = "to nie jest zwykły plik";
        return false;
    }
    const int Fd = open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (Fd < 0) {
        Error = std::string("open: ") + std::strerror(errno);
        return false;
    }
    std::string Refused;
    if (fstat(Fd, &St) != 0 || !S_ISREG(St.st_mode))
        Refused = "to nie jest zwykły plik";
    // No write permission for anyone: read-only, as a set is, for root too.
    else if ((St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        Refused = "plik tylko do odczytu";
    if (!Refused.empty()) {
        close(Fd);
        Error = Refused;
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
    size_t Done = 0;
    bool Ok = true;
    while (Done < Line.size()) {
        const ssize_t N = write(Impl->Fd, Line.data() + Done, Line.size() - Done);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0) {
            Ok = false;
            break;
        }
        Done += static_cast<size_t>(N);
    }
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
