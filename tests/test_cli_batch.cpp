// trackwarden-cli program/compare/read on several simulators at once: every run
// as a single run would go, prefixed or drawn as status lines, the summary,
// the exit status, --json, --log and the refusals before anything starts.
#include "URunLines.h"
#include "test_cli_json.h"
#include "test_run_support.h"

#include <pty.h>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <thread>

namespace {

using TLines = std::vector<std::string>;

// What a simulator is asked to be, and what a comparison against it shows.
// Deaf and Trailing have the wire's pace: a device deaf for 5 ms after each
// reply, and one whose replies are followed by two zeros.
enum class TDevice { Good, Silent, OtherSettings, CorruptAt100, HangsUp, Deaf, Trailing };

struct TDeviceKind {
    TDevice Device;
    const char *Result;
    int FailedAddress;
};

std::vector<std::string> SimOptions(TDevice Device, const std::string &Image)
{
    switch (Device) {
    case TDevice::Good: return {"--memory", Image};
    case TDevice::Silent: return {"--silent"};
    case TDevice::OtherSettings: return {"--delay", "1"};
    case TDevice::CorruptAt100: return {"--memory", Image, "--corrupt-byte", "100"};
    case TDevice::HangsUp: return {"--memory", Image, "--hang-up-after", "6"};
    case TDevice::Deaf: return {"--memory", Image, "--wire", "--deaf-ms", "5", "--corrupt-byte", "100"};
    case TDevice::Trailing: return {"--memory", Image, "--wire", "--trailing", "2"};
    }
    return {};
}

const TLines VerifyFails = {"", LineCompareFailed, "", LineEnd};

TLines ExpectedLog(TDevice Device);

bool Answers(TDevice Device)
{
    return Device != TDevice::Silent && Device != TDevice::Trailing;
}

// Fast exchange: the line after which a run falls back to the specified
// timing (its first failed try), or nullptr for a run that keeps it.
const char *FallsBackAfter(TDevice Device)
{
    return Device == TDevice::Good ? nullptr : Answers(Device) ? LineVerifying : LineConnecting;
}

TLines ExpectedLog(TDevice Device, bool Fast)
{
    TLines Lines = ExpectedLog(Device);
    const char *After = FallsBackAfter(Device);
    if (Fast && After != nullptr)
        Lines.insert(std::find(Lines.begin(), Lines.end(), After) + 1, LineFastOff);
    return Lines;
}

TLines ExpectedLog(TDevice Device)
{
    TLines Lines = {LineOpenPort, LinePortOpen, LineConnecting};
    if (!Answers(Device)) {
        Lines.insert(Lines.end(), {"", LineNoReply, "", LineEnd});
        return Lines;
    }
    Lines.insert(Lines.end(), {std::string(LineVersion) + "\"1.2.3\".", LineVerifying});
    if (Device == TDevice::Good)
        Lines.insert(Lines.end(), {LineReset, "", LineCompareDone});
    else
        Lines.insert(Lines.end(), VerifyFails.begin(), VerifyFails.end());
    return Lines;
}

// A device that stops answering mid-comparison is no difference found.
const char *ExpectedResult(TDevice Device)
{
    return Device == TDevice::Good                              ? "ok"
           : !Answers(Device) || Device == TDevice::HangsUp ? "no-reply"
                                                             : "verify";
}

// -1: no failing block
int ExpectedAddress(TDevice Device)
{
    switch (Device) {
    case TDevice::OtherSettings: return 0;
    case TDevice::CorruptAt100:
    case TDevice::Deaf: return 96;
    case TDevice::HangsUp: return 5 * 32; // the version and five reads were answered
    default: return -1;
    }
}

struct TOutput {
    int Status = -1;
    std::string Out, Err;
};

std::vector<char *> Argv(std::vector<std::string> &Args)
{
    std::vector<char *> Out;
    for (std::string &A : Args)
        Out.push_back(A.data());
    Out.push_back(nullptr);
    return Out;
}

// stdout and stderr in files: output that is no terminal.
TOutput RunToFiles(std::vector<std::string> Args, const std::string &Scratch)
{
    const TProgramResult R =
        RunProgram("trackwarden-cli", std::vector<std::string>(Args.begin() + 1, Args.end()), Scratch);
    return {R.Status, R.Out, R.Err};
}

// stdout and stderr on one pseudo-terminal of 120 columns.
TOutput RunOnTerminal(std::vector<std::string> Args)
{
    winsize Size = {};
    Size.ws_col = 120;
    Size.ws_row = 40;
    int Master = -1;
    std::vector<char *> Arguments = Argv(Args);
    const pid_t Pid = forkpty(&Master, nullptr, nullptr, &Size);
    if (Pid == 0) {
        execv(Arguments[0], Arguments.data());
        _exit(127);
    }
    TOutput Result;
    if (Pid < 0)
        return Result;
    char Buffer[4096];
    for (;;) {
        const ssize_t N = read(Master, Buffer, sizeof Buffer);
        if (N <= 0)
            break;
        Result.Out.append(Buffer, static_cast<size_t>(N));
    }
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    close(Master);
    Result.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    return Result;
}

// The lines of one port, without its prefix.
TLines Prefixed(const TLines &From, const std::string &Port)
{
    TLines Own;
    for (const std::string &Line : From)
        if (Line.rfind(Port + ": ", 0) == 0)
            Own.push_back(Line.substr(Port.size() + 2));
    return Own;
}

TLines SplitLines(const std::string &Text)
{
    TLines Lines;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);)
        Lines.push_back(Line);
    return Lines;
}

