// program / compare / read on one port: the window's run in this process,
// with a front end of direct calls. A child of the station runs the same,
// its front end sending the run's values up the station's channel.
#include "CliRun.h"
#include "CliSystem.h"

#include "UChildProcess.h"
#include "UFiles.h"
#include "UFolders.h"
#include "UFrames.h"
#include "UImage.h"
#include "UPortNames.h"
#include "UProcs.h"
#include "URun.h"
#include "USerialComm.h"
#include "USha256.h"

#include <cstring>
#include <memory>

namespace {

constexpr int BarWidth = 40;

// The worker calls these on its own thread; nothing else runs meanwhile but
// the ticker, so no call needs a lock.
class TCliFrontEnd : public TRunFrontEnd {
public:
    // Log: where the run's log goes (stdout, or stderr under --json); a child sends it up Channel.
    TCliFrontEnd(int32_t Port, std::string DevicePath, FILE *Log, TChildChannel *Channel)
        : Port(Port), DevicePath(std::move(DevicePath)), Log(Log), Channel(Channel)
    {
    }

    void ClearLog() override {}
    // The preparation goes to stderr: stdout carries exactly the run's log.
    void AppendLine(const std::string &Line, bool) override
    {
        if (!Send(TChildKind::Note, Line))
            std::fprintf(stderr, "%s\n", Line.c_str());
    }
    void TakeSettings() override {} // Settings already hold the set to run
    void ShowSettingsError(const std::string &Text) override { Complain(Text); }
    int32_t ChosenPort() override { return Port; }
    std::string ChosenDevicePath() override { return DevicePath; }
    void BeginRun() override { Ticker = std::make_unique<TTicker>(); }

    void ShowLine(const std::string &Line) override
    {
        if (Send(TChildKind::Line, Line))
            return;
        ClearBar();
        std::fwrite(Line.data(), 1, Line.size(), Log);
        std::fputc('\n', Log);
        std::fflush(Log);
    }
    void ShowProgress(int32_t Bytes) override
    {
        if (!BarOnTerminal)
            return;
        const int Filled = static_cast<int>(static_cast<int64_t>(Bytes) * BarWidth / DeviceImageSize);
        std::fprintf(stderr, "\r[%s%s] %4d/%zu", std::string(static_cast<size_t>(Filled), '#').c_str(),
                     std::string(static_cast<size_t>(BarWidth - Filled), '.').c_str(), Bytes, DeviceImageSize);
        std::fflush(stderr);
        BarShown = true;
    }
    void ShowStatus(const TRunStatus &Status) override
    {
        TChildRecord Record;
        Record.Kind = TChildKind::Status;
        Record.Status = Status;
        if (Channel != nullptr)
            Channel->Send(Record);
    }
    void ShowOutcome(const TRunOutcome &Given) override
    {
        Outcome = Given;
        TChildRecord Record;
        Record.Kind = TChildKind::Outcome;
        Record.Outcome = Given;
        if (Channel != nullptr)
            Channel->Send(Record);
    }
    void RunFinished() override { ClearBar(); }

    // After the worker has ended.
    void EndRun()
    {
        Ticker.reset();
        RunInProgress = false;
    }

    TRunOutcome Outcome;

private:
    bool Send(TChildKind Kind, const std::string &Text)
    {
        if (Channel == nullptr)
            return false;
        TChildRecord Record;
        Record.Kind = Kind;
        Record.Text = Text;
        Channel->Send(Record);
        return true;
    }
    void ClearBar()
    {
        if (!BarShown)
            return;
        std::fprintf(stderr, "\r%*s\r", BarWidth + 12, "");
        std::fflush(stderr);
        BarShown = false;
    }

