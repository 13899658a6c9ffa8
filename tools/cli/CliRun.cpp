// program / compare / read on one port, in this process: the station's
// local run, drawn as the window's log (stdout, or stderr under --json)
// with a progress bar on a terminal; and a station's child, which runs the
// same and sends it up the station's channel.
#include "CliFiles.h"
#include "CliRun.h"
#include "CliSystem.h"
#include "CliUnits.h"

#include "UFolders.h"
#include "ULocalRun.h"
#include "UPortNames.h"
#include "UUnitsBatch.h"

namespace {

constexpr int BarWidth = 40;

// Calls come from the run's worker and from the thread that started it, never two at once.
class TOneHost : public TStationHost {
public:
    explicit TOneHost(FILE *Log) : Log(Log) {}
    ~TOneHost() override { ClearBar(); }

    void PortLine(size_t, const std::string &Line) override { Write(Log, Line); }
    // The preparation goes to stderr: stdout carries exactly the run's log and what follows it.
    void PortNote(size_t, TNoteKind Kind, const std::string &Text) override
    {
        if (Kind == TNoteKind::Report)
            Write(Log, Text);
        else if (Kind == TNoteKind::Preparation)
            Write(stderr, Text);
        else
            Complain(Text);
    }
    void PortStatus(size_t, const TRunStatus &Status) override
    {
        const bool Pass = Status.Phase == TRunPhase::Writing || Status.Phase == TRunPhase::Verifying ||
                          Status.Phase == TRunPhase::Reading;
        if (!Bar || !Pass)
            return;
        const int Filled = static_cast<int>(static_cast<int64_t>(Status.Bytes) * BarWidth / DeviceImageSize);
        std::fprintf(stderr, "\r[%s%s] %4d/%zu", std::string(static_cast<size_t>(Filled), '#').c_str(),
                     std::string(static_cast<size_t>(BarWidth - Filled), '.').c_str(), Status.Bytes, DeviceImageSize);
        std::fflush(stderr);
        BarShown = true;
    }
    void PortFinished(size_t, const TPortRecord &) override {}

private:
    void Write(FILE *To, const std::string &Line)
    {
        ClearBar();
        std::fwrite(Line.data(), 1, Line.size(), To);
        std::fputc('\n', To);
        std::fflush(To);
    }
    void ClearBar()
    {
        if (!BarShown)
            return;
        std::fprintf(stderr, "\r%*s\r", BarWidth + 12, "");
        std::fflush(stderr);
        BarShown = false;
    }