// Several simulators in one program folder, and a set whose image the good ones hold.
class TBench {
public:
    TBench()
    {
        SetDefaultSettings();
        WriteBytes(SetPath, &Settings, sizeof Settings);
        const TProgramResult Made = RunProgram("trackwarden-cli", {"image", SetPath, ImagePath}, Folder.Path);
        EXPECT_EQ(Made.Status, 0) << Made.Err;
    }
    std::string Add(TDevice Device)
    {
        const std::string Link = Folder.Path + "dev" + std::to_string(Sims.size());
        Sims.push_back(std::make_unique<TSimProcess>(Link, SimOptions(Device, ImagePath)));
        EXPECT_TRUE(Sims.back()->Ready);
        return Link;
    }
    std::vector<std::string> Command(const char *Mode, const std::vector<std::string> &Ports,
                                     const std::vector<std::string> &Extra = {})
    {
        std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-cli", Mode, SetPath};
        for (const std::string &Port : Ports)
            Args.insert(Args.end(), {"--port", Port});
        Args.insert(Args.end(), Extra.begin(), Extra.end());
        return Args;
    }

    TProgramFolder Folder;
    const std::string SetPath = Folder.Path + "test.set";
    const std::string ImagePath = Folder.Path + "test.img";
    std::vector<std::unique_ptr<TSimProcess>> Sims;
};

struct TBatchRow {
    const char *Name;
    std::vector<TDevice> Devices;
    bool Json;
    int Status;
    bool Fast = false;
};

const TBatchRow BatchRows[] = {
    {"AllSucceed", {TDevice::Good, TDevice::Good, TDevice::Good}, false, 0, true},
    {"MixedOutcomes",
     {TDevice::Silent, TDevice::OtherSettings, TDevice::CorruptAt100, TDevice::HangsUp},
     false, 1},
    {"MixedOutcomesAsJson", {TDevice::Silent, TDevice::CorruptAt100, TDevice::HangsUp}, true, 1},
    // Fast exchange: the runs that fall back say so once and otherwise log what the specified timing does.
    {"FastSomeFallBack", {TDevice::Good, TDevice::Deaf, TDevice::Trailing, TDevice::CorruptAt100}, true, 1, true},
};

class BatchTest : public ::testing::TestWithParam<TBatchRow> {};

