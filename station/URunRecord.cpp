#include "URunRecord.h"

#include "Cp1250.h"
#include "UAuditLog.h"
#include "UPortList.h"
#include "URunLines.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Texts are UTF-8 or bytes of a file name: quotes, backslashes and control
// characters escaped, well-formed UTF-8 passed as it is, and every other
// byte written as the character of its value (\u00XX), so that the record
// parses whatever the name.
std::string JsonText(const std::string &Text)
{
    std::string Out = "\"";
    for (size_t I = 0; I < Text.size();) {
        const auto Byte = static_cast<unsigned char>(Text[I]);
        const size_t Length = Utf8CharLength(Text, I);
        if (Byte == '"' || Byte == '\\') {
            Out += '\\';
            Out += Text[I];
        } else if (Byte < 0x20 || Byte == 0x7F || Length == 0) {
            char Escape[8];
            std::snprintf(Escape, sizeof Escape, "\\u%04x", Byte);
            Out += Escape;
        } else {
            Out.append(Text, I, Length);
            I += Length;
            continue;
        }
        ++I;
    }
    return Out + "\"";
}

std::string JsonTextOrNull(const std::string &Text)
{
    return Text.empty() ? "null" : JsonText(Text);
}

// One field of the audit line: tabs and line breaks would split it.
std::string AuditField(const std::string &Text)
{
    if (Text.empty())
        return "-";
    std::string Out = Text;
    for (char &C : Out)
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
            C = '?';
    return Out;
}


} // namespace

TPortResult PortResultOf(TRunResult Result)
{
    switch (Result) {
    case TRunResult::None: return TPortResult::None;
    case TRunResult::Ok: return TPortResult::Ok;
    case TRunResult::Port: return TPortResult::Port;
    case TRunResult::NoReply: return TPortResult::NoReply;
    case TRunResult::Write: return TPortResult::Write;
    case TRunResult::Verify: return TPortResult::Verify;
    case TRunResult::Read: return TPortResult::Read;
    case TRunResult::Interrupted: return TPortResult::Interrupted;
    }
    return TPortResult::None;
}

const char *PortResultName(TPortResult Result)
{
    switch (Result) {
    case TPortResult::None: return "";
    case TPortResult::Ok: return "ok";
    case TPortResult::Port: return "port";
    case TPortResult::NoReply: return "no-reply";
    case TPortResult::Write: return "write";
    case TPortResult::Verify: return "verify";
    case TPortResult::Read: return "read";
    case TPortResult::Interrupted: return "interrupted";
    case TPortResult::File: return "file";
    case TPortResult::Start: return "start";
    case TPortResult::Crashed: return "crashed";
    case TPortResult::Deadline: return "deadline";
    }
    return "";
}

const char *RunModeName(int32_t Mode)
{
    switch (Mode) {
    case RunModeProgram: return "program";
    case RunModeCompare:
    case RunModeCompareDetails: return "compare";
    case RunModeRead: return "read";
    case RunModeProbe: return "probe";
    }
    return "";
}

TPortRecord BeginRecord(const std::string &Port, int32_t Mode, const std::string &SetFile)
{
    TPortRecord Record;
    Record.Port = Port;
    Record.StablePort = StableDeviceName(Port);
    Record.Mode = Mode;
    Record.SetFile = SetFile;
    Record.Time = IsoTimeNow();
    return Record;
}

void SettleRecord(TPortRecord &Record, const TRunOutcome &Outcome)
{
    Record.Version = RunVersionText(Outcome);
    Record.Result = PortResultOf(Outcome.Result);
    Record.FailedAddress = Outcome.FailedAddress;
    Record.Status = Outcome.Status;
    Record.Fast = Outcome.Fast;
    if (!Outcome.PortError.empty())
        Record.Error = Outcome.PortError;
}

std::string JsonRecord(const TPortRecord &R)
{
    return "{\"port\":" + JsonText(R.Port) + ",\"stable_port\":" + JsonTextOrNull(R.StablePort) +
           ",\"mode\":" + JsonText(RunModeName(R.Mode)) + ",\"version\":" + JsonTextOrNull(R.Version) +
           ",\"result\":" + JsonText(PortResultName(R.Result)) + ",\"failed_address\":" +
           (R.FailedAddress < 0 ? std::string("null") : std::to_string(R.FailedAddress)) +
           ",\"duration_ms\":" + std::to_string(R.DurationMs) + ",\"set_file\":" + JsonText(R.SetFile) +
           ",\"set_sha256\":" + JsonTextOrNull(R.SetSha256) + ",\"image_sha256\":" + JsonTextOrNull(R.ImageSha256) +
           ",\"started\":" + JsonText(R.Time) + ",\"error\":" + JsonTextOrNull(R.Error) +
           ",\"unit_key\":" + JsonTextOrNull(R.UnitKey) + ",\"fast\":" + JsonText(FastExchangeName(R.Fast)) + "}";
}