    FILE *Log;
    const bool Bar = IsTerminal(stderr);
    bool BarShown = false;
};

// One port in this process, with its record for --json and --log.
int RunOne(const TCliArgs &Args, int32_t Mode)
{
    CatchStopSignals(RequestRunStop);
    ProgramDir.Assign(ProgramFolder());
    TChildJob Job;
    Job.Mode = Args.Details ? RunModeCompareDetails : Mode;
    Job.Port = Args.Ports[0];
    auto Set = std::make_unique<TSettings>();
    if (Mode == RunModeRead) {
        Job.OutPath = Job.SetFile = Args[0];
        Job.ImagePath = Args.Image;
        // What was read is lost when it cannot be saved: found before the device is touched.
        if (!FilesApart({Args.Base}, {Job.OutPath, Job.ImagePath}, Args.Log) || !OutFileWritable(Job.OutPath) ||
            (!Job.ImagePath.empty() && !OutFileWritable(Job.ImagePath)))
            return ExitFailure;
        if (!Args.Base.empty() && !ReadBaseSet(Args.Base, *Set))
            return ExitFailure;
        if (!Args.Base.empty())
            Job.BaseBytes.assign(reinterpret_cast<const char *>(Set.get()), sizeof(TSettings));
    } else {
        Job.SetFile = Args[0];
        if (!FilesApart({Args[0]}, {}, Args.Log))
            return ExitFailure;
        if (!ReadSetFile(Args[0], *Set))
            return ExitFailure;
        Job.SetBytes.assign(reinterpret_cast<const char *>(Set.get()), sizeof(TSettings));
    }
    TUnitsBatch Batch;
    if (!Args.Units.empty()) {
        if (const int Status = OpenUnitsBatch(Args, *Set, Batch); Status != ExitOk)
            return Status;
    }
    TReports Reports;
    if (!Reports.Open(Args.Log, Args.Json))
        return ExitFailure;
    TPortRecord Record = BeginRecord(Job.Port, Mode, Job.SetFile);
    if (!Args.Units.empty()) {
        // The unit's row is taken before the port is opened: a table that has run out touches no device.
        TRunSet Unit;
        std::string Refusal;
        if (!Batch.Take(0, Unit, Refusal)) {
            Complain(Refusal);
            Record.Result = TPortResult::Start;
            Record.Error = Refusal;
            return Reports.Write(Record) ? ExitNegative : ExitFailure;
        }
        Job.SetBytes = Unit.Bytes;
        Record.UnitKey = Unit.UnitKey;
        std::fprintf(stderr, "Jednostka: %s\n", UnitName(Batch.Table(), Unit.UnitKey).c_str());
    }
    TOneHost Host(Args.Json ? stderr : stdout);
    const TLocalRun Run = RunHere(Job, Host);
    std::string JournalError;
    const bool Settled = Batch.Settle(0, Run.Ran ? Run.Result : TPortResult::Start, JournalError);
    if (!Settled)
        Complain(JournalError);
    if (!Run.Ran)
        return Run.SettingsFinding ? ExitNegative : ExitFailure;
    SettleRecord(Record, Run.Outcome);
    Record.Result = Run.Result;
    Record.DurationMs = Run.Outcome.DurationMs;
    Record.SetSha256 = Run.SetSha256;
    Record.ImageSha256 = Run.ImageSha256;
    Record.Error = Run.Error;
    if (!Settled)
        Record.Error += (Record.Error.empty() ? "" : "; ") + JournalError;
    if (!Args.Units.empty())
        PrintUnitsLeft(Batch, Args.Units, Args.Json ? stderr : stdout);
    const bool Recorded = Reports.Write(Record);
    if (Run.Result == TPortResult::File || !Recorded || !Settled)
        return ExitFailure;
    if (Run.Result == TPortResult::Interrupted && StopSignalStatus() != 0)
        return StopSignalStatus();
    return Run.Result == TPortResult::Ok ? ExitOk : ExitNegative;
}

int RunCommand(const TCliArgs &Args, int32_t Mode)
{
    for (const std::string &Port : Args.Ports) {
        int32_t Number = 0;
        std::string DevicePath;
        if (!ParsePort(Port, Number, DevicePath)) {
            Complain(PortUsage());
            return ExitFailure;
        }
    }
    if (Args.Units.empty() && (!Args.Separator.empty() || !Args.Encoding.empty())) {
        Complain("--separator i --encoding dotyczą tabeli jednostek (--units)");
        return ExitFailure;
    }
    if (Args.Details && Args.Ports.size() > 1) {
        Complain("--details: różnice wskazuje porównanie z jednym portem");
        return ExitFailure;
    }
    return Args.Ports.size() > 1 ? RunStation(Args, Mode) : RunOne(Args, Mode);
}

} // namespace

std::string PortUsage()
{
    return "port: COM1..COM" + std::to_string(ComPorts.Cli) + " albo ścieżka urządzenia, np. --port COM1";
}

bool TReports::Open(const std::string &Path, bool AsJson)
{
    Json = AsJson;
    LogPath = Path;
    std::string Error;
    if (!Path.empty() && !Log.Open(Path, Error)) {
        Complain(Path + ": nie można otworzyć dziennika do dopisywania (" + Error + ")");
        return false;
    }
    return true;
}

bool TReports::Write(const TPortRecord &Record)
{
    bool Ok = true;
    if (Json) {
        const std::string Line = JsonRecord(Record) + "\n";
        Ok = std::fwrite(Line.data(), 1, Line.size(), stdout) == Line.size() && std::fflush(stdout) == 0;
    }
    if (Log.IsOpen() && !Log.Append(AuditLine(Record, HostName()))) {
        Complain(LogPath + ": nie udało się dopisać wiersza do dziennika");
        Ok = false;
    }
    return Ok;
}

int CliProgram(const TCliArgs &Args)
{
    return RunCommand(Args, RunModeProgram);
}

int CliCompare(const TCliArgs &Args)
{
    return RunCommand(Args, RunModeCompare);
}

int CliRead(const TCliArgs &Args)
{
    return RunCommand(Args, RunModeRead);
}

// The hidden child mode: one port's run for a station, on the channel its command line names.
int CliChild(const TCliArgs &Args)
{
    CatchStopSignals(RequestRunStop);
    ProgramDir.Assign(ProgramFolder());
    std::string Error;
    const int Status = ServeChildRun(Args[0], Args[1], Args[2], Error);
    if (!Error.empty())
        Complain("przebieg stacji: " + Error);
    return Status;
}