// Not on a terminal: every line of every run whole, prefixed with its port,
// in the order of that run; the summary names the failed ports.
TEST_P(BatchTest, EachRunAsASingleRunWith)
{
    const TBatchRow &Row = GetParam();
    TBench Bench;
    std::vector<std::string> Ports;
    for (TDevice Device : Row.Devices)
        Ports.push_back(Bench.Add(Device));
    TLines Options = Row.Json ? TLines{"--json"} : TLines{};
    if (Row.Fast)
        Options.push_back("--fast");
    const TOutput Result = RunToFiles(Bench.Command("compare", Ports, Options), Bench.Folder.Path);
    EXPECT_EQ(Result.Status, Row.Status) << Result.Err;

    // The preparation goes to stderr as in a single run; with --json the log joins it there.
    const TLines Preparation = {LineTakeSettings, LineSettingsTaken, LineCheckSettings,
                                LineSettingsOk,   LineEncoding,      LineEncoded};
    const std::string &Human = Row.Json ? Result.Err : Result.Out;
    const TLines Lines = SplitLines(Human);
    std::string Failed;
    for (size_t I = 0; I < Ports.size(); ++I) {
        TLines Expected = ExpectedLog(Row.Devices[I], Row.Fast);
        if (Row.Json)
            Expected.insert(Expected.begin(), Preparation.begin(), Preparation.end());
        else
            EXPECT_EQ(Prefixed(SplitLines(Result.Err), Ports[I]), Preparation) << Result.Err;
        EXPECT_EQ(Prefixed(Lines, Ports[I]), Expected) << Ports[I] << "\n" << Human;
        if (Row.Devices[I] != TDevice::Good)
            Failed += (Failed.empty() ? "" : ", ") + Ports[I];
    }
    ASSERT_FALSE(Lines.empty());
    EXPECT_EQ(Lines.back(), Failed.empty() ? "Wszystkie przebiegi udane." : "Nieudane: " + Failed) << Human;

    if (!Row.Json) {
        EXPECT_TRUE(Result.Out.find('{') == std::string::npos);
        return;
    }
    // One JSON object per run, each valid, and nothing else on stdout.
    const TLines Objects = SplitLines(Result.Out);
    ASSERT_EQ(Objects.size(), Ports.size()) << Result.Out;
    std::set<std::string> Seen;
    for (const std::string &Text : Objects) {
        const auto Object = ParseJsonObject(Text);
        ASSERT_TRUE(Object.has_value()) << Text;
        const std::string Port = Object->at("port").String;
        const size_t I = std::find(Ports.begin(), Ports.end(), Port) - Ports.begin();
        ASSERT_LT(I, Ports.size()) << Text;
        Seen.insert(Port);
        EXPECT_EQ(Object->at("mode").String, "compare");
        EXPECT_EQ(Object->at("result").String, ExpectedResult(Row.Devices[I])) << Text;
        const int Address = ExpectedAddress(Row.Devices[I]);
        if (Address < 0)
            EXPECT_EQ(Object->at("failed_address").Kind, TJsonValue::Null) << Text;
        else
            EXPECT_EQ(Object->at("failed_address").Integer, Address) << Text;
        EXPECT_EQ(Object->at("version").Kind, Answers(Row.Devices[I]) ? TJsonValue::Text : TJsonValue::Null);
        const char *Fast = !Row.Fast ? "off" : FallsBackAfter(Row.Devices[I]) == nullptr ? "on" : "fallback";
        EXPECT_EQ(Object->at("fast").String, Fast) << Text;
        EXPECT_EQ(Object->at("set_file").String, Bench.SetPath);
        EXPECT_EQ(Object->at("set_sha256").String.size(), 64u);
        EXPECT_EQ(Object->at("image_sha256").String.size(), 64u);
        EXPECT_GT(Object->at("duration_ms").Integer, 0);
    }
    EXPECT_EQ(Seen.size(), Ports.size());
}

