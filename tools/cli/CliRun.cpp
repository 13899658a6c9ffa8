// program / compare / read: the run of the window, with a front end of direct calls.
#include "CliBatch.h"
#include "CliSystem.h"
#include "CliTerminal.h"

#include "UFiles.h"
#include "UFolders.h"
#include "UFrames.h"
#include "URun.h"
#include "URunLines.h"
#include "UImage.h"
#include "UProcs.h"
#include "USerialComm.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

constexpr int BarWidth = 40;

// The worker calls these on its own thread; nothing else runs meanwhile but
// the ticker, so no call needs a lock.
class TCliFrontEnd : public TRunFrontEnd {
public:
    // Log: where the run's log goes (stdout, or stderr under --json).
    TCliFrontEnd(int32_t Port, std::string DevicePath, TRunTracker &Tracker, FILE *Log)
        : Port(Port), DevicePath(std::move(DevicePath)), Tracker(Tracker), Log(Log)
    {
    }

    void ClearLog() override {}
    // The preparation goes to stderr: stdout carries exactly the run's log.
    void AppendLine(const std::string &Line, bool) override
    {
        if (Child)
            WriteChildRecord('A', 0, Line);
        else
            std::fprintf(stderr, "%s\n", Line.c_str());
    }
    void TakeSettings() override {} // Settings already hold the set read from its file
    void ShowSettingsError(const std::string &Text) override { Complain(Text); }
    int32_t ChosenPort() override { return Port; }
    std::string ChosenDevicePath() override { return DevicePath; }
    void BeginRun() override { Ticker = std::make_unique<TTicker>(); }

    void ShowLine(const std::string &Line) override
    {
        Tracker.Line(Line, FramesSent.load());
        LastLine = Line;
        if (Child) {
            WriteChildRecord('L', FramesSent.load(), Line);
            return;
        }
        ClearBar();
        std::fwrite(Line.data(), 1, Line.size(), Log);
        std::fputc('\n', Log);
        std::fflush(Log);
    }
    void ShowProgress(int32_t Bytes) override
    {
        Tracker.Progress(Bytes, FramesSent.load());
        if (Child)
            WriteChildRecord('P', FramesSent.load(), std::to_string(Bytes));
        if (!BarOnTerminal)
            return;
        const int Filled = static_cast<int>(static_cast<int64_t>(Bytes) * BarWidth / DeviceImageSize);
        std::fprintf(stderr, "\r[%s%s] %4d/%zu", std::string(static_cast<size_t>(Filled), '#').c_str(),
                     std::string(static_cast<size_t>(BarWidth - Filled), '.').c_str(), Bytes, DeviceImageSize);
        std::fflush(stderr);
        BarShown = true;
    }
    void RunFinished() override { ClearBar(); }

    // After the worker has ended.
    void EndRun()
    {
        Ticker.reset();
        RunInProgress = false;
    }
    bool Succeeded() const
    {
        return LastLine == LineProgramDone || LastLine == LineCompareDone || LastLine == LineReadDone;
    }
    bool Stopped() const { return LastLine == LineStopped; }

private:
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
    TRunTracker &Tracker;
    FILE *Log;
    const bool Child = IsBatchChild();
    std::unique_ptr<TTicker> Ticker;
    std::string LastLine;
    const bool BarOnTerminal = !Child && StderrIsTerminal();
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

int RunSet(const TCliArgs &Args, int32_t Mode)
{
    TRunRequest Request;
    if (!ParseRunRequest(Args, Mode, Request))
        return ExitFailure;
    if (Request.Details && Request.Ports.size() > 1) {
        Complain("--details: różnice wskazuje porównanie z jednym portem");
        return ExitFailure;
    }
    if (Request.Ports.size() > 1)
        return RunBatch(Request);
    CatchStopSignals();
    if (Request.Details)
        Mode = RunModeCompareDetails;
    int32_t Port = 0;
    std::string DevicePath;
    ParsePort(Request.Ports[0], Port, DevicePath);
    ProgramDir.Assign(ProgramFolder());
    if (!PortIsNotTheTerminal(Request.Ports[0], Port, DevicePath) || !ReadRunSet(Request.SetPath, Settings))
        return ExitFailure;
    TRunReports Reports;
    if (!Reports.Open(Request))
        return ExitFailure;

    TRunTracker Tracker(*Request.Mode);
    TCliFrontEnd FrontEnd(Port, DevicePath, Tracker, Request.Json ? stderr : stdout);
    const TRunRecord Record = Reports.Begin(Request.Ports[0]);
    const auto Start = std::chrono::steady_clock::now();
    // Refused by the settings check: a finding, as check and image report it.
    if (!StartRun(FrontEnd, Mode))
        return ExitNegative;
    Reports.SetHashes(&Settings, sizeof Settings, DeviceImage, sizeof DeviceImage);
    WaitRunEnd();
    FrontEnd.EndRun();
    const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start);
    if (!Reports.Finish(Record, Tracker, Ms.count()))
        return ExitFailure;
    if (FrontEnd.Stopped() && StopSignalStatus() != 0)
        return StopSignalStatus();
    const bool Succeeded = FrontEnd.Succeeded();
    if (Mode == RunModeCompareDetails && !Succeeded) {
        if (ProgressBytes.load() != static_cast<int32_t>(DeviceImageSize)) {
            Complain("nie odczytano całej pamięci urządzenia: różnic nie da się wskazać");
            return ExitNegative;
        }
        FILE *Out = Request.Json ? stderr : stdout;
        for (const TImageDifference &D : CompareDeviceImage(Settings, ReadImage)) {
            const std::string Line = ImageDifferenceText(D);
            std::fwrite(Line.data(), 1, Line.size(), Out);
            std::fputc('\n', Out);
        }
    }
    return Succeeded ? ExitOk : ExitNegative;
}

} // namespace

