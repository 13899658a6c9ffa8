// Runs that end early, over a real pseudo-terminal with the simulator, and
// runs that never reach a device.
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

#include <sys/file.h>
#include <fcntl.h>

#include <algorithm>
#include <functional>

namespace {

using TLines = std::vector<std::string>;

enum class TPortSetup { Simulator, None, NoSelection, Missing, NotATerminal, Held };
enum class TMemory { Zero, Image };

struct TRunRow {
    const char *Name;
    TPortSetup Port;
    std::vector<std::string> SimOptions;
    TMemory Memory;
    int32_t Mode;
    TLines Lines;
    std::vector<int32_t> Progress;
    // Request -> how many times the simulator must have seen it.
    std::vector<std::pair<std::string, int>> Requests;
    double MinSeconds;
    double MaxSeconds;
    bool QuietCpu; // a dead port must not cost CPU time while the run waits
    // The outcome: result, failed block, repeated tries, and the port's error (a part of it).
    TRunResult Result;
    int32_t FailedAddress;
    int32_t Repeats;
    const char *PortError;
};

const TLines Preparation = {LineTakeSettings, LineSettingsTaken, LineCheckSettings, LineSettingsOk,
                            LineEncoding,     LineEncoded};
const std::string Version = std::string(LineVersion) + "\"1.2.3\".";
const TLines Connected = {LineOpenPort, LinePortOpen, LineConnecting, Version};
const TLines PortFailed = {LineOpenPort, "", LinePortFailed};

const std::string VersionRequest = "> 01 FF";
const std::string ResetRequest = "> 04 FC";
const std::string ReadBlock0 = "> 02 00 00 20 DE";

const TLines CompareFails = Join(Connected, {LineVerifying, "", LineCompareFailed, "", LineEnd});
const TLines WriteFails = Join(Connected, {LineProgramming, "", LineWriteFailed, "", LineEnd});

const TRunRow Rows[] = {
    {"Brak", TPortSetup::None, {}, TMemory::Zero, RunModeProgram, PortFailed, {}, {}, 0, 0.5, false,
     TRunResult::Port, -1, 0, "brak portu"},
    {"NoPortSelected", TPortSetup::NoSelection, {}, TMemory::Zero, RunModeCompare, PortFailed, {}, {}, 0, 0.5, false,
     TRunResult::Port, -1, 0, "brak portu"},
    {"MissingPort", TPortSetup::Missing, {}, TMemory::Zero, RunModeProgram, PortFailed, {}, {}, 0, 0.5, false,
     TRunResult::Port, -1, 0, "no-such-port: open: No such file or directory"},
    {"NotATerminal", TPortSetup::NotATerminal, {}, TMemory::Zero, RunModeProgram, PortFailed, {}, {}, 0, 0.5, false,
     TRunResult::Port, -1, 0, "plain: isatty: Inappropriate ioctl for device"},
    {"PortHeldElsewhere", TPortSetup::Held, {}, TMemory::Zero, RunModeProgram, PortFailed, {}, {}, 0, 0.5, false,
     TRunResult::Port, -1, 0, "Sys/COM1: flock: Resource temporarily unavailable"},
    {"SilentDevice", TPortSetup::Simulator, {"--silent"}, TMemory::Zero, RunModeProgram,
     Join({LineOpenPort, LinePortOpen, LineConnecting}, {"", LineNoReply, "", LineEnd}), {},
     {{VersionRequest, 10}, {ResetRequest, 0}}, 1.45, 2.5, true, TRunResult::NoReply, -1, 9, ""},
    // Wrong version replies are retried, and so is a request the device ignores.
    {"VersionOfTwoBytes", TPortSetup::Simulator, {"--version-length", "2", "--version-faults", "3"}, TMemory::Zero,
     RunModeCompare, CompareFails, {0}, {{VersionRequest, 4}}, 0, 3, false, TRunResult::Verify, 0, 12, ""},
    {"VersionOfFourBytes", TPortSetup::Simulator, {"--version-length", "4", "--version-faults", "2"}, TMemory::Zero,
     RunModeCompare, CompareFails, {0}, {{VersionRequest, 3}}, 0, 3, false, TRunResult::Verify, 0, 11, ""},
    {"FirstRequestsIgnored", TPortSetup::Simulator, {"--ignore", "2"}, TMemory::Zero, RunModeCompare, CompareFails,
     {0}, {{VersionRequest, 3}}, 0, 3, false, TRunResult::Verify, 0, 11, ""},
    {"Flood", TPortSetup::Simulator, {"--flood", "300"}, TMemory::Zero, RunModeCompare, CompareFails, {0},
     {{VersionRequest, 2}}, 0.3, 3.5, false, TRunResult::Verify, 0, 10, ""},
    // Other settings on the device: the first block fails after 10 reads and no reset follows.
    {"CompareDifferentSettings", TPortSetup::Simulator, {}, TMemory::Zero, RunModeCompare, CompareFails, {0},
     {{ReadBlock0, 10}, {ResetRequest, 0}}, 0, 2.5, false, TRunResult::Verify, 0, 9, ""},
    {"OneByteReadsBackWrong", TPortSetup::Simulator, {"--corrupt-byte", "64"}, TMemory::Image, RunModeCompare,
     CompareFails, Upto(64), {{"> 02 00 40 20 9E", 10}, {ResetRequest, 0}}, 0, 2.5, false,
     TRunResult::Verify, 64, 9, ""},
    {"BadChecksumsRetried", TPortSetup::Simulator, {"--bad-checksum-every", "3", "--corrupt-byte", "160"},
     TMemory::Image, RunModeCompare, CompareFails, Upto(160), {{ReadBlock0, 1}, {"> 02 00 20 20 BE", 2}}, 0, 3,
     false, TRunResult::Verify, 160, -1, ""},
    {"WrongEcho", TPortSetup::Simulator, {"--wrong-echo"}, TMemory::Zero, RunModeProgram, WriteFails, {0}, {}, 0, 2,
     false, TRunResult::Write, 0, 4, ""},
    // A single 03 passes as a write reply; the hang-up then fails block 3.
    {"SingleByteWriteReply", TPortSetup::Simulator, {"--short-write-reply", "--hang-up-after", "4"}, TMemory::Zero,
     RunModeProgram, WriteFails, Upto(96), {}, 2.4, 4, true, TRunResult::NoReply, 96, 4, ""},
    {"HangUpInThePass", TPortSetup::Simulator, {"--hang-up-after", "3"}, TMemory::Zero, RunModeProgram, WriteFails,
     Upto(64), {}, 2.4, 4, true, TRunResult::NoReply, 64, 4, ""},
    // A probe: the wake-up and one version request, no set, no pass, no reset.
    {"ProbeAnswered", TPortSetup::Simulator, {}, TMemory::Zero, RunModeProbe, Connected, {},
     {{VersionRequest, 1}, {ReadBlock0, 0}, {ResetRequest, 0}}, 0.5, 1.5, false, TRunResult::Ok, -1, 0, ""},
    {"ProbeOfSilentDevice", TPortSetup::Simulator, {"--silent"}, TMemory::Zero, RunModeProbe,
     Join({LineOpenPort, LinePortOpen, LineConnecting}, {"", LineNoReply, "", LineEnd}), {}, {{VersionRequest, 1}},
     0.6, 1.5, true, TRunResult::NoReply, -1, 0, ""},
    {"ProbeOfHeldPort", TPortSetup::Held, {}, TMemory::Zero, RunModeProbe, PortFailed, {}, {{VersionRequest, 0}}, 0,
     0.5, false, TRunResult::Port, -1, 0, "Sys/COM1: flock: Resource temporarily unavailable"},
};

class RunTest : public TRunRowTest<TRunRow> {};

TEST_P(RunTest, LogProgressAndEnd)
{
    const TRunRow &Row = GetParam();
    TRecordingFrontEnd FrontEnd;
    FrontEnd.Port = 1;
    const std::string Link = Folder.Path + "Sys/COM1";
    const std::string SimLog = Folder.Path + "sim.log";
    std::unique_ptr<TSimProcess> Sim;
    int HeldFd = -1;

    if (Row.Port == TPortSetup::Simulator || Row.Port == TPortSetup::Held) {
        EncodeDeviceImage();
        std::vector<std::string> Options = Row.SimOptions;
        if (Row.Memory == TMemory::Image) {
            WriteBytes(Folder.Path + "memory.bin", DeviceImage, DeviceImageSize);
            Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin"});
        }
        Options.insert(Options.end(), {"--log", SimLog});
        Sim = std::make_unique<TSimProcess>(Link, Options);
        ASSERT_TRUE(Sim->Ready);
    }
    switch (Row.Port) {
    case TPortSetup::None: FrontEnd.Port = 0; break;
    case TPortSetup::NoSelection: FrontEnd.Port = -1; break;
    case TPortSetup::Missing: FrontEnd.DevicePath = Folder.Path + "no-such-port"; break;
    case TPortSetup::NotATerminal:
        WriteBytes(Folder.Path + "plain", "x", 1);
        FrontEnd.DevicePath = Folder.Path + "plain";
        break;
    case TPortSetup::Held:
        HeldFd = open(Link.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(HeldFd, 0);
        ASSERT_EQ(flock(HeldFd, LOCK_EX | LOCK_NB), 0);
        break;
    case TPortSetup::Simulator: break;
    }

    const auto Start = std::chrono::steady_clock::now();
    const double CpuBefore = ProcessCpuSeconds();
    ASSERT_TRUE(StartRun(FrontEnd, Row.Mode));
    EXPECT_TRUE(RunInProgress);
    FrontEnd.Finish();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    const double Cpu = ProcessCpuSeconds() - CpuBefore;
    if (HeldFd >= 0)
        close(HeldFd);

    EXPECT_EQ(FrontEnd.Preparation, Row.Mode == RunModeProbe ? TLines{} : Preparation);
    EXPECT_EQ(FrontEnd.Lines(), Row.Lines);
    EXPECT_EQ(FrontEnd.Progress(), Row.Progress);
    // The buttons come back on every path, once, after the last line.
    EXPECT_EQ(FrontEnd.Finishes(), 1);
    EXPECT_TRUE(FrontEnd.FinishedLast());
    EXPECT_TRUE(FrontEnd.ButtonsEnabled);
    EXPECT_FALSE(RunInProgress);
    EXPECT_EQ(RunMode, Row.Mode);
    EXPECT_GE(Seconds, Row.MinSeconds);
    EXPECT_LE(Seconds, Row.MaxSeconds);
    if (Row.QuietCpu) {
        EXPECT_LT(Cpu, 0.05 * Seconds + 0.05) << "CPU " << Cpu << " s in " << Seconds << " s";
    }

    EXPECT_EQ(FrontEnd.Outcomes, 1);
    EXPECT_EQ(FrontEnd.Outcome.Result, Row.Result);
    EXPECT_EQ(FrontEnd.Outcome.FailedAddress, Row.FailedAddress);
    if (Row.Repeats >= 0) {
        EXPECT_EQ(FrontEnd.Outcome.Status.Repeats(), Row.Repeats);
    }
    const std::string PortError = FrontEnd.Outcome.PortError;
    EXPECT_EQ(PortError.empty(), *Row.PortError == '\0') << PortError;
    EXPECT_NE(PortError.find(Row.PortError), std::string::npos) << PortError;

    if (Sim) {
        Sim->Stop();
        const TLines Log = ReadLines(SimLog);
        for (const auto &[Request, Count] : Row.Requests) {
            EXPECT_EQ(std::count(Log.begin(), Log.end(), Request), Count) << Request;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, RunTest, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(RunStartTest, SettingsErrorStopsBeforeTheWorker)
{
    SetDefaultSettings();
    RunInProgress = false;
    Settings.Inputs[1].Users[1].Functions[1].SmsText.Assign(std::string(61, 'a'));
    TRecordingFrontEnd FrontEnd;
    EXPECT_FALSE(StartRun(FrontEnd, RunModeProgram));
    FrontEnd.Finish();
    EXPECT_EQ(FrontEnd.Preparation,
              (TLines{LineTakeSettings, LineSettingsTaken, LineCheckSettings, "", LineSettingsError}));
    ASSERT_EQ(FrontEnd.SettingsErrors.size(), 1u);
    EXPECT_FALSE(FrontEnd.SettingsErrors[0].empty());
    EXPECT_EQ(FrontEnd.BeginRuns, 0);
    EXPECT_TRUE(FrontEnd.Entries.empty());
    EXPECT_FALSE(RunInProgress);
}

TEST(RunStartTest, RunsFollowOneAnotherAndNoneStartsDuringARun)
{
    SetDefaultSettings();
    RunInProgress = false;
    TRecordingFrontEnd First, Second;
    ASSERT_TRUE(StartRun(First, RunModeProgram));
    // RunInProgress holds until RunFinished has run on the front end's side.
    TRecordingFrontEnd Refused;
    EXPECT_FALSE(StartRun(Refused, RunModeCompare));
    EXPECT_TRUE(Refused.Preparation.empty());
    First.Finish();
    ASSERT_TRUE(StartRun(Second, RunModeCompare));
    Second.Finish();
    EXPECT_EQ(First.Lines(), PortFailed);
    EXPECT_EQ(Second.Lines(), PortFailed);
    EXPECT_EQ(RunMode, RunModeCompare);
}

} // namespace
