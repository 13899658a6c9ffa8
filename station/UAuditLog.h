// The audit trail's file: opened once for appending, each line appended
// whole under an exclusive lock, so that runs and commands appending to one
// file at the same time never mix their lines. Backends: UAuditLog_posix.cpp,
// UAuditLog_win32.cpp.
#pragma once

#include <string>

class TAuditLog {
public:
    TAuditLog() = default;
    ~TAuditLog();
    TAuditLog(const TAuditLog &) = delete;
    TAuditLog &operator=(const TAuditLog &) = delete;

    // Opens Path for appending, created if missing; false, with the reason in Error, when it cannot.
    bool Open(const std::string &Path, std::string &Error);
    bool IsOpen() const { return Impl != nullptr; }
    // Line ends with its newline: one write under the lock, nothing else touched.
    bool Append(const std::string &Line);

private:
    struct TImpl;
    TImpl *Impl = nullptr;
};

// Local time in ISO 8601 with its zone, e.g. 2026-12-08T14:05:09+01:00.
std::string IsoTimeNow();
// This computer's name, "-" when the system names none.
std::string HostName();
