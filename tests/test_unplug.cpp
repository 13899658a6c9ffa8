// The device goes away in every phase of a run: the run ends with its lines,
// the buttons come back once, no thread of the run stays behind and none of
// them spins on the dead port.
#include "test_faults_support.h"
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

#include <thread>

namespace {

using TLines = std::vector<std::string>;

struct TUnplugRow {
    const char *Name;
    std::vector<std::string> SimOptions; // --hang-up-after N: the device hangs up after N requests
    int KillAfterMs;                     // or the simulator is killed this long after the start
    int32_t Mode;
    bool MemoryIsImage;
    TLines Tail; // the lines after "Nawiązanie połączenia z urządzeniem..."
    double MaxSeconds;
};

const std::string Version = std::string(LineVersion) + "\"1.2.3\".";

const TUnplugRow Rows[] = {
    {"WakeUp", {}, 250, RunModeCompare, false, {"", LineNoReply, "", LineEnd}, 4},
    {"Version", {"--version-length", "2", "--hang-up-after", "2"}, 0, RunModeCompare, false,
     {"", LineNoReply, "", LineEnd}, 4},
    {"WritePass", {"--hang-up-after", "3"}, 0, RunModeProgram, false,
     {Version, LineProgramming, "", LineWriteFailed, "", LineEnd}, 6},
    {"ReadPass", {"--hang-up-after", "3"}, 0, RunModeCompare, true,
     {Version, LineVerifying, "", LineCompareFailed, "", LineEnd}, 9},
    // 1 version and 256 reads: the device hangs up at the first reset, which awaits no reply.
    {"Reset", {"--hang-up-after", "258"}, 0, RunModeCompare, true,
     {Version, LineVerifying, LineReset, "", LineCompareDone}, 40},
};

class UnplugTest : public TRunRowTest<TUnplugRow> {};

TEST_P(UnplugTest, RunEndsCleanly)
{
    const TUnplugRow &Row = GetParam();
    EncodeDeviceImage();
    std::vector<std::string> Options = Row.SimOptions;
    if (Row.MemoryIsImage) {
        WriteBytes(Folder.Path + "memory.bin", DeviceImage, DeviceImageSize);
        Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin"});
    }
    TSimProcess Sim(Folder.Path + "Sys/COM1", Options);
    ASSERT_TRUE(Sim.Ready);

    const int ThreadsBefore = SettledThreadCount();
    TRecordingFrontEnd FrontEnd;
    FrontEnd.Port = 1;
    const auto Start = std::chrono::steady_clock::now();
    auto Elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count(); };
    ASSERT_TRUE(StartRun(FrontEnd, Row.Mode));
    bool Killed = false;

    // The run's threads while it lasts: the ticker, the worker, the receive thread.
    std::map<long, double> MostCpu;
    int MostThreads = 0;
    while (Elapsed() < Row.MaxSeconds) {
        if (Row.KillAfterMs > 0 && !Killed && Elapsed() * 1000 >= Row.KillAfterMs) {
            Sim.Stop();
            Killed = true;
        }
        const int Threads = ThreadCount();
        MostThreads = std::max(MostThreads, Threads);
        for (const auto &[Tid, Cpu] : OtherThreadsCpu())
            MostCpu[Tid] = std::max(MostCpu[Tid], Cpu);
        // Only the ticker is left once the worker and the receive thread have gone.
        if (Elapsed() > 0.3 && Threads <= ThreadsBefore + 1)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FrontEnd.Finish();
    const double Seconds = Elapsed();

    const TLines Head = {LineOpenPort, LinePortOpen, LineConnecting};
    TLines Expected = Head;
    Expected.insert(Expected.end(), Row.Tail.begin(), Row.Tail.end());
    EXPECT_EQ(FrontEnd.Lines(), Expected);
    EXPECT_EQ(FrontEnd.Finishes(), 1);
    EXPECT_TRUE(FrontEnd.FinishedLast());
    EXPECT_TRUE(FrontEnd.ButtonsEnabled);
    EXPECT_FALSE(RunInProgress);
    EXPECT_LT(Seconds, Row.MaxSeconds);

    EXPECT_EQ(ThreadCount(), ThreadsBefore) << "a thread of the run is still there";
    EXPECT_GE(MostThreads, ThreadsBefore + 3) << "the run's threads were never seen";
    for (const auto &[Tid, Cpu] : MostCpu)
        EXPECT_LT(Cpu, 0.1 + 0.03 * Seconds) << "thread " << Tid << " used " << Cpu << " s of CPU in " << Seconds
                                             << " s";
}

INSTANTIATE_TEST_SUITE_P(Unplug, UnplugTest, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
