// What one port's run came to, as scripts (--json), the audit trail (--log)
// and the summaries read it: a record built from the run's outcome, never
// from its log lines.
#pragma once

#include "URun.h"

#include <cstdint>
#include <string>

// The run's own results, and what a station adds around a run.
enum class TPortResult : uint8_t {
    None, // still running
    Ok,
    Port,
    NoReply,
    Write,
    Verify,
    Read,
    Interrupted,
    File,     // read: what was read could not be saved
    Start,    // the run never started: no child process, or its set was refused
    Crashed,  // its process ended without its last record, or otherwise than that record said
    Deadline, // stopped at the port's deadline
};

TPortResult PortResultOf(TRunResult Result);
// "ok", "port", "no-reply", "write", "verify", "read", "interrupted", "file",
// "start", "crashed", "deadline"; "" for None.
const char *PortResultName(TPortResult Result);
// "program", "compare", "read" (a detailed comparison is a comparison), "probe".
const char *RunModeName(int32_t Mode);

struct TPortRecord {
    std::string Port;       // as given
    std::string StablePort; // /dev/serial/by-id/..., or empty
    int32_t Mode = 0;
    std::string Version;    // "1.2.3", or empty when the device never answered
    TPortResult Result = TPortResult::None;
    int32_t FailedAddress = -1;
    int64_t DurationMs = 0;
    std::string SetFile, SetSha256, ImageSha256;
    std::string Time;       // ISO 8601 with zone, when the run started
    // Why, where a reason is known: the port's system error, why a run did
    // not start or how its process ended.
    std::string Error;
    std::string UnitKey;    // the unit the set was for, where the caller named one
    TRunStatus Status;      // tries and repeats as the run ended
    TFastExchange Fast = TFastExchange::Off;
};

// A record of a run starting now on Port: its time and stable name.
TPortRecord BeginRecord(const std::string &Port, int32_t Mode, const std::string &SetFile);
// What the run's outcome says: version, result, failed block, the port's error, tries.
void SettleRecord(TPortRecord &Record, const TRunOutcome &Outcome);

// One line without its newline; unknown values are null.
std::string JsonRecord(const TPortRecord &Record);
// The audit line's fields, in their order.
enum TAuditField {
    AuditTime, AuditHost, AuditPort, AuditStablePort, AuditVersion, AuditSetFile, AuditSetSha256, AuditMode,
    AuditResult, AuditDurationMs, AuditError, AuditUnitKey, AuditFast, AuditFieldCount
};
// Tab-separated, ending in a newline: time, host, port, stable name,
// version, set file, set SHA-256, mode, result, duration in ms, error, unit
// key, fast exchange; "-" for an unknown value.
std::string AuditLine(const TPortRecord &Record, const std::string &Host);
// An audit line back into what it holds (a window's view of the log);
// false for a line of another shape. Tries are not in it; a line written
// before the fast exchange's field reads as "off".
bool ParseAuditLine(std::string Line, TPortRecord &Record, std::string &Host);

// The run's words for a summary: the line its log ends with for the result
// ("Błąd weryfikacji ustawień!"), or what a station says of a run it ended.
std::string ResultText(const TPortRecord &Record);
// The line a run logs as it enters the phase ("Weryfikacja...").
const char *PhaseText(TRunPhase Phase);