INSTANTIATE_TEST_SUITE_P(Cli, BatchTest, ::testing::ValuesIn(BatchRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// On a terminal: status lines drawn in place and the summary, no prefixed log.
TEST(CliBatchTerminal, StatusLinesAndSummary)
{
    TBench Bench;
    const std::string Silent = Bench.Add(TDevice::Silent), Other = Bench.Add(TDevice::OtherSettings);
    const TOutput Result = RunOnTerminal(Bench.Command("compare", {Silent, Other}));
    EXPECT_EQ(Result.Status, 1) << Result.Out;
    EXPECT_NE(Result.Out.find("\x1b[2A"), std::string::npos) << "the status lines are drawn again in place";
    EXPECT_EQ(Result.Out.find(Silent + ": "), std::string::npos) << Result.Out;
    EXPECT_NE(Result.Out.find(LineNoReply), std::string::npos);
    EXPECT_NE(Result.Out.find(LineCompareFailed), std::string::npos);
    EXPECT_NE(Result.Out.find("Port"), std::string::npos);
    EXPECT_NE(Result.Out.find("Nieudane: " + Silent + ", " + Other), std::string::npos) << Result.Out;
}

// Ctrl-C: every run stops, the ports are let go, the summary says so.
TEST(CliBatchInterrupt, EveryRunStopsAndIsMarked)
{
    TBench Bench;
    Bench.Sims.push_back(std::make_unique<TSimProcess>(Bench.Folder.Path + "devA", TLines{"--delay", "20"}));
    Bench.Sims.push_back(std::make_unique<TSimProcess>(Bench.Folder.Path + "devB", TLines{"--delay", "20"}));
    std::vector<std::string> Args =
        Bench.Command("program", {Bench.Folder.Path + "devA", Bench.Folder.Path + "devB"}, {"--json"});
    std::vector<char *> Arguments = Argv(Args);
    const std::string OutName = Bench.Folder.Path + "out.txt", ErrName = Bench.Folder.Path + "err.txt";
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, OutName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t Pid = 0;
    ASSERT_EQ(posix_spawn(&Pid, Arguments[0], &Actions, nullptr, Arguments.data(), environ), 0);
    posix_spawn_file_actions_destroy(&Actions);
    // Well into the writing pass of both.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(Pid, SIGINT);
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    ASSERT_TRUE(WIFEXITED(Raw));
    EXPECT_EQ(WEXITSTATUS(Raw), 130);
    const TLines Objects = ReadLines(OutName);
    ASSERT_EQ(Objects.size(), 2u);
    for (const std::string &Text : Objects) {
        const auto Object = ParseJsonObject(Text);
        ASSERT_TRUE(Object.has_value()) << Text;
        EXPECT_EQ(Object->at("result").String, "interrupted");
    }
    const TLines Err = ReadLines(ErrName);
    ASSERT_FALSE(Err.empty());
    EXPECT_EQ(Err.back(), "Nieudane: " + Bench.Folder.Path + "devA, " + Bench.Folder.Path + "devB");
    // Both ports are let go: the exclusive lock a run holds can be taken again.
    for (const char *Name : {"devA", "devB"}) {
        const int Fd = open((Bench.Folder.Path + Name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(Fd, 0) << Name;
        EXPECT_EQ(flock(Fd, LOCK_EX | LOCK_NB), 0) << Name;
        close(Fd);
    }
}

// Refused before any run starts: nothing on stdout, exit 2, the device untouched.
TEST(CliBatchRefusal, SamePortTwiceAndTwoNamesOfOneDevice)
{
    TBench Bench;
    // The program beside its own Sys/, so that COM1 is the simulator's link there.
    const std::string Cli = Bench.Folder.Path + "trackwarden-cli";
    ASSERT_EQ(std::system(("cp '" + std::string(TW_BIN_DIR) + "/trackwarden-cli' '" + Cli + "'").c_str()), 0);
    // A writable Sets/ keeps the copy's files beside it instead of in the user's folder.
    ASSERT_EQ(mkdir((Bench.Folder.Path + "Sets").c_str(), 0755), 0);
    Bench.Sims.push_back(std::make_unique<TSimProcess>(Bench.Folder.Path + "Sys/COM1", TLines{}));
    ASSERT_TRUE(Bench.Sims.back()->Ready);
    char Target[256] = {};
    ASSERT_GT(readlink((Bench.Folder.Path + "Sys/COM1").c_str(), Target, sizeof Target - 1), 0);
    const std::string Link = Bench.Folder.Path + "Sys/COM1";
    const std::vector<std::vector<std::string>> Refused = {
        {"--port", Link, "--port", Link},
        {"--port", "COM1", "--port", "com1"},
        {"--port", "COM1", "--port", Target},
        {"--port", Link, "--port", Target},
        {"--port", Link, "--port", Bench.Folder.Path + "missing", "--log", Bench.Folder.Path}, // a folder as log
    };
    for (const auto &Ports : Refused) {
        std::vector<std::string> Args = {Cli, "compare", Bench.SetPath};
        Args.insert(Args.end(), Ports.begin(), Ports.end());
        const TOutput Result = RunOnTerminal(Args);
        EXPECT_EQ(Result.Status, 2) << Ports[3] << "\n" << Result.Out;
        EXPECT_EQ(Result.Out.find(LineOpenPort), std::string::npos) << Result.Out;
    }
}

// A single port with --json: the log moves to stderr, stdout is the one record.
TEST(CliSingleJson, LogOnStderrRecordOnStdout)
{
    TBench Bench;
    const std::string Silent = Bench.Add(TDevice::Silent);
    const std::string Log = Bench.Folder.Path + "audit.log";
    const TOutput Result = RunToFiles(Bench.Command("compare", {Silent}, {"--json", "--log", Log}), Bench.Folder.Path);
    EXPECT_EQ(Result.Status, 1);
    const TLines Out = SplitLines(Result.Out);
    ASSERT_EQ(Out.size(), 1u) << Result.Out;
    const auto Object = ParseJsonObject(Out[0]);
    ASSERT_TRUE(Object.has_value()) << Out[0];
    EXPECT_EQ(Object->at("result").String, "no-reply");
    EXPECT_EQ(Object->at("port").String, Silent);
    const std::string Expected = JoinLines(ExpectedLog(TDevice::Silent));
    EXPECT_NE(Result.Err.find(Expected), std::string::npos) << Result.Err;
    const TLines Audit = ReadLines(Log);
    ASSERT_EQ(Audit.size(), 1u);
    EXPECT_NE(Audit[0].find("\tcompare\tno-reply\t"), std::string::npos) << Audit[0];
}

// read on several ports: each device's set in a file of its own, named
// after its port, exactly the set a single read of it gives.
TEST(CliBatchRead, EachDeviceIntoAFileOfItsOwn)
{
    TBench Bench;
    const std::string Out = Bench.Folder.Path + "out/", Images = Bench.Folder.Path + "img";
    ASSERT_EQ(mkdir(Out.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Images.c_str(), 0755), 0);
    const std::vector<TDevice> Devices = {TDevice::Good, TDevice::Silent, TDevice::Good};
    std::vector<std::string> Ports;
    std::vector<std::string> Args = {std::string(TW_BIN_DIR) + "/trackwarden-cli", "read"};
    for (TDevice Device : Devices) {
        Ports.push_back(Bench.Add(Device));
        Args.insert(Args.end(), {"--port", Ports.back()});
    }
    Args.insert(Args.end(), {Out, "--image", Images, "--json", "--fast"});
    const TOutput Result = RunToFiles(Args, Bench.Folder.Path);
    EXPECT_EQ(Result.Status, 1) << Result.Err;
    const TLines Err = SplitLines(Result.Err);
    ASSERT_FALSE(Err.empty());
    EXPECT_EQ(Err.back(), "Nieudane: " + Ports[1]) << Result.Err;

    // The simulators hold the image of Bench's set, and a default base gives it back whole.
    const std::vector<uint8_t> Set = ReadBytes(Bench.SetPath), Image = ReadBytes(Bench.ImagePath);
    const TLines Objects = SplitLines(Result.Out);
    ASSERT_EQ(Objects.size(), Ports.size()) << Result.Out;
    for (size_t I = 0; I < Ports.size(); ++I) {
        const std::string Name = "dev" + std::to_string(I);
        const bool Good = Devices[I] == TDevice::Good;
        EXPECT_EQ(access((Out + Name + ".set").c_str(), F_OK) == 0, Good) << Name;
        const TLines Own = Prefixed(Err, Ports[I]);
        EXPECT_NE(std::find(Own.begin(), Own.end(), Good ? LineReadDone : LineNoReply), Own.end()) << Result.Err;
        if (Good) {
            EXPECT_EQ(ReadBytes(Out + Name + ".set"), Set) << Name;
            EXPECT_EQ(ReadBytes(Images + "/" + Name + ".img"), Image) << Name;
        }
        const auto Object = ParseJsonObject(Objects[I]);
        ASSERT_TRUE(Object.has_value()) << Objects[I];
        const size_t At = std::find(Ports.begin(), Ports.end(), Object->at("port").String) - Ports.begin();
        ASSERT_LT(At, Ports.size()) << Objects[I];
        EXPECT_EQ(Object->at("mode").String, "read");
        EXPECT_EQ(Object->at("set_file").String, Out + "dev" + std::to_string(At) + ".set");
        EXPECT_EQ(Object->at("result").String, Devices[At] == TDevice::Good ? "ok" : "no-reply") << Objects[I];
        EXPECT_EQ(Object->at("set_sha256").Kind, Devices[At] == TDevice::Good ? TJsonValue::Text : TJsonValue::Null);
    }
}

// Refused before any run starts: exit 2, no port opened, nothing written.
TEST(CliBatchRead, RefusedBeforeAnythingStarts)
{
    TBench Bench;
    const std::string Out = Bench.Folder.Path + "out";
    ASSERT_EQ(mkdir(Out.c_str(), 0755), 0);
    const std::string A = Bench.Add(TDevice::Good), B = Bench.Add(TDevice::Good);
    ASSERT_EQ(mkdir((Bench.Folder.Path + "other").c_str(), 0755), 0);
    const std::string OtherA = Bench.Folder.Path + "other/dev0"; // the same file name as A
    const std::string Base = Out + "/dev0.set";
    WriteBytes(Base, ReadBytes(Bench.SetPath).data(), sizeof Settings);
    const std::vector<std::vector<std::string>> Refused = {
        {"--port", A, "--port", B, Bench.SetPath},                                 // OUT a file
        {"--port", A, "--port", B, Out + "/missing"},                              // OUT missing
        {"--port", A, "--port", B, Out, "--image", Bench.ImagePath},               // IMG a file
        {"--port", A, "--port", OtherA, Out},                                      // one file name
        {"--port", A, "--port", A, Out},                                           // one port
        {"--port", A, "--port", B, Out, "--base", Base},                           // the base overwritten
        {"--port", A, "--port", B, Out, "--log", Bench.Folder.Path},               // a folder as log
    };
    for (const auto &Options : Refused) {
        const TOutput Result = RunToFiles(Join({"trackwarden-cli", "read"}, Options), Bench.Folder.Path);
        EXPECT_EQ(Result.Status, 2) << JoinLines(Options) << Result.Err;
        EXPECT_EQ(Result.Out, "") << JoinLines(Options);
        EXPECT_EQ(Result.Err.find(LineOpenPort), std::string::npos) << Result.Err;
        EXPECT_EQ(ReadBytes(Base), ReadBytes(Bench.SetPath));
        EXPECT_NE(access((Out + "/dev1.set").c_str(), F_OK), 0);
    }
}

// Eight processes at once, eight runs each, one log: every line whole and none lost.
TEST(CliAuditLog, EightProcessesAppendWholeLines)
{
    TBench Bench;
    const std::string Log = Bench.Folder.Path + "audit.log";
    WriteBytes(Log, "earlier line\n", 13);
    constexpr int Processes = 8, Runs = 8;
    std::vector<pid_t> Pids;
    std::vector<std::vector<std::string>> Args;
    for (int P = 0; P < Processes; ++P) {
        std::vector<std::string> Ports;
        for (int R = 0; R < Runs; ++R)
            Ports.push_back(Bench.Folder.Path + "no-such-port-" + std::to_string(P) + "-" + std::to_string(R));
        // A set of its own: a file being read by one process is refused to another.
        std::vector<std::string> Command = Bench.Command("program", Ports, {"--log", Log});
        Command[2] = Bench.Folder.Path + "set" + std::to_string(P);
        WriteBytes(Command[2], ReadBytes(Bench.SetPath).data(), sizeof Settings);
        Args.push_back(Command);
    }
    for (auto &A : Args) {
        std::vector<char *> Arguments = Argv(A);
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t Pid = 0;
        ASSERT_EQ(posix_spawn(&Pid, Arguments[0], &Actions, nullptr, Arguments.data(), environ), 0);
        posix_spawn_file_actions_destroy(&Actions);
        Pids.push_back(Pid);
    }
    for (pid_t Pid : Pids) {
        int Raw = 0;
        waitpid(Pid, &Raw, 0);
        EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 1);
    }
    const TLines Lines = ReadLines(Log);
    ASSERT_EQ(Lines.size(), 1u + Processes * Runs);
    EXPECT_EQ(Lines[0], "earlier line");
    std::set<std::string> Ports;
    for (size_t I = 1; I < Lines.size(); ++I) {
        const std::string &Line = Lines[I];
        EXPECT_EQ(std::count(Line.begin(), Line.end(), '\t'), 12) << Line;
        EXPECT_NE(Line.find("\tprogram\tport\t"), std::string::npos) << Line;
        const size_t Start = Line.find(Bench.Folder.Path + "no-such-port-");
        ASSERT_NE(Start, std::string::npos) << Line;
        Ports.insert(Line.substr(Start, Line.find('\t', Start) - Start));
    }
    EXPECT_EQ(Ports.size(), static_cast<size_t>(Processes * Runs));
}

} // namespace
