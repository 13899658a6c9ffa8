// Whole runs through trackwarden-cli against trackwarden-sim (2 ms reply
// delay), measured against the protocol's floor: every exchange waits five
// 10 ms ticks of quiet, the wake-up and the resets sleep 5 x 100 ms each.
// BM_EightProgrammingRuns programs eight simulators with one command and
// sets it against one programming run: wall time, CPU, memory
// (BM_EightFastProgrammingRuns the same in fast mode, with the wire's pace).
// The BM_Line... benchmarks run in process against a simulator with the
// wire's pace (and more of a real line), in the specified timing and in
// fast mode, each with a simulator of its own.
#include "UDecls.h"
#include "UFrames.h"
#include "UProcs.h"
#include "URun.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr double TickSeconds = 0.010;
constexpr int QuietTicks = 5;
constexpr int Blocks = 256;

std::string Folder;
pid_t Simulator = 0;
constexpr int DeviceCount = 8;
pid_t Simulators[DeviceCount] = {};

// User and system time of a waited-for child, all its threads.
double UsageSeconds(const rusage &Usage)
{
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

pid_t Spawn(std::vector<std::string> Args, int OutFd)
{
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    if (OutFd >= 0)
        posix_spawn_file_actions_adddup2(&Actions, OutFd, 1);
    else
        posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t Pid = 0;
    if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0)
        Pid = 0;
    posix_spawn_file_actions_destroy(&Actions);
    return Pid;
}

bool StartSimulator()
{
    char Template[] = "/tmp/tw-bench-XXXXXX";
    if (mkdtemp(Template) == nullptr)
        return false;
    Folder = std::string(Template) + "/";
    int Ready[2];
    if (pipe(Ready) != 0)
        return false;
    Simulator = Spawn({std::string(TW_BIN_DIR) + "/trackwarden-sim", "--link", Folder + "COM1", "--delay", "2"},
                      Ready[1]);
    close(Ready[1]);
    char Line[256] = {};
    FILE *Stream = fdopen(Ready[0], "r");
    const bool Listening = Simulator > 0 && std::fgets(Line, sizeof Line, Stream) != nullptr;
    std::fclose(Stream);
    for (int I = 0; I < DeviceCount && Listening; ++I) {
        int More[2];
        if (pipe(More) != 0)
            return false;
        const std::string Link = Folder + "DEV" + std::to_string(I);
        Simulators[I] = Spawn({std::string(TW_BIN_DIR) + "/trackwarden-sim", "--link", Link, "--delay", "2"}, More[1]);
        close(More[1]);
        FILE *Ready = fdopen(More[0], "r");
        const bool Up = Simulators[I] > 0 && std::fgets(Line, sizeof Line, Ready) != nullptr;
        std::fclose(Ready);
        if (!Up)
            return false;
    }
    const std::string Set = Folder + "default.set";
    pid_t Defaults = Spawn({std::string(TW_BIN_DIR) + "/trackwarden-cli", "defaults", Set}, -1);
    int Status = 0;
    waitpid(Defaults, &Status, 0);
    return Listening && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

void StopSimulator()
{
    if (Simulator > 0) {
        kill(Simulator, SIGTERM);
        waitpid(Simulator, nullptr, 0);
    }
    for (pid_t Pid : Simulators) {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
            waitpid(Pid, nullptr, 0);
        }
    }
    const std::string Command = "rm -rf '" + Folder + "'";
    if (!Folder.empty() && std::system(Command.c_str()) != 0)
        std::fprintf(stderr, "cannot remove %s\n", Folder.c_str());
}

// One CLI run; its wall time and its CPU time (user + system, all threads).
void Run(benchmark::State &State, std::vector<std::string> Arguments, int Exchanges)
{
    const double Floor = Exchanges * QuietTicks * TickSeconds + 0.5 + 0.5;
    double Wall = 0, Cpu = 0;
    int Failures = 0;
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-cli"};
        Args.insert(Args.end(), Arguments.begin(), Arguments.end());
        const pid_t Cli = Spawn(Args, -1);
        int Status = 0;
        rusage Usage = {};
        wait4(Cli, &Status, 0, &Usage);
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        State.SetIterationTime(Seconds);
        Wall += Seconds;
        Cpu += UsageSeconds(Usage);
        Failures += !(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
    }
    const double Runs = static_cast<double>(State.iterations());
    State.counters["floor_s"] = Floor;
    State.counters["ratio"] = Wall / Runs / Floor;
    State.counters["cpu_share"] = Cpu / Wall;
    State.counters["failures"] = Failures;
    if (Failures > 0)
        State.SkipWithError("the run did not end with success");
}

