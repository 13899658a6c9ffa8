#include "ULocalRun.h"

#include "UDecls.h"
#include "UFiles.h"
#include "UFrames.h"
#include "UImage.h"
#include "UPortNames.h"
#include "UProcs.h"
#include "USerialComm.h"
#include "USha256.h"

#include <cstring>
#include <memory>
#include <tuple>

namespace {

// The run's hand-over, passed on to the host as port 0. The worker calls
// these on its own thread; nothing else runs meanwhile but the ticker.
class TLocalFrontEnd : public TRunFrontEnd {
public:
    TLocalFrontEnd(TStationHost &Host, int32_t Port, std::string DevicePath, const TRunOptions &Options)
        : Host(Host), Port(Port), DevicePath(std::move(DevicePath)), Options(Options)
    {
    }
    void ClearLog() override {}
    void AppendLine(const std::string &Line, bool) override { Host.PortNote(0, TNoteKind::Preparation, Line); }
    void TakeSettings() override {} // Settings already hold the set to run
    void ShowSettingsError(const std::string &Text) override { Host.PortNote(0, TNoteKind::Problem, Text); }
    int32_t ChosenPort() override { return Port; }
    std::string ChosenDevicePath() override { return DevicePath; }
    TRunOptions ChosenRunOptions() override { return Options; }
    void BeginRun() override { Ticker = std::make_unique<TTicker>(); }
    void ShowLine(const std::string &Line) override { Host.PortLine(0, Line); }
    void ShowProgress(int32_t) override {} // the status carries it
    void ShowStatus(const TRunStatus &Status) override { Host.PortStatus(0, Status); }
    void ShowOutcome(const TRunOutcome &Given) override { Outcome = Given; }
    void RunFinished() override {}

    // After the worker has ended.
    void EndRun()
    {
        Ticker.reset();
        RunInProgress = false;
    }

    TRunOutcome Outcome;

private:
    TStationHost &Host;
    int32_t Port;
    std::string DevicePath;
    TRunOptions Options;
    std::unique_ptr<TTicker> Ticker;
};

// The user's own terminal would get the protocol's bytes on the screen and
// be left in raw mode: refused by the port as well, said here in words.
bool PortIsNotTheTerminal(const std::string &Text, int32_t Port, const std::string &DevicePath, TStationHost &Host)
{
    TSerialComm Probe;
    Probe.Port = Port;
    Probe.DevicePath = DevicePath;
    for (const bool UseDevicePath : {true, false}) {
        const std::string Name = Probe.DeviceName(UseDevicePath);
        if (!Name.empty() && IsControllingTerminal(Name)) {
            Host.PortNote(0, TNoteKind::Problem, Text + ": to terminal, w którym działa program, nie port urządzenia");
            return false;
        }
    }
    return true;
}

// A read's set and image saved, and what the base gave.
void SaveRead(const TChildJob &Job, TSettings &Set, TStationHost &Host, TLocalRun &Run)
{
    const TImageDecoding Decoding = DecodeDeviceImage(ReadImage, Set);
    for (const auto &[Path, Data, Size] : {std::tuple<std::string, const void *, size_t>{Job.OutPath, &Set, sizeof Set},
                                           {Job.ImagePath, ReadImage, sizeof ReadImage}}) {
        if (Path.empty() || WriteWholeFile(Path, Data, static_cast<int32_t>(Size)))
            continue;
        Run.Result = TPortResult::File;
        Run.Error = Path + ": Błąd zapisu pliku!";
        Host.PortNote(0, TNoteKind::Problem, Run.Error);
        return;
    }
    for (const std::string &Line : DecodingReport(Decoding))
        Host.PortNote(0, TNoteKind::Report, Line);
    Run.SetSha256 = Sha256Hex(&Set, sizeof Set);
    Run.ImageSha256 = Sha256Hex(ReadImage, sizeof ReadImage);
}

// The differences a detailed comparison found, when it read the whole memory.
void ReportDifferences(TStationHost &Host)
{
    if (ProgressBytes.load() != static_cast<int32_t>(DeviceImageSize)) {
        Host.PortNote(0, TNoteKind::Problem, "nie odczytano całej pamięci urządzenia: różnic nie da się wskazać");
        return;
    }
    for (const TImageDifference &D : CompareDeviceImage(Settings, ReadImage)) {
        Host.PortNote(0, TNoteKind::Report, ImageDifferenceText(D));
        Host.PortDifference(0, {D.Field != nullptr ? D.Field->Name : std::string(), D.SetValue, D.DeviceValue,
                                D.Offset, D.Count});
    }
}

// Sends what the run says up the station's channel.
class TChannelHost : public TStationHost {
public:
    explicit TChannelHost(TChildChannel &Channel) : Channel(Channel) {}
    void PortLine(size_t, const std::string &Line) override
    {
        TChildRecord R;
        R.Kind = TChildKind::Line;
        R.Text = Line;
        Channel.Send(R);
    }
    void PortNote(size_t, TNoteKind Kind, const std::string &Text) override
    {
        TChildRecord R;
        R.Kind = TChildKind::Note;
        R.Note = Kind;
        R.Text = Text;
        Channel.Send(R);
    }
    void PortStatus(size_t, const TRunStatus &Status) override
    {
        TChildRecord R;
        R.Kind = TChildKind::Status;
        R.Status = Status;
        Channel.Send(R);
    }
    void PortDifference(size_t, const TSettingDifference &Difference) override
    {
        TChildRecord R;
        R.Kind = TChildKind::Difference;
        R.Difference = Difference;
        Channel.Send(R);
    }
    void PortFinished(size_t, const TPortRecord &) override {}

private:
    TChildChannel &Channel;
};

} // namespace

