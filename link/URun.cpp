#include "URun.h"

#include "UDecls.h"
#include "UFrames.h"
#include "UProcs.h"
#include "URunLines.h"
#include "USerialComm.h"

#include <chrono>
#include <cstring>
#include <thread>

int32_t RunMode = 0;
std::atomic<int32_t> ProgressBytes{0};
bool RunInProgress = false;
uint8_t ReadImage[DeviceImageSize] = {};

namespace {

constexpr int32_t BlockSize = 32;
constexpr int32_t WakeUpSends = 5;
constexpr int32_t ResetSends = 5;
constexpr int32_t PauseMs = 100;
constexpr int32_t VersionTries = 10;
constexpr int32_t VersionTimeOutMs = 100;
constexpr int32_t WriteTries = 5;
constexpr int32_t ReadTries = 10;
constexpr int32_t BlockTimeOutMs = 500;

constexpr uint8_t CommandVersion = 0x01;
constexpr uint8_t CommandRead = 0x02;
constexpr uint8_t CommandWrite = 0x03;
constexpr uint8_t CommandReset = 0x04;
constexpr uint8_t WakeUp[4] = {0x5C, 0x69, 0x5C, 0x69};

// A program that ends without WaitRunEnd still lets the last worker finish
// rather than tearing it down with its thread object.
struct TWorkerSlot {
    std::thread Thread;
    ~TWorkerSlot()
    {
        if (Thread.joinable())
            Thread.join();
    }
};
TWorkerSlot LastWorker;
std::string RunDevicePath;
// Lock-free, so that a signal handler may set it.
std::atomic<bool> StopAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void Pause(int32_t Ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

// The worker of one run: the whole conversation with the device.
class TMainTask {
public:
    TMainTask(TRunHost &Host, int32_t Port, std::string DevicePath, int32_t Mode, TRunOptions Options)
        : Host(Host), Port(Port), DevicePath(std::move(DevicePath)), Mode(Mode), Options(Options)
    {
    }
    void Execute();

private:
    void PostLine(const std::string &Line) { Host.ShowLine(Line); }
    void PostProgress()
    {
        Host.ShowProgress(ProgressBytes.load());
        PostStatus();
    }
    void PostStatus()
    {
        Outcome.Status.Bytes = ProgressBytes.load();
        Host.ShowStatus(Outcome.Status);
    }
    void EnterPhase(TRunPhase Phase)
    {
        Outcome.Status.Phase = Phase;
        PostStatus();
    }
    // A try of Pass has been answered or not; a repeat counts beyond the first try.
    void CountTry(TPassTries &Pass, int32_t Try, bool Accepted)
    {
        ++Pass.Tries;
        Pass.Repeats += Try > 0;
        if (!Accepted)
            PostStatus();
    }
    // The failing block: NoReply when none of its tries got a byte back.
    bool Fail(TRunResult Result, bool Answered)
    {
        Outcome.Result = Answered ? Result : TRunResult::NoReply;
        Outcome.FailedAddress = ProgressBytes.load();
        return false;
    }
    bool Converse(TSerialComm &Comm);
    bool AskVersion();
    bool WritePass();
    bool ReadPass();
    int32_t PutAddress(uint8_t Command);
    // Every frame and wake-up goes out through these: each first looks for a
    // stop request, and once one is seen the run sends nothing more.
    bool StopNow();
    bool Send(int32_t N, int32_t ReplyLength = 0);
    // A request and its reply; ReplyLength is the whole reply's bytes when
    // the run knows them (0: it does not). Result: that of WaitReply, or -1
    // when the run stops instead.
    int32_t Exchange(int32_t N, int32_t TimeOutMs, int32_t ReplyLength);
    // The device answered otherwise than fast mode expects: the rest of the
    // run goes in the specified timing.
    void FallBack();
    // After a try that was not accepted. True when it was a fast one: its
    // block then gets all its specified tries after it, so a device that
    // does not follow loses one try and nothing else.
    bool FastTryFailed();

    TRunHost &Host;
    int32_t Port;
    std::string DevicePath;
    int32_t Mode;
    TRunOptions Options;
    TSerialComm *Serial = nullptr;
    bool Fast = false;         // the next exchange is a fast one
    bool LastTryFast = false;  // the last exchange was
    int32_t WriteEchoLength = 0; // learned from the run's first write reply
    bool Stopped = false;
    uint8_t FrameBuffer[FrameBufferSize] = {};
    TRunOutcome Outcome;
};

bool TMainTask::StopNow()
{
    Stopped = Stopped || StopAsked.load();
    return Stopped;
}

bool TMainTask::Send(int32_t N, int32_t ReplyLength)
{
    if (StopNow())
        return false;
    ExpectedReplyLength = ReplyLength;
    SendFrame(FrameBuffer, N);
    return true;
}

int32_t TMainTask::Exchange(int32_t N, int32_t TimeOutMs, int32_t ReplyLength)
{
    const int64_t GapNs = int64_t{Options.GapMs > 0 ? Options.GapMs : 0} * 1000000;
    if (Fast) {
        WaitLineQuiet(GapNs);
        // Bytes after a reply taken whole: it was not, or the device adds to it.
        if (LateBytes.load() > 0)
            FallBack();
    }
    LastTryFast = Fast;
    const int32_t Whole = Fast ? ReplyLength : 0;
    if (!Send(N, Whole))
        return -1;
    return Whole > 0 ? WaitWholeReply(FrameBuffer, TimeOutMs, GapNs) : WaitReply(FrameBuffer, TimeOutMs);
}

void TMainTask::FallBack()
{
    if (!Fast)
        return;
    Fast = false;
    Outcome.Fast = TFastExchange::Fallback;
    Serial->SetBatching(true);
    PostLine(LineFastOff);
}

bool TMainTask::FastTryFailed()
{
    if (!LastTryFast)
        return false;
    FallBack();
    return true;
}

void TMainTask::Execute()
{
    const auto Start = std::chrono::steady_clock::now();
    ResetFrameState();
    TSerialComm Comm;
    Comm.Port = Port;
    Comm.DevicePath = DevicePath;
    SetRunLineSettings(Comm);
    Comm.OnByte = ReceiveByte;
    Fast = Options.Fast;
    Outcome.Fast = Fast ? TFastExchange::On : TFastExchange::Off;
    Comm.Batching = !Fast;
    Serial = &Comm;
    FramePort = &Comm;

    PostLine(LineOpenPort);
    if (!Comm.Open()) {
        Outcome.Result = TRunResult::Port;
        Outcome.PortError = Comm.Error;
        PostLine("");
        PostLine(LinePortFailed);
    } else if (!StopNow() && Converse(Comm)) {
        Comm.Close();
        Outcome.Result = TRunResult::Ok;
    } else {
        Comm.Close();
        if (Stopped) {
            Outcome.Result = TRunResult::Interrupted;
            Outcome.FailedAddress = -1;
        }
        PostLine("");
        PostLine(Stopped ? LineStopped : LineEnd);
    }
    Outcome.Status.Phase = TRunPhase::Ended;
    Outcome.Status.Bytes = ProgressBytes.load();
    Outcome.DurationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
    Host.ShowOutcome(Outcome);
    Host.RunFinished();

    FramePort = nullptr;
    Receiving = false;
    QuietTicks = 0;
}

// True when the run succeeded; the failure lines up to "Koniec." are the caller's.
bool TMainTask::Converse(TSerialComm &Comm)
{
    PostLine(LinePortOpen);
    PostLine(LineConnecting);
    EnterPhase(TRunPhase::Connecting);
    for (int32_t I = 0; I < WakeUpSends; ++I) {
        if (StopNow())
            return false;
        Comm.Write(WakeUp, sizeof WakeUp);
        Pause(PauseMs);
    }
    // Whatever answered the wake-up is no reply to a frame.
    ClearLateInput();
    if (!AskVersion())
        return false;
    if (Mode == RunModeProbe)
        return true;
    if (Mode == RunModeProgram && !WritePass())
        return false;
    if (!ReadPass())
        return false;

    PostLine(LineReset);
    EnterPhase(TRunPhase::Resetting);
    for (int32_t I = 0; I < ResetSends; ++I) {
        FrameBuffer[0] = CommandReset;
        if (!Send(1))
            return false;
        Pause(PauseMs);
    }
    PostLine("");
    PostLine(RunDoneLine(Mode));
    return true;
}

bool TMainTask::AskVersion()
{
    int32_t Tries = Mode == RunModeProbe ? 1 : VersionTries;
    for (int32_t Try = 0; Try < Tries; ++Try) {
        FrameBuffer[0] = CommandVersion;
        const int32_t Count = Exchange(1, VersionTimeOutMs, 3 + 1);
        if (Count < 0)
            return false;
        const bool Accepted = VersionReplyAccepted(Count);
        CountTry(Outcome.Status.Version, Try, Accepted);
        if (Accepted) {
            Outcome.HasVersion = true;
            std::memcpy(Outcome.Version, FrameBuffer, sizeof Outcome.Version);
            PostLine(std::string(LineVersion) + "\"" + std::to_string(FrameBuffer[0]) + "." +
                     std::to_string(FrameBuffer[1]) + "." + std::to_string(FrameBuffer[2]) + "\".");
            return true;
        }
        if (FastTryFailed())
            ++Tries;
    }
    Outcome.Result = TRunResult::NoReply;
    PostLine("");
    PostLine(LineNoReply);
    return false;
}

// Puts the command and the block's address and length; returns the length N.
int32_t TMainTask::PutAddress(uint8_t Command)
{
    const int32_t Address = ProgressBytes.load();
    const int32_t Left = static_cast<int32_t>(DeviceImageSize) - Address;
    const int32_t N = Left < BlockSize ? Left : BlockSize;
    FrameBuffer[0] = Command;
    FrameBuffer[1] = static_cast<uint8_t>(Address >> 8);
    FrameBuffer[2] = static_cast<uint8_t>(Address & 0xFF);
    FrameBuffer[3] = static_cast<uint8_t>(N);
    return N;
}

bool TMainTask::WritePass()
{
    PostLine(LineProgramming);
    ProgressBytes = 0;
    Outcome.Status.Phase = TRunPhase::Writing;
    while (ProgressBytes.load() < static_cast<int32_t>(DeviceImageSize)) {
        PostProgress();
        const int32_t Address = ProgressBytes.load();
        bool Done = false, Answered = false;
        int32_t N = 0, Tries = WriteTries;
        for (int32_t Try = 0; Try < Tries && !Done; ++Try) {
            N = PutAddress(CommandWrite);
            for (int32_t K = 0; K < N; ++K)
                FrameBuffer[4 + K] = DeviceImage[Address + K];
            const int32_t Count = Exchange(4 + N, BlockTimeOutMs, WriteEchoLength);
            if (Count < 0)
                return false;
            Done = WriteReplyAccepted(FrameBuffer, Count, Address);
            Answered = Answered || ReplyArrived();
            CountTry(Outcome.Status.Write, Try, Done);
            // The echo's length is the device's own: the first one, taken
            // with the quiet time, sets it for the rest of the pass.
            if (Done && Fast && WriteEchoLength == 0)
                WriteEchoLength = Count + 1;
            if (!Done && FastTryFailed())
                ++Tries;
        }
        if (!Done) {
            Fail(TRunResult::Write, Answered);
            PostLine("");
            PostLine(LineWriteFailed);
            return false;
        }
        ProgressBytes += N;
    }
    PostProgress();
    return true;
}

bool TMainTask::ReadPass()
{
    PostLine(Mode == RunModeRead ? LineReading : LineVerifying);
    ProgressBytes = 0;
    Outcome.Status.Phase = Mode == RunModeRead ? TRunPhase::Reading : TRunPhase::Verifying;
    bool Differs = false;
    while (ProgressBytes.load() < static_cast<int32_t>(DeviceImageSize)) {
        PostProgress();
        const int32_t Address = ProgressBytes.load();
        bool Done = false, Kept = false, Answered = false;
        int32_t N = 0, Tries = ReadTries;
        for (int32_t Try = 0; Try < Tries && !Done; ++Try) {
            N = PutAddress(CommandRead);
            const int32_t Count = Exchange(4, BlockTimeOutMs, 3 + N + 1);
            if (Count < 0)
                return false;
            Answered = Answered || ReplyArrived();
            if (Mode == RunModeProgram || Mode == RunModeCompare) {
                Done = ReadReplyAccepted(FrameBuffer, Count, Address, N);
            } else if (ReadReplyValid(FrameBuffer, Count, Address, N)) {
                std::memcpy(ReadImage + Address, FrameBuffer + 3, static_cast<size_t>(N));
                Kept = true;
                Done = Mode == RunModeRead || ReadReplyAccepted(FrameBuffer, Count, Address, N);
            }
            CountTry(Outcome.Status.Read, Try, Done);
            if (!Done && FastTryFailed())
                ++Tries;
        }
        // A block read whole but different is the detailed comparison's finding, not its end.
        if (!Done && Kept && Mode == RunModeCompareDetails) {
            Differs = Done = true;
            if (Outcome.FailedAddress < 0)
                Outcome.FailedAddress = Address;
        }
        if (!Done) {
            Fail(Mode == RunModeRead ? TRunResult::Read : TRunResult::Verify, Answered);
            PostLine("");
            PostLine(RunVerifyFailedLine(Mode));
            return false;
        }
        ProgressBytes += N;
    }
    PostProgress();
    if (Differs) {
        Outcome.Result = TRunResult::Verify;
        PostLine("");
        PostLine(LineCompareFailed);
        return false;
    }
    return true;
}

// The preparation of the set on the front end's thread: take, check, encode.
bool PrepareImage(TRunFrontEnd &FrontEnd)
{
    FrontEnd.AppendLine(LineTakeSettings, true);
    FrontEnd.TakeSettings();
    FrontEnd.AppendLine(LineSettingsTaken, false);
    FrontEnd.AppendLine(LineCheckSettings, true);
    const std::string Error = CheckSettings();
    if (!Error.empty()) {
        FrontEnd.AppendLine("", false);
        FrontEnd.AppendLine(LineSettingsError, true);
        FrontEnd.ShowSettingsError(Error);
        return false;
    }
    FrontEnd.AppendLine(LineSettingsOk, false);
    FrontEnd.AppendLine(LineEncoding, true);
    EncodeDeviceImage();
    FrontEnd.AppendLine(LineEncoded, true);
    return true;
}

} // namespace

const char *FastExchangeName(TFastExchange Fast)
{
    switch (Fast) {
    case TFastExchange::Off: return "off";
    case TFastExchange::On: return "on";
    case TFastExchange::Fallback: return "fallback";
    }
    return "";
}

const char *RunDoneLine(int32_t Mode)
{
    switch (Mode) {
    case RunModeProgram: return LineProgramDone;
    case RunModeRead: return LineReadDone;
    default: return LineCompareDone;
    }
}

const char *RunVerifyFailedLine(int32_t Mode)
{
    switch (Mode) {
    case RunModeProgram: return LineProgramVerifyFailed;
    case RunModeRead: return LineReadFailed;
    default: return LineCompareFailed;
    }
}

const char *RunResultName(TRunResult Result)
{
    switch (Result) {
    case TRunResult::None: return "";
    case TRunResult::Ok: return "ok";
    case TRunResult::Port: return "port";
    case TRunResult::NoReply: return "no-reply";
    case TRunResult::Write: return "write";
    case TRunResult::Verify: return "verify";
    case TRunResult::Read: return "read";
    case TRunResult::Interrupted: return "interrupted";
    }
    return "";
}

std::string RunVersionText(const TRunOutcome &Outcome)
{
    if (!Outcome.HasVersion)
        return {};
    return std::to_string(Outcome.Version[0]) + "." + std::to_string(Outcome.Version[1]) + "." +
           std::to_string(Outcome.Version[2]);
}

bool VersionReplyAccepted(int32_t Count)
{
    return Count == 3;
}

// A reply shorter than the echo passes on the echo it carries: a single 03
// leaves the request's address standing in for the rest. Its checksum byte,
// copied to position 1, is no echo byte.
bool WriteReplyAccepted(const uint8_t *FrameBuffer, int32_t Count, int32_t Address)
{
    return Count > 0 && FrameBuffer[0] == CommandWrite &&
           (Count < 2 || FrameBuffer[1] == static_cast<uint8_t>(Address >> 8)) &&
           (Count < 3 || FrameBuffer[2] == static_cast<uint8_t>(Address & 0xFF));
}

// Only a reply carrying all N bytes counts: a shorter one would be compared
// against bytes an earlier exchange left in FrameBuffer.
bool ReadReplyValid(const uint8_t *FrameBuffer, int32_t Count, int32_t Address, int32_t N)
{
    return Count == 3 + N && Address >= 0 && N >= 0 && Address + N <= static_cast<int32_t>(DeviceImageSize) &&
           FrameBuffer[0] == CommandRead && FrameBuffer[1] == static_cast<uint8_t>(Address >> 8) &&
           FrameBuffer[2] == static_cast<uint8_t>(Address & 0xFF);
}

bool ReadReplyAccepted(const uint8_t *FrameBuffer, int32_t Count, int32_t Address, int32_t N)
{
    if (!ReadReplyValid(FrameBuffer, Count, Address, N))
        return false;
    for (int32_t K = 0; K < N; ++K)
        if (FrameBuffer[3 + K] != DeviceImage[Address + K])
            return false;
    return true;
}

bool StartRun(TRunFrontEnd &FrontEnd, int32_t Mode)
{
    if (RunInProgress)
        return false;
    WaitRunEnd();

    FrontEnd.ClearLog();
    if (Mode != RunModeRead && Mode != RunModeProbe && !PrepareImage(FrontEnd))
        return false;

    PortIndex = FrontEnd.ChosenPort();
    RunDevicePath = FrontEnd.ChosenDevicePath();
    const TRunOptions Options = FrontEnd.ChosenRunOptions();
    RunInProgress = true;
    ProgressBytes = 0;
    FrontEnd.BeginRun();
    RunMode = Mode;
    std::memset(ReadImage, 0, sizeof ReadImage);

    LastWorker.Thread = std::thread([&FrontEnd, Port = PortIndex, Path = RunDevicePath, Mode, Options] {
        TMainTask Task(FrontEnd, Port, Path, Mode, Options);
        Task.Execute();
    });
    return true;
}

void WaitRunEnd()
{
    if (LastWorker.Thread.joinable())
        LastWorker.Thread.join();
}

void RequestRunStop()
{
    StopAsked.store(true);
}

