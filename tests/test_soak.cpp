// Many runs in a row against the simulator, each with a fault drawn at
// random (seeded), every outcome checked against its fault, and the
// process's memory and threads watched. TW_SOAK_RUNS, TW_SOAK_FULL and
// TW_SOAK_SEED set the length; make soak runs 200 with a few full runs.
#include "test_faults_support.h"
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

#include <random>

namespace {

using TLines = std::vector<std::string>;

int EnvInt(const char *Name, int Default)
{
    const char *Value = std::getenv(Name);
    return Value != nullptr && *Value != '\0' ? std::atoi(Value) : Default;
}

TLines Then(TLines Head, const TLines &Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

struct TSoakRun {
    std::string Fault;
    std::vector<std::string> SimOptions; // empty Fault "no port": no simulator at all
    int32_t Mode = RunModeCompare;
    bool MemoryIsImage = false;
    TLines Lines;
};

const TLines Head = {LineOpenPort, LinePortOpen, LineConnecting};

std::string VersionLine(int A, int B, int C)
{
    return std::string(LineVersion) + "\"" + std::to_string(A) + "." + std::to_string(B) + "." +
           std::to_string(C) + "\".";
}

TSoakRun ShortRun(std::mt19937 &Random)
{
    const TLines NoReply = Then(Head, {"", LineNoReply, "", LineEnd});
    const TLines CompareFails = Then(Head, {VersionLine(1, 2, 3), LineVerifying, "", LineCompareFailed, "", LineEnd});
    const TLines WriteFails = Then(Head, {VersionLine(1, 2, 3), LineProgramming, "", LineWriteFailed, "", LineEnd});
    auto Pick = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
    switch (Pick(11)) {
    case 0: return {"silent", {"--silent"}, Pick(2) + 1, false, NoReply};
    case 1: return {"version of 2 bytes", {"--version-length", "2"}, Pick(2) + 1, false, NoReply};
    case 2: return {"every checksum bad", {"--bad-checksum-every", "1"}, Pick(2) + 1, false, NoReply};
    case 3: return {"other settings", {}, RunModeCompare, false, CompareFails};
    case 4: {
        const std::string At = std::to_string(Pick(256));
        return {"corrupt byte " + At, {"--corrupt-byte", At}, RunModeCompare, true, CompareFails};
    }
    case 5: return {"wrong echo", {"--wrong-echo"}, RunModeProgram, false, WriteFails};
    case 6: return {"hang-up in the write pass", {"--hang-up-after", std::to_string(2 + Pick(3))}, RunModeProgram,
                    false, WriteFails};
    case 7: {
        const std::string Ignored = std::to_string(1 + Pick(3));
        return {"ignores " + Ignored, {"--ignore", Ignored}, RunModeCompare, false, CompareFails};
    }
    case 8: return {"flood", {"--flood", "100"}, RunModeCompare, false, CompareFails};
    case 9: {
        const int A = Pick(256), B = Pick(256), C = Pick(256);
        const std::string Version = std::to_string(A) + "." + std::to_string(B) + "." + std::to_string(C);
        return {"version " + Version,
                {"--version", Version},
                RunModeCompare,
                false,
                Then(Head, {VersionLine(A, B, C), LineVerifying, "", LineCompareFailed, "", LineEnd})};
    }
    default: return {"no port", {}, Pick(2) + 1, false, {LineOpenPort, "", LinePortFailed}};
    }
}

TSoakRun FullRun(int32_t Mode)
{
    if (Mode == RunModeProgram)
        return {"full programming", {}, RunModeProgram, false,
                Then(Head, {VersionLine(1, 2, 3), LineProgramming, LineVerifying, LineReset, "", LineProgramDone})};
    return {"full comparison", {}, RunModeCompare, true,
            Then(Head, {VersionLine(1, 2, 3), LineVerifying, LineReset, "", LineCompareDone})};
}

TEST(SoakTest, RunsInARowStayFlat)
{
    const int Runs = EnvInt("TW_SOAK_RUNS", 12);
    const int Full = EnvInt("TW_SOAK_FULL", 0);
    std::mt19937 Random(static_cast<unsigned>(EnvInt("TW_SOAK_SEED", 6)));
    TProgramFolder Folder;
    ProgramDir.Assign(Folder.Path);
    SetDefaultSettings();
    EncodeDeviceImage();
    WriteBytes(Folder.Path + "memory.bin", DeviceImage, DeviceImageSize);

    const int WarmUp = std::min(5, Runs);
    long RssWarm = 0, RssMost = 0;
    int ThreadsWarm = 0, ThreadsMost = 0;
    const int ThreadsStart = SettledThreadCount();
    const long RssStart = ResidentKb();
    std::map<std::string, int> Seen;
    int FullDone = 0;
    const auto Start = std::chrono::steady_clock::now();

    for (int N = 0; N < Runs; ++N) {
        // The full runs are spread over the soak, programming and comparison in turn.
        const bool IsFull = Full > 0 && N % std::max(1, Runs / Full) == Runs / Full / 2 && FullDone < Full;
        TSoakRun Run = IsFull ? FullRun(FullDone % 2 == 0 ? RunModeCompare : RunModeProgram) : ShortRun(Random);
        FullDone += IsFull;
        // Counted by kind: "corrupt byte 17" as "corrupt byte".
        ++Seen[Run.Fault.substr(0, Run.Fault.find_last_not_of("0123456789. ") + 1)];

        std::unique_ptr<TSimProcess> Sim;
        TRecordingFrontEnd FrontEnd;
        FrontEnd.Port = 1;
        if (Run.Fault != "no port") {
            std::vector<std::string> Options = Run.SimOptions;
            if (Run.MemoryIsImage)
                Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin"});
            Sim = std::make_unique<TSimProcess>(Folder.Path + "Sys/COM1", Options);
            ASSERT_TRUE(Sim->Ready) << "run " << N;
        } else {
            FrontEnd.DevicePath = Folder.Path + "Sys/none";
        }
        ASSERT_TRUE(StartRun(FrontEnd, Run.Mode)) << "run " << N;
        FrontEnd.Finish();
        Sim.reset();

        ASSERT_EQ(FrontEnd.Lines(), Run.Lines) << "run " << N << ": " << Run.Fault;
        ASSERT_EQ(FrontEnd.Finishes(), 1) << "run " << N;
        ASSERT_FALSE(RunInProgress);

        const long Rss = ResidentKb();
        const int Threads = ThreadCount();
        if (N + 1 == WarmUp) {
            RssWarm = Rss;
            ThreadsWarm = Threads;
        }
        RssMost = std::max(RssMost, Rss);
        ThreadsMost = std::max(ThreadsMost, Threads);
    }
    const long RssEnd = ResidentKb();
    const int ThreadsEnd = ThreadCount();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();

    std::printf("soak: %d runs (%d full) in %.1f s; VmRSS start %ld kB, after %d runs %ld kB, end %ld kB, most %ld kB;"
                " threads start %d, after warm-up %d, end %d, most between runs %d\n",
                Runs, FullDone, Seconds, RssStart, WarmUp, RssWarm, RssEnd, RssMost, ThreadsStart, ThreadsWarm,
                ThreadsEnd, ThreadsMost);
    for (const auto &[Fault, Count] : Seen)
        std::printf("  %-28s %d\n", Fault.c_str(), Count);

    EXPECT_EQ(ThreadsEnd, ThreadsStart);
    EXPECT_EQ(ThreadsMost, ThreadsStart) << "a run left a thread behind for a while";
    // Flat: what the warm-up reached may grow by a little heap churn, not by a run's worth each time.
    EXPECT_LE(RssEnd - RssWarm, 2048) << "VmRSS grew from " << RssWarm << " kB to " << RssEnd << " kB";
}

} // namespace
