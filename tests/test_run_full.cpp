// One whole programming run, then one whole comparison run by the CLI, against the simulator.
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

#include <algorithm>

namespace {

using TLines = std::vector<std::string>;

std::string Hex(const uint8_t *Data, size_t Count)
{
    std::string Text;
    char Item[8];
    for (size_t I = 0; I < Count; ++I) {
        std::snprintf(Item, sizeof Item, I == 0 ? "%02X" : " %02X", Data[I]);
        Text += Item;
    }
    return Text;
}

size_t LastIndexStarting(const TLines &Log, const std::string &Prefix)
{
    size_t Found = Log.size();
    for (size_t I = 0; I < Log.size(); ++I)
        if (Log[I].rfind(Prefix, 0) == 0)
            Found = I;
    return Found;
}

size_t CountStarting(const TLines &Log, const std::string &Prefix)
{
    return static_cast<size_t>(
        std::count_if(Log.begin(), Log.end(), [&](const std::string &L) { return L.rfind(Prefix, 0) == 0; }));
}

TEST(FullRunTest, ProgramThenCompare)
{
    TProgramFolder Folder;
    ProgramDir.Assign(Folder.Path);
    SetDefaultSettings();
    RunInProgress = false;
    const std::string SimLog = Folder.Path + "sim.log";
    const std::string Saved = Folder.Path + "device.bin";
    TSimProcess Sim(Folder.Path + "Sys/COM3", {"--version", "7.0.12", "--log", SimLog, "--save", Saved});
    ASSERT_TRUE(Sim.Ready);

    const TLines Connected = {LineOpenPort, LinePortOpen, LineConnecting,
                              std::string(LineVersion) + "\"7.0.12\"."};
    std::vector<int32_t> TwoPasses = PassProgress();
    const std::vector<int32_t> OnePass = PassProgress();
    TwoPasses.insert(TwoPasses.end(), OnePass.begin(), OnePass.end());

    TRecordingFrontEnd Program;
    Program.Port = 3;
    const auto Start = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartRun(Program, RunModeProgram));
    Program.Finish();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    TLines Expected = Connected;
    Expected.insert(Expected.end(), {LineProgramming, LineVerifying, LineReset, "", LineProgramDone});
    EXPECT_EQ(Program.Lines(), Expected);
    EXPECT_EQ(Program.Progress(), TwoPasses);
    EXPECT_EQ(Program.Finishes(), 1);
    EXPECT_TRUE(Program.FinishedLast());
    // 512 exchanges of at least five 10 ms ticks, wake-up and resets.
    EXPECT_GE(Seconds, 512 * 0.04 + 1.0);
    EXPECT_LE(Seconds, 40.0);
    std::printf("programming run: %.2f s\n", Seconds);
    // The same run as values: every block taken at its first try, the
    // phases in order, the read pass's progress to its end.
    EXPECT_EQ(Program.Outcomes, 1);
    EXPECT_EQ(Program.Outcome.Result, TRunResult::Ok);
    EXPECT_EQ(RunVersionText(Program.Outcome), "7.0.12");
    EXPECT_EQ(Program.Outcome.FailedAddress, -1);
    EXPECT_EQ(Program.Outcome.Status.Write.Tries, 256);
    EXPECT_EQ(Program.Outcome.Status.Read.Tries, 256);
    EXPECT_EQ(Program.Outcome.Status.Repeats(), 0);
    EXPECT_NEAR(Program.Outcome.DurationMs / 1000.0, Seconds, 0.5);
    std::vector<TRunPhase> Phases;
    int32_t VerifiedTo = 0;
    for (const TRunStatus &Status : Program.Statuses) {
        if (Phases.empty() || Phases.back() != Status.Phase)
            Phases.push_back(Status.Phase);
        if (Status.Phase == TRunPhase::Verifying)
            VerifiedTo = Status.Bytes;
    }
    EXPECT_EQ(Phases, (std::vector<TRunPhase>{TRunPhase::Connecting, TRunPhase::Writing, TRunPhase::Verifying,
                                               TRunPhase::Resetting}));
    EXPECT_EQ(VerifiedTo, 8192);

    // The comparison goes through the CLI, which drives the same worker.
    const std::string SetFile = Folder.Path + "default.set";
    WriteBytes(SetFile, &Settings, sizeof Settings);
    const TProgramResult Cli =
        RunProgram("trackwarden-cli", {"compare", SetFile, "--port", Folder.Path + "Sys/COM3"}, Folder.Path);
    Expected = Connected;
    Expected.insert(Expected.end(), {LineVerifying, LineReset, "", LineCompareDone});
    EXPECT_EQ(Cli.Status, 0) << Cli.Err;
    EXPECT_EQ(Cli.Out, JoinLines(Expected));
    EXPECT_FALSE(RunInProgress);

    ASSERT_EQ(Sim.Stop(), 0);
    const std::vector<uint8_t> Memory = ReadBytes(Saved);
    ASSERT_EQ(Memory.size(), DeviceImageSize);
    EXPECT_TRUE(std::equal(Memory.begin(), Memory.end(), DeviceImage));

    const TLines Log = ReadLines(SimLog);
    EXPECT_EQ(CountStarting(Log, "> 03 "), 256u);
    EXPECT_EQ(CountStarting(Log, "> 02 "), 512u);
    EXPECT_EQ(CountStarting(Log, "> 04 FC"), 10u);
    uint8_t First[37] = {0x03, 0x00, 0x00, 0x20};
    std::copy(DeviceImage, DeviceImage + 32, First + 4);
    uint8_t Sum = 0;
    for (int I = 0; I < 36; ++I)
        Sum = static_cast<uint8_t>(Sum + First[I]);
    First[36] = static_cast<uint8_t>(256 - Sum);
    EXPECT_EQ(CountStarting(Log, "> " + Hex(First, 37)), 1u);
    EXPECT_EQ(CountStarting(Log, "> 03 1F E0 20 "), 1u);
    // Each run's five resets follow its last read, and only then.
    const size_t FirstReset = std::find(Log.begin(), Log.end(), "> 04 FC") - Log.begin();
    size_t LastReadOfRun1 = 0;
    size_t Reads = 0;
    for (size_t I = 0; I < Log.size() && Reads < 256; ++I)
        if (Log[I].rfind("> 02 ", 0) == 0 && ++Reads == 256)
            LastReadOfRun1 = I;
    EXPECT_GT(FirstReset, LastReadOfRun1);
    EXPECT_EQ(CountStarting(TLines(Log.begin(), Log.begin() + static_cast<long>(LastReadOfRun1)), "> 04"), 0u);
    EXPECT_GT(LastIndexStarting(Log, "> 04 FC"), LastIndexStarting(Log, "> 02 "));
}

} // namespace