TLocalRun RunHere(const TChildJob &Job, TStationHost &Host)
{
    TLocalRun Run;
    int32_t Port = 0;
    std::string DevicePath;
    if (!ParsePort(Job.Port, Port, DevicePath)) {
        Run.Error = Job.Port + ": to nie nazwa portu";
        return Run;
    }
    if (!PortIsNotTheTerminal(Job.Port, Port, DevicePath, Host)) {
        Run.Result = TPortResult::Port;
        Run.Error = "to terminal, w którym działa program";
        return Run;
    }
    auto Base = std::make_unique<TSettings>();
    // A read's set comes from its base; a probe needs none.
    const bool Reads = Job.Mode == RunModeRead || Job.Mode == RunModeProbe;
    const std::string &Bytes = Reads ? Job.BaseBytes : Job.SetBytes;
    if (Bytes.size() == sizeof(TSettings)) {
        std::memcpy(Reads ? Base.get() : &Settings, Bytes.data(), sizeof(TSettings));
    } else if (Reads && Bytes.empty()) {
        SetDefaultSettings();
        *Base = Settings;
    } else {
        Run.Error = "zestaw niekompletny";
        return Run;
    }
    TLocalFrontEnd FrontEnd(Host, Port, DevicePath, Job.Options);
    if (!StartRun(FrontEnd, Job.Mode)) {
        Run.SettingsFinding = true;
        Run.Error = CheckSettings();
        return Run;
    }
    Run.Ran = true;
    if (!Reads) {
        Run.SetSha256 = Sha256Hex(&Settings, sizeof Settings);
        Run.ImageSha256 = Sha256Hex(DeviceImage, sizeof DeviceImage);
    }
    WaitRunEnd();
    FrontEnd.EndRun();
    Run.Outcome = FrontEnd.Outcome;
    Run.Result = PortResultOf(Run.Outcome.Result);
    Run.Error = Run.Outcome.PortError;
    if (!Run.Error.empty())
        Host.PortNote(0, TNoteKind::Problem, Run.Error);
    if (Job.Mode == RunModeRead && Run.Outcome.Result == TRunResult::Ok)
        SaveRead(Job, *Base, Host, Run);
    const TRunResult Result = Run.Outcome.Result;
    if (Job.Mode == RunModeCompareDetails && Result != TRunResult::Ok && Result != TRunResult::Interrupted)
        ReportDifferences(Host);
    return Run;
}

int ServeChildRun(const std::string &Down, const std::string &Up, const std::string &Token, std::string &Error)
{
    TChildChannel Channel;
    TChildJob Job;
    if (!Channel.Open(Down, Up, Token, Job, Error))
        return 2;
    Channel.WatchParent(RequestRunStop);
    TChannelHost Host(Channel);
    const TLocalRun Run = RunHere(Job, Host);
    const int Status = Run.Result == TPortResult::Ok                                             ? 0
                       : Run.Result == TPortResult::File || (!Run.Ran && !Run.SettingsFinding) ? 2
                                                                                               : 1;
    if (Run.Ran) {
        TChildRecord Outcome;
        Outcome.Kind = TChildKind::Outcome;
        Outcome.Outcome = Run.Outcome;
        Channel.Send(Outcome);
    }
    TChildRecord Done;
    Done.Kind = TChildKind::Done;
    Done.Done = {Status, Run.Result, Run.SetSha256, Run.ImageSha256, Run.Error};
    Channel.Send(Done);
    return Status;
}