int CliProgram(const TCliArgs &Args)
{
    return RunSet(Args, RunModeProgram);
}

int CliCompare(const TCliArgs &Args)
{
    return RunSet(Args, RunModeCompare);
}

int CliRead(const TCliArgs &Args)
{
    TRunRequest Request;
    if (!ParseReadRequest(Args, Request))
        return ExitFailure;
    if (Request.Ports.size() > 1)
        return RunBatch(Request);
    int32_t Port = 0;
    std::string DevicePath;
    ParsePort(Request.Ports[0], Port, DevicePath);
    const std::string &OutPath = Request.OutPath, &BasePath = Request.BasePath, &ImagePath = Request.ImagePath;
    if (!OutputApartFromInputs(OutPath, {BasePath}) ||
        (!ImagePath.empty() && !OutputApartFromInputs(ImagePath, {BasePath, OutPath})))
        return ExitFailure;
    CatchStopSignals();
    ProgramDir.Assign(ProgramFolder());
    if (!PortIsNotTheTerminal(Request.Ports[0], Port, DevicePath))
        return ExitFailure;
    auto Set = std::make_unique<TSettings>();
    if (!ReadBaseSet(BasePath, *Set))
        return ExitFailure;
    // The record names the set this read writes.
    Request.SetPath = OutPath;
    TRunReports Reports;
    if (!Reports.Open(Request))
        return ExitFailure;

    TRunTracker Tracker(*Request.Mode);
    FILE *Human = Request.Json ? stderr : stdout;
    TCliFrontEnd FrontEnd(Port, DevicePath, Tracker, Human);
    const TRunRecord Record = Reports.Begin(Request.Ports[0]);
    const auto Start = std::chrono::steady_clock::now();
    if (!StartRun(FrontEnd, RunModeRead))
        return ExitFailure;
    WaitRunEnd();
    FrontEnd.EndRun();
    const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start);
    int Status = ExitOk;
    if (FrontEnd.Stopped() && StopSignalStatus() != 0)
        Status = StopSignalStatus();
    else if (!FrontEnd.Succeeded())
        Status = ExitNegative;
    if (Status == ExitOk) {
        const TImageDecoding Decoding = DecodeDeviceImage(ReadImage, *Set);
        if (!WriteOutFile(OutPath, Set.get(), sizeof(TSettings)) ||
            (!ImagePath.empty() && !WriteOutFile(ImagePath, ReadImage, sizeof ReadImage)))
            Status = ExitFailure;
        else
            PrintDecoding(Decoding, Human);
        Reports.SetHashes(Set.get(), sizeof(TSettings), ReadImage, sizeof ReadImage);
    }
    if (!Reports.Finish(Record, Tracker, Ms.count()))
        return ExitFailure;
    return Status;
}
