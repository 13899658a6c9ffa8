// The audit trail's file: opened once for appending, each line appended
// whole under an exclusive lock. Backends: CliAudit_posix.cpp, CliAudit_win32.cpp.
#pragma once

#include <string>

struct TAuditLog;

// Null when the file cannot be opened for appending; it is created if missing.
TAuditLog *OpenAuditLog(const std::string &Path);
// Line ends with its newline; one write under the lock, nothing else touched.
bool AppendAuditLine(TAuditLog *Log, const std::string &Line);
void CloseAuditLog(TAuditLog *Log);

// Local time in ISO 8601 with its zone, e.g. 2026-12-08T14:05:09+01:00.
std::string IsoTimeNow();