// Version, 256 writes, 256 reads; wake-up and resets.
void BM_ProgrammingRun(benchmark::State &State)
{
    Run(State, {"program", Folder + "default.set", "--port", Folder + "COM1"}, 1 + 2 * Blocks);
}

// Version, 256 reads; wake-up and resets.
void BM_ComparisonRun(benchmark::State &State)
{
    Run(State, {"compare", Folder + "default.set", "--port", Folder + "COM1"}, 1 + Blocks);
}

// The comparison's exchanges, then the decoding and the safe save of the set.
void BM_ReadRun(benchmark::State &State)
{
    Run(State, {"read", "--port", Folder + "COM1", Folder + "read.set"}, 1 + Blocks);
}

// Memory of a process and of its children, in kB, from /proc: the resident
// set (shared library pages counted in every process) and the proportional
// set (shared pages divided among their users).
struct TTreeMemory {
    long RssKb = 0;
    long PssKb = 0;
};

TTreeMemory TreeMemory(pid_t Parent)
{
    auto Field = [](const std::string &Path, const char *Name) {
        std::ifstream In(Path);
        const size_t Length = std::strlen(Name);
        for (std::string Line; std::getline(In, Line);)
            if (Line.compare(0, Length, Name) == 0)
                return std::atol(Line.c_str() + Length);
        return 0L;
    };
    auto Add = [&](TTreeMemory &Total, const std::string &Pid) {
        Total.RssKb += Field("/proc/" + Pid + "/status", "VmRSS:");
        Total.PssKb += Field("/proc/" + Pid + "/smaps_rollup", "Pss:");
    };
    TTreeMemory Total;
    Add(Total, std::to_string(Parent));
    DIR *Proc = opendir("/proc");
    if (Proc == nullptr)
        return Total;
    while (const dirent *Entry = readdir(Proc)) {
        std::ifstream Stat(std::string("/proc/") + Entry->d_name + "/stat");
        std::string Text;
        std::getline(Stat, Text);
        const size_t Close = Text.rfind(')');
        if (Close == std::string::npos)
            continue;
        char State = 0;
        long ParentPid = 0;
        if (std::sscanf(Text.c_str() + Close + 1, " %c %ld", &State, &ParentPid) == 2 && ParentPid == Parent)
            Add(Total, Entry->d_name);
    }
    closedir(Proc);
    return Total;
}