    int32_t Port;
    std::string DevicePath;
    FILE *Log;
    TChildChannel *Channel;
    std::unique_ptr<TTicker> Ticker;
    const bool BarOnTerminal = Channel == nullptr && IsTerminal(stderr);
    bool BarShown = false;
};

// The user's own terminal would get the protocol's bytes on the screen and
// be left in raw mode: refused by the port as well, said here in words.
bool PortIsNotTheTerminal(const std::string &Text, int32_t Port, const std::string &DevicePath)
{
    TSerialComm Probe;
    Probe.Port = Port;
    Probe.DevicePath = DevicePath;
    for (const bool UseDevicePath : {true, false}) {
        const std::string Name = Probe.DeviceName(UseDevicePath);
        if (!Name.empty() && IsControllingTerminal(Name)) {
            Complain(Text + ": to terminal, w którym działa program, nie port urządzenia");
            return false;
        }
    }
    return true;
}

// What a run in this process came to, beside its outcome: the record's
// result and hashes, and the exit status.
struct TRunHere {
    TPortResult Result = TPortResult::Start;
    std::string SetSha256, ImageSha256, Error;
    int Status = ExitFailure;
};

// A read's set and image saved, and what read reports of the decoding.
void SaveRead(const TChildJob &Job, TSettings &Set, FILE *Human, TRunHere &Here)
{
    const TImageDecoding Decoding = DecodeDeviceImage(ReadImage, Set);
    if (!WriteOutFile(Job.OutPath, &Set, sizeof(TSettings)) ||
        (!Job.ImagePath.empty() && !WriteOutFile(Job.ImagePath, ReadImage, sizeof ReadImage))) {
        Here.Result = TPortResult::File;
        Here.Error = "nie zapisano zestawu";
        Here.Status = ExitFailure;
        return;
    }
    PrintDecoding(Decoding, Human);
    Here.SetSha256 = Sha256Hex(&Set, sizeof(TSettings));
    Here.ImageSha256 = Sha256Hex(ReadImage, sizeof ReadImage);
}

// The run of Job on its port, from the set's bytes (or a read's base) to
// the files a read saves. Human: where read's and --details' findings go.
TRunHere RunHere(const TChildJob &Job, TCliFrontEnd &FrontEnd, FILE *Human)
{
    TRunHere Here;
    int32_t Port = 0;
    std::string DevicePath;
    ParsePort(Job.Port, Port, DevicePath);
    if (!PortIsNotTheTerminal(Job.Port, Port, DevicePath)) {
        Here.Result = TPortResult::Port;
        Here.Error = "to terminal, w którym działa program";
        return Here;
    }
    auto Set = std::make_unique<TSettings>();
    if (Job.Mode == RunModeRead) {
        if (!OutputApartFromInputs(Job.OutPath, {Job.BasePath}) ||
            (!Job.ImagePath.empty() && !OutputApartFromInputs(Job.ImagePath, {Job.BasePath, Job.OutPath})) ||
            !ReadBaseSet(Job.BasePath, *Set))
            return Here;
    } else if (Job.SetBytes.size() == sizeof(TSettings)) {
        std::memcpy(&Settings, Job.SetBytes.data(), sizeof(TSettings));
    } else {
        Here.Error = "zestaw niekompletny";
        return Here;
    }
    // Refused by the settings check: a finding, as check and image report it.
    if (!StartRun(FrontEnd, Job.Mode)) {
        Here.Error = CheckSettings();
        Here.Status = ExitNegative;
        return Here;
    }
    if (Job.Mode != RunModeRead) {
        Here.SetSha256 = Sha256Hex(&Settings, sizeof Settings);
        Here.ImageSha256 = Sha256Hex(DeviceImage, sizeof DeviceImage);
    }
    WaitRunEnd();
    FrontEnd.EndRun();
    const TRunOutcome &Outcome = FrontEnd.Outcome;
    Here.Result = PortResultOf(Outcome.Result);
    Here.Error = Outcome.PortError;
    if (!Outcome.PortError.empty())
        Complain(Outcome.PortError);
    Here.Status = Outcome.Result == TRunResult::Ok ? ExitOk : ExitNegative;
    if (Outcome.Result == TRunResult::Interrupted && StopSignalStatus() != 0)
        Here.Status = StopSignalStatus();
    if (Job.Mode == RunModeRead && Outcome.Result == TRunResult::Ok)
        SaveRead(Job, *Set, Human, Here);
    if (Job.Mode == RunModeCompareDetails && Outcome.Result != TRunResult::Ok &&
        Outcome.Result != TRunResult::Interrupted) {
        if (ProgressBytes.load() != static_cast<int32_t>(DeviceImageSize)) {
            Complain("nie odczytano całej pamięci urządzenia: różnic nie da się wskazać");
            return Here;
        }
        for (const TImageDifference &D : CompareDeviceImage(Settings, ReadImage)) {
            const std::string Line = ImageDifferenceText(D);
            std::fwrite(Line.data(), 1, Line.size(), Human);
            std::fputc('\n', Human);
        }
    }
    return Here;
}

// One port in this process, with its record for --json and --log.
int RunOne(const TCliArgs &Args, int32_t Mode)
{
    CatchStopSignals(RequestRunStop);
    ProgramDir.Assign(ProgramFolder());
    TChildJob Job;
    Job.Mode = Args.Details ? RunModeCompareDetails : Mode;
    Job.Port = Args.Ports[0];
    if (Mode == RunModeRead) {
        Job.OutPath = Job.SetFile = Args[0];
        Job.ImagePath = Args.Image;
        Job.BasePath = Args.Base;
    } else {
        Job.SetFile = Args[0];
        TSettings Set;
        if (!ReadSetFile(Args[0], Set))
            return ExitFailure;
        Job.SetBytes.assign(reinterpret_cast<const char *>(&Set), sizeof Set);
    }
    TReports Reports;
    if (!Reports.Open(Args.Log, Args.Json))
        return ExitFailure;
    int32_t Port = 0;
    std::string DevicePath;
    ParsePort(Job.Port, Port, DevicePath);
    FILE *Human = Args.Json ? stderr : stdout;
    TCliFrontEnd FrontEnd(Port, DevicePath, Human, nullptr);
    TPortRecord Record = BeginRecord(Job.Port, Mode, Job.SetFile);
    const TRunHere Here = RunHere(Job, FrontEnd, Human);
    // Refused before the run: nothing to record.
    if (Here.Result == TPortResult::Start || (Here.Result == TPortResult::Port && FrontEnd.Outcome.Result == TRunResult::None))
        return Here.Status;
    SettleRecord(Record, FrontEnd.Outcome);
    Record.Result = Here.Result;
    Record.DurationMs = FrontEnd.Outcome.DurationMs;
    Record.SetSha256 = Here.SetSha256;
    Record.ImageSha256 = Here.ImageSha256;
    Record.Error = Here.Error;
    if (!Reports.Write(Record))
        return ExitFailure;
    return Here.Status;
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

// The hidden child mode: one port's run for a station, on the channel its
// command line names. Its exit status is the one its last record gives.
int CliChild(const TCliArgs &Args)
{
    TChildChannel Channel;
    TChildJob Job;
    std::string Error;
    if (!Channel.Open(Args[0], Args[1], Args[2], Job, Error)) {
        Complain("przebieg stacji: " + Error);
        return ExitFailure;
    }
    CatchStopSignals(RequestRunStop);
    Channel.WatchParent(RequestRunStop);
    ProgramDir.Assign(ProgramFolder());
    int32_t Port = 0;
    std::string DevicePath;
    ParsePort(Job.Port, Port, DevicePath);
    TCliFrontEnd FrontEnd(Port, DevicePath, stderr, &Channel);
    TRunHere Here = RunHere(Job, FrontEnd, stderr);
    // What it wrote is in the station's hands before it says its last word.
    if ((std::fflush(stdout) != 0 || std::fflush(stderr) != 0) && Here.Status < ExitFailure)
        Here.Status = ExitFailure;
    TChildRecord Done;
    Done.Kind = TChildKind::Done;
    Done.Done = {Here.Status, Here.Result, Here.SetSha256, Here.ImageSha256, Here.Error};
    Channel.Send(Done);
    return Here.Status;
}