std::string AuditLine(const TPortRecord &R, const std::string &Host)
{
    std::string Fields[AuditFieldCount];
    Fields[AuditTime] = R.Time;
    Fields[AuditHost] = Host;
    Fields[AuditPort] = R.Port;
    Fields[AuditStablePort] = R.StablePort;
    Fields[AuditVersion] = R.Version;
    Fields[AuditSetFile] = R.SetFile;
    Fields[AuditSetSha256] = R.SetSha256;
    Fields[AuditMode] = RunModeName(R.Mode);
    Fields[AuditResult] = PortResultName(R.Result);
    Fields[AuditDurationMs] = std::to_string(R.DurationMs);
    Fields[AuditError] = R.Error;
    Fields[AuditUnitKey] = R.UnitKey;
    Fields[AuditFast] = FastExchangeName(R.Fast);
    std::string Line;
    for (const std::string &Field : Fields)
        Line += (Line.empty() ? "" : "\t") + AuditField(Field);
    return Line + "\n";
}

bool ParseAuditLine(std::string Line, TPortRecord &R, std::string &Host)
{
    if (!Line.empty() && Line.back() == '\n')
        Line.pop_back();
    if (!Line.empty() && Line.back() == '\r')
        Line.pop_back();
    std::vector<std::string> Fields;
    for (size_t At = 0;;) {
        const size_t Tab = Line.find('\t', At);
        Fields.push_back(Line.substr(At, Tab == std::string::npos ? std::string::npos : Tab - At));
        if (Tab == std::string::npos)
            break;
        At = Tab + 1;
    }
    // Lines written before the fast exchange's field have all the others.
    if (Fields.size() == AuditFast)
        Fields.push_back(FastExchangeName(TFastExchange::Off));
    if (Fields.size() != AuditFieldCount)
        return false;
    for (std::string &Field : Fields)
        if (Field == "-")
            Field.clear();
    R = TPortRecord();
    R.Time = Fields[AuditTime];
    Host = Fields[AuditHost];
    R.Port = Fields[AuditPort];
    R.StablePort = Fields[AuditStablePort];
    R.Version = Fields[AuditVersion];
    R.SetFile = Fields[AuditSetFile];
    R.SetSha256 = Fields[AuditSetSha256];
    for (const int32_t Mode : {RunModeProgram, RunModeCompare, RunModeRead, RunModeProbe})
        if (Fields[AuditMode] == RunModeName(Mode))
            R.Mode = Mode;
    for (int Result = 0; Result <= static_cast<int>(TPortResult::Deadline); ++Result)
        if (Fields[AuditResult] == PortResultName(static_cast<TPortResult>(Result)))
            R.Result = static_cast<TPortResult>(Result);
    R.DurationMs = std::strtoll(Fields[AuditDurationMs].c_str(), nullptr, 10);
    R.Error = Fields[AuditError];
    R.UnitKey = Fields[AuditUnitKey];
    for (const TFastExchange Fast : {TFastExchange::Off, TFastExchange::On, TFastExchange::Fallback})
        if (Fields[AuditFast] == FastExchangeName(Fast)) {
            R.Fast = Fast;
            return true;
        }
    return false;
}

std::string ResultText(const TPortRecord &R)
{
    switch (R.Result) {
    case TPortResult::None: return "";
    case TPortResult::Ok:
        return RunDoneLine(R.Mode);
    case TPortResult::Port: return LinePortFailed;
    case TPortResult::NoReply: return LineNoReply;
    case TPortResult::Write: return LineWriteFailed;
    case TPortResult::Verify: return RunVerifyFailedLine(R.Mode);
    case TPortResult::Read: return LineReadFailed;
    case TPortResult::Interrupted: return LineStopped;
    case TPortResult::File: return "nie zapisano zestawu";
    case TPortResult::Start: return "nie uruchomiony";
    case TPortResult::Crashed: return "przebieg zakończony awaryjnie";
    case TPortResult::Deadline: return "przekroczony czas przebiegu";
    }
    return "";
}

const char *PhaseText(TRunPhase Phase)
{
    switch (Phase) {
    case TRunPhase::Opening: return LineOpenPort;
    case TRunPhase::Connecting: return LineConnecting;
    case TRunPhase::Writing: return LineProgramming;
    case TRunPhase::Verifying: return LineVerifying;
    case TRunPhase::Reading: return LineReading;
    case TRunPhase::Resetting: return LineReset;
    case TRunPhase::Ended: break;
    }
    return "";
}