// One programming run, then eight devices programmed by one command: the
// wall-time ratio, the CLI's CPU share of wall time per device, and the
// peak memory of the whole process tree against one run's.
void EightProgrammingRuns(benchmark::State &State, const std::string &Devices, const std::vector<std::string> &Options)
{
    double Wall = 0, Cpu = 0, SingleWall = 0;
    TTreeMemory Peak, SinglePeak;
    int Failures = 0;
    auto Measure = [&](const std::vector<std::string> &Ports, double &Seconds, double &CpuSeconds, TTreeMemory &Most) {
        std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-cli", "program",
                                         Folder + "default.set"};
        for (const std::string &Port : Ports)
            Args.insert(Args.end(), {"--port", Port});
        Args.insert(Args.end(), Options.begin(), Options.end());
        const auto Start = std::chrono::steady_clock::now();
        const pid_t Cli = Spawn(Args, -1);
        std::atomic<bool> Done{false};
        std::thread Sampler([&] {
            while (!Done) {
                const TTreeMemory Now = TreeMemory(Cli);
                Most.RssKb = std::max(Most.RssKb, Now.RssKb);
                Most.PssKb = std::max(Most.PssKb, Now.PssKb);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        int Status = 0;
        rusage Usage = {};
        wait4(Cli, &Status, 0, &Usage);
        Done = true;
        Sampler.join();
        Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        // The children were waited for by the CLI, so the CLI's usage includes theirs.
        CpuSeconds = UsageSeconds(Usage);
        Failures += !(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
    };
    for (auto _ : State) {
        double SingleCpu = 0, Seconds = 0, CpuSeconds = 0, SingleSeconds = 0;
        Measure({Devices + "0"}, SingleSeconds, SingleCpu, SinglePeak);
        SingleWall += SingleSeconds;
        std::vector<std::string> Ports;
        for (int I = 0; I < DeviceCount; ++I)
            Ports.push_back(Devices + std::to_string(I));
        Measure(Ports, Seconds, CpuSeconds, Peak);
        State.SetIterationTime(Seconds);
        Wall += Seconds;
        Cpu += CpuSeconds;
    }
    const double Runs = static_cast<double>(State.iterations());
    State.counters["single_s"] = SingleWall / Runs;
    State.counters["ratio"] = Wall / SingleWall;
    State.counters["cpu_share_per_device"] = Cpu / Wall / DeviceCount;
    State.counters["single_pss_kb"] = static_cast<double>(SinglePeak.PssKb);
    State.counters["pss_kb"] = static_cast<double>(Peak.PssKb);
    State.counters["pss_ratio"] = static_cast<double>(Peak.PssKb) / static_cast<double>(SinglePeak.PssKb);
    State.counters["rss_ratio"] = static_cast<double>(Peak.RssKb) / static_cast<double>(SinglePeak.RssKb);
    State.counters["failures"] = Failures;
    if (Failures > 0)
        State.SkipWithError("a run did not end with success");
}

void BM_EightProgrammingRuns(benchmark::State &State)
{
    EightProgrammingRuns(State, Folder + "DEV", {});
}

// A device that answers the version request by FloodSeconds of bytes without
// a pause (a simulator of its own, empty memory: the comparison then fails at
// the first block). flood_cpu_share is all of the run's CPU time over the
// flood's length: an upper bound of its share of a core during the flood.
void BM_FloodRun(benchmark::State &State)
{
    constexpr int FloodMs = 3000;
    double Cpu = 0, Wall = 0;
    int Failures = 0;
    for (auto _ : State) {
        const std::string Link = Folder + "FLOOD";
        int Ready[2];
        if (pipe(Ready) != 0) {
            State.SkipWithError("pipe failed");
            return;
        }
        const pid_t Flooder = Spawn({std::string(TW_BIN_DIR) + "/trackwarden-sim", "--link", Link, "--flood",
                                     std::to_string(FloodMs)},
                                    Ready[1]);
        close(Ready[1]);
        char Line[256] = {};
        FILE *Stream = fdopen(Ready[0], "r");
        const bool Listening = Flooder > 0 && std::fgets(Line, sizeof Line, Stream) != nullptr;
        std::fclose(Stream);
        const auto Start = std::chrono::steady_clock::now();
        int Status = 0;
        rusage Usage = {};
        if (Listening) {
            const pid_t Cli = Spawn({std::string(TW_BIN_DIR) + "/trackwarden-cli", "compare", Folder + "default.set",
                                     "--port", Link},
                                    -1);
            wait4(Cli, &Status, 0, &Usage);
        }
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        State.SetIterationTime(Seconds);
        Wall += Seconds;
        Cpu += UsageSeconds(Usage);
        if (Flooder > 0) {
            kill(Flooder, SIGTERM);
            waitpid(Flooder, nullptr, 0);
        }
        Failures += !(Listening && WIFEXITED(Status) && WEXITSTATUS(Status) == 1);
    }
    State.counters["cpu_share"] = Cpu / Wall;
    State.counters["flood_cpu_share"] = Cpu / (static_cast<double>(State.iterations()) * FloodMs / 1000.0);
    State.counters["failures"] = Failures;
    if (Failures > 0)
        State.SkipWithError("the flooded comparison did not fail as it should");
}

// A run in this process, as the CLI makes it: direct calls, a ticker.
class TBenchFrontEnd : public TRunFrontEnd {
public:
    std::string DevicePath;
    TRunOptions Options;
    TRunOutcome Outcome;

    void ClearLog() override {}
    void AppendLine(const std::string &, bool) override {}
    void TakeSettings() override {}
    void ShowSettingsError(const std::string &) override {}
    int32_t ChosenPort() override { return 1; }
    std::string ChosenDevicePath() override { return DevicePath; }
    TRunOptions ChosenRunOptions() override { return Options; }
    void BeginRun() override { Ticker = std::make_unique<TTicker>(); }
    void ShowLine(const std::string &) override {}
    void ShowProgress(int32_t) override {}
    void RunFinished() override {}
    void ShowOutcome(const TRunOutcome &Given) override { Outcome = Given; }
    void Finish()
    {
        WaitRunEnd();
        Ticker.reset();
        RunInProgress = false;
    }

private:
    std::unique_ptr<TTicker> Ticker;
};

// A simulator of its own on LINE, with Options; stopped with the object.
class TBenchSimulator {
public:
    TBenchSimulator(const std::string &Link, std::vector<std::string> Options)
    {
        std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-sim", "--link", Link};
        Args.insert(Args.end(), Options.begin(), Options.end());
        int Ready[2];
        if (pipe(Ready) != 0)
            return;
        Pid = Spawn(Args, Ready[1]);
        close(Ready[1]);
        char Line[256] = {};
        FILE *Stream = fdopen(Ready[0], "r");
        Listening = Pid > 0 && std::fgets(Line, sizeof Line, Stream) != nullptr;
        std::fclose(Stream);
    }
    ~TBenchSimulator()
    {
        if (Pid > 0) {
            kill(Pid, SIGTERM);
            waitpid(Pid, nullptr, 0);
        }
    }
    bool Listening = false;

private:
    pid_t Pid = 0;
};

struct TLineRun {
    int32_t Mode;
    bool Fast;
    std::vector<std::string> SimOptions;
    int32_t GapMs = 1;
};

// The wire's pace, and no time of the device's own beyond it.
const std::vector<std::string> Wire = {"--wire", "--delay", "0"};

std::vector<std::string> WireAnd(std::vector<std::string> More)
{
    std::vector<std::string> Options = Wire;
    Options.insert(Options.end(), More.begin(), More.end());
    return Options;
}

// One run in this process; its wall time, or -1 when it failed.
double LineRun(const TLineRun &Run, TRunOutcome &Outcome)
{
    SetDefaultSettings();
    const std::string Link = Folder + "LINE";
    std::vector<std::string> Options = Run.SimOptions;
    if (Run.Mode == RunModeCompare) {
        // The device holds the set's image: the comparison succeeds.
        EncodeDeviceImage();
        const std::string Memory = Folder + "line.bin";
        FILE *File = std::fopen(Memory.c_str(), "wb");
        const bool Written = File != nullptr && std::fwrite(DeviceImage, 1, DeviceImageSize, File) == DeviceImageSize;
        if (File == nullptr || std::fclose(File) != 0 || !Written)
            return -1;
        Options.insert(Options.end(), {"--memory", Memory});
    }
    // The simulator's timed log of the last run, to see where the time goes.
    if (const char *Log = std::getenv("TW_BENCH_SIM_LOG"))
        Options.insert(Options.end(), {"--log", Log, "--log-times"});
    TBenchSimulator Sim(Link, Options);
    if (!Sim.Listening)
        return -1;
    TBenchFrontEnd FrontEnd;
    FrontEnd.DevicePath = Link;
    FrontEnd.Options.Fast = Run.Fast;
    FrontEnd.Options.GapMs = Run.GapMs;
    const auto Start = std::chrono::steady_clock::now();
    if (!StartRun(FrontEnd, Run.Mode))
        return -1;
    FrontEnd.Finish();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Outcome = FrontEnd.Outcome;
    return Outcome.Result == TRunResult::Ok ? Seconds : -1;
}

// Exchanges of a run's kind: the floor of the specified timing is five
// ticks each, plus the wake-up and the resets.
int LineExchanges(int32_t Mode)
{
    return Mode == RunModeProgram ? 1 + 2 * Blocks : 1 + Blocks;
}

void LineBench(benchmark::State &State, TLineRun Run)
{
    double Wall = 0;
    int Failures = 0, Fallbacks = 0;
    for (auto _ : State) {
        TRunOutcome Outcome;
        const double Seconds = LineRun(Run, Outcome);
        Failures += Seconds < 0;
        Fallbacks += Outcome.Fast == TFastExchange::Fallback;
        State.SetIterationTime(Seconds < 0 ? 0 : Seconds);
        Wall += Seconds < 0 ? 0 : Seconds;
    }
    const double Floor = LineExchanges(Run.Mode) * QuietTicks * TickSeconds + 0.5 + 0.5;
    const double Runs = static_cast<double>(State.iterations());
    State.counters["floor_s"] = Floor;
    State.counters["speedup"] = Floor / (Wall / Runs);
    State.counters["fallbacks"] = Fallbacks;
    State.counters["failures"] = Failures;
    if (Failures > 0)
        State.SkipWithError("the run did not end with success");
}

void BM_LineProgramming(benchmark::State &State) { LineBench(State, {RunModeProgram, false, Wire}); }
void BM_LineProgrammingFast(benchmark::State &State) { LineBench(State, {RunModeProgram, true, Wire}); }
void BM_LineComparison(benchmark::State &State) { LineBench(State, {RunModeCompare, false, Wire}); }
void BM_LineComparisonFast(benchmark::State &State) { LineBench(State, {RunModeCompare, true, Wire}); }
void BM_LineRead(benchmark::State &State) { LineBench(State, {RunModeRead, false, Wire}); }
void BM_LineReadFast(benchmark::State &State) { LineBench(State, {RunModeRead, true, Wire}); }
// Without the gap: the wire, the wake-up and the resets alone.
void BM_LineComparisonFastGap0(benchmark::State &State) { LineBench(State, {RunModeCompare, true, Wire, 0}); }
void BM_LineReadFastGap0(benchmark::State &State) { LineBench(State, {RunModeRead, true, Wire, 0}); }
// The device's own 2 ms per request, as the plain simulator has it.
void BM_LineProgrammingFastDelay2(benchmark::State &State)
{
    LineBench(State, {RunModeProgram, true, {"--wire", "--delay", "2"}});
}
// A USB adapter with its latency timer at the common default.
void BM_LineProgrammingLatency16(benchmark::State &State)
{
    LineBench(State, {RunModeProgram, false, WireAnd({"--latency", "16"})});
}
void BM_LineProgrammingFastLatency16(benchmark::State &State)
{
    LineBench(State, {RunModeProgram, true, WireAnd({"--latency", "16"})});
}
void BM_LineProgrammingFastLatency1(benchmark::State &State)
{
    LineBench(State, {RunModeProgram, true, WireAnd({"--latency", "1"})});
}
// A device deaf for 5 ms after each reply loses a request sent after the
// 1 ms gap: fast mode loses that try and falls back. Each iteration makes
// the run in the specified timing too; fallback_cost_s is the difference.
void BM_LineProgrammingFastDeaf(benchmark::State &State)
{
    const std::vector<std::string> Deaf = WireAnd({"--deaf-ms", "5"});
    double Wall = 0, Specified = 0;
    int Failures = 0, Fallbacks = 0;
    for (auto _ : State) {
        TRunOutcome Outcome;
        const double Plain = LineRun({RunModeProgram, false, Deaf}, Outcome);
        const double Seconds = LineRun({RunModeProgram, true, Deaf}, Outcome);
        Failures += Plain < 0 || Seconds < 0;
        Fallbacks += Outcome.Fast == TFastExchange::Fallback;
        State.SetIterationTime(Seconds < 0 ? 0 : Seconds);
        Wall += Seconds;
        Specified += Plain;
    }
    const double Runs = static_cast<double>(State.iterations());
    State.counters["specified_s"] = Specified / Runs;
    State.counters["fallback_cost_s"] = (Wall - Specified) / Runs;
    State.counters["fallbacks"] = Fallbacks;
    State.counters["failures"] = Failures;
    if (Failures > 0 || Fallbacks != State.iterations())
        State.SkipWithError("a run failed, or the fast one did not fall back");
}

// Eight devices at once in fast mode, each with the wire's pace and a
// simulator of its own, against one fast run.
void BM_EightFastProgrammingRuns(benchmark::State &State)
{
    std::vector<std::unique_ptr<TBenchSimulator>> Sims;
    for (int I = 0; I < DeviceCount; ++I) {
        Sims.push_back(std::make_unique<TBenchSimulator>(Folder + "FAST" + std::to_string(I), Wire));
        if (!Sims.back()->Listening) {
            State.SkipWithError("a simulator did not start");
            return;
        }
    }
    EightProgrammingRuns(State, Folder + "FAST", {"--fast"});
}

BENCHMARK(BM_ProgrammingRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ComparisonRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ReadRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_EightProgrammingRuns)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FloodRun)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgramming)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingFast)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineComparison)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineComparisonFast)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineRead)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineReadFast)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineComparisonFastGap0)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineReadFastGap0)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingFastDelay2)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingLatency16)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingFastLatency16)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingFastLatency1)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineProgrammingFastDeaf)->Iterations(2)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_EightFastProgrammingRuns)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (!StartSimulator()) {
        std::fprintf(stderr, "bench_run: cannot start the simulator\n");
        StopSimulator();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopSimulator();
    return 0;
}
