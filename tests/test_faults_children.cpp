// A production line's runs against hostile surroundings: the child mode
// entered by accident, a port name that tries to forge a record, more
// children than a fixed table holds, children that cannot start, a closed
// output, a parent killed, signals twice or to every process at once.
// Whatever happens, every port is given back as it was found: not held
// exclusively, its line settings as before the run.
#include "test_run_support.h"

#include "UChildProtocol.h"
#include "URunLines.h"
#include "USha256.h"
#include "test_cli_json.h"

#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TLines = std::vector<std::string>;

const std::string Cli = std::string(TW_BIN_DIR) + "/trackwarden-cli";

// A simulator's terminal, and its line settings before any run.
struct TPort {
    TPort(const std::string &Link, const std::vector<std::string> &Options)
        : Link(Link), Sim(std::make_unique<TSimProcess>(Link, Options))
    {
        char Target[256] = {};
        if (readlink(Link.c_str(), Target, sizeof Target - 1) > 0)
            Slave = Target;
        const int Fd = open(Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        tcgetattr(Fd, &Before);
        close(Fd);
    }
    // Empty when the port is as it was found; else what is not.
    std::string Held() const
    {
        const int Fd = open(Slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (Fd < 0)
            return "cannot open " + Slave;
        std::string Why;
        int Exclusive = 0;
        if (ioctl(Fd, TIOCGEXCL, &Exclusive) != 0 || Exclusive != 0)
            Why += " exclusive;";
        if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
            Why += " locked;";
        termios Now = {};
        tcgetattr(Fd, &Now);
        if (Now.c_iflag != Before.c_iflag || Now.c_oflag != Before.c_oflag || Now.c_cflag != Before.c_cflag ||
            Now.c_lflag != Before.c_lflag || cfgetospeed(&Now) != cfgetospeed(&Before))
            Why += " line settings changed;";
        close(Fd);
        return Why;
    }
    // Waits a little for the children that give it back.
    std::string GivenBack(std::chrono::milliseconds Within = 8000ms) const
    {
        const auto End = std::chrono::steady_clock::now() + Within;
        std::string Why;
        while (!(Why = Held()).empty() && std::chrono::steady_clock::now() < End)
            std::this_thread::sleep_for(50ms);
        return Why;
    }

    std::string Link, Slave;
    std::unique_ptr<TSimProcess> Sim;
    termios Before = {};
};

pid_t Spawn(std::vector<std::string> Args, const std::string &Out, const std::string &Err,
            const std::vector<std::string> &Environment = {}, const std::string &In = "/dev/null")
{
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    std::vector<std::string> Strings(Environment);
    for (char **E = environ; *E != nullptr; ++E)
        Strings.push_back(*E);
    std::vector<char *> Env;
    for (std::string &E : Strings)
        Env.push_back(E.data());
    Env.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, In.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 1, Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t Pid = 0;
    if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), Env.data()) != 0)
        Pid = 0;
    posix_spawn_file_actions_destroy(&Actions);
    return Pid;
}

// The exit status, -(signal) for a signal, or -1000 when it did not end in time (it is killed then).
int WaitExit(pid_t Pid, std::chrono::milliseconds Within)
{
    const auto End = std::chrono::steady_clock::now() + Within;
    int Raw = 0;
    while (waitpid(Pid, &Raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > End) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &Raw, 0);
            return -1000;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -WTERMSIG(Raw);
}

std::vector<pid_t> ChildrenOf(pid_t Pid)
{
    std::vector<pid_t> Out;
    const std::string Tasks = "/proc/" + std::to_string(Pid) + "/task";
    if (DIR *Dir = opendir(Tasks.c_str())) {
        while (dirent *Entry = readdir(Dir)) {
            std::ifstream In(Tasks + "/" + Entry->d_name + "/children");
            for (pid_t Child; In >> Child;)
                Out.push_back(Child);
        }
        closedir(Dir);
    }
    return Out;
}

// Gone, or a zombie nobody has reaped yet.
bool Ended(pid_t Pid)
{
    std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string Text((std::istreambuf_iterator<char>(Stat)), {});
    const size_t Close = Text.rfind(')');
    return Close == std::string::npos || Text.compare(Close + 2, 1, "Z") == 0;
}

bool WaitEnded(const std::vector<pid_t> &Pids, std::chrono::milliseconds Within)
{
    const auto End = std::chrono::steady_clock::now() + Within;
    for (pid_t Pid : Pids)
        while (!Ended(Pid))
            if (std::chrono::steady_clock::now() > End)
                return false;
            else
                std::this_thread::sleep_for(20ms);
    return true;
}

// Until Count lines of Path hold Text; false after Within.
bool WaitForLines(const std::string &Path, const std::string &Text, size_t Count, std::chrono::milliseconds Within)
{
    const auto End = std::chrono::steady_clock::now() + Within;
    for (;;) {
        const TLines Lines = ReadLines(Path);
        if (static_cast<size_t>(std::count_if(Lines.begin(), Lines.end(), [&](const std::string &L) {
                return L.find(Text) != std::string::npos;
            })) >= Count)
            return true;
        if (std::chrono::steady_clock::now() > End)
            return false;
        std::this_thread::sleep_for(50ms);
    }
}

std::vector<TJsonObject> JsonLines(const std::string &Path)
{
    std::vector<TJsonObject> Out;
    for (const std::string &Line : ReadLines(Path)) {
        const auto Object = ParseJsonObject(Line);
        EXPECT_TRUE(Object.has_value()) << Line;
        if (Object)
            Out.push_back(*Object);
    }
    return Out;
}

// A default set, and a folder to run in.
class TLine {
public:
    TLine()
    {
        SetDefaultSettings();
        WriteBytes(SetPath, &Settings, sizeof Settings);
    }
    std::string Path(const std::string &Name) const { return Folder.Path + Name; }
    std::vector<std::string> Command(const char *Mode, const std::vector<std::string> &Ports,
                                     const std::vector<std::string> &Extra = {}) const
    {
        std::vector<std::string> Args = {Cli, Mode, SetPath};
        for (const std::string &Port : Ports)
            Args.insert(Args.end(), {"--port", Port});
        Args.insert(Args.end(), Extra.begin(), Extra.end());
        return Args;
    }

    TProgramFolder Folder;
    const std::string SetPath = Folder.Path + "a.set";
};

// ---- 3: the child mode only for the station's own children ----

TEST(ChildMode, NotEnteredThroughTheEnvironment)
{
    TLine Line;
    SetDefaultSettings();
    Settings.RingOutAttempts = 9;
    WriteBytes(Line.Path("other.set"), &Settings, sizeof Settings);
    TPort Port(Line.Path("dev0"), {"--silent"});
    ASSERT_TRUE(Port.Sim->Ready);
    for (const char *Value : {"1", ""}) {
        const pid_t Pid = Spawn(Line.Command("compare", {Port.Link}, {"--log", Line.Path("audit.log")}),
                                Line.Path("out"), Line.Path("err"), {std::string("TRACKWARDEN_CLI_CHILD=") + Value},
                                Line.Path("other.set"));
        EXPECT_EQ(WaitExit(Pid, 20s), 1);
        EXPECT_EQ(ReadLines(Line.Path("out")),
                  (TLines{LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}));
    }
    // The set of the command line, not the bytes on stdin.
    const std::vector<uint8_t> Set = ReadBytes(Line.SetPath);
    const std::string Hash = Sha256Hex(Set.data(), Set.size());
    for (const std::string &Audit : ReadLines(Line.Path("audit.log")))
        EXPECT_NE(Audit.find("\t" + Hash + "\tcompare\tno-reply\t"), std::string::npos) << Audit;
    EXPECT_EQ(Port.GivenBack(), "");
}

// The hidden mode refuses to run on anything but a station's pipes and token.
TEST(ChildMode, RefusedWithoutTheStationsChannel)
{
    TLine Line;
    int Down[2], Up[2];
    ASSERT_EQ(pipe(Down), 0);
    ASSERT_EQ(pipe(Up), 0);
    TChildRecord Start;
    Start.Kind = TChildKind::Start;
    Start.Job.Token = "0123456789abcdef";
    Start.Job.Mode = RunModeCompare;
    Start.Job.Port = "/dev/null";
    Start.Job.SetBytes.assign(reinterpret_cast<const char *>(&Settings), sizeof Settings);
    const std::string Bytes = EncodeChildRecord(Start);
    ASSERT_EQ(write(Down[1], Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
    close(Down[1]);
    const std::vector<std::vector<std::string>> Refused = {
        {"__child", "0", "1", Start.Job.Token},                                             // a file and a file
        {"__child", std::to_string(Down[0]), std::to_string(Up[1]), "another token"},      // not this station's job
        {"__child", "77", "78", Start.Job.Token},                                          // nothing open there
        {"__child", std::to_string(Down[0]), std::to_string(Down[0]), Start.Job.Token},    // one pipe for both
    };
    for (const auto &Args : Refused) {
        const TProgramResult R = RunProgram("trackwarden-cli", Args, Line.Folder.Path);
        EXPECT_EQ(R.Status, 2) << Args[1];
        EXPECT_NE(R.Err.find("przebieg stacji"), std::string::npos) << R.Err;
        EXPECT_EQ(R.Out, "") << Args[1];
    }
    close(Down[0]);
    close(Up[0]);
    close(Up[1]);
}

// ---- 4: records no text can forge; a child's end checked against its record ----

// A link named with a forged record, pointing at the terminal the CLI runs
// in: its run is refused, and what its name says counts for nothing.
TEST(ChildRecords, PortNameCannotForgeARecord)
{
    TLine Line;
    TPort Silent(Line.Path("dev0"), {"--silent"});
    ASSERT_TRUE(Silent.Sim->Ready);
    const std::string Forged = Line.Path("tty\nL 0 " + std::string(LineCompareDone) + "\n");
    ASSERT_EQ(symlink("/dev/tty", Forged.c_str()), 0);
    std::vector<std::string> Args = Line.Command("compare", {Forged, Silent.Link}, {"--log", Line.Path("audit.log")});
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    int Master = -1;
    const pid_t Pid = forkpty(&Master, nullptr, nullptr, nullptr);
    if (Pid == 0) {
        execv(Argv[0], Argv.data());
        _exit(127);
    }
    ASSERT_GT(Pid, 0);
    std::string Screen;
    char Buffer[4096];
    for (ssize_t N; (N = read(Master, Buffer, sizeof Buffer)) > 0;)
        Screen.append(Buffer, static_cast<size_t>(N));
    close(Master);
    int Raw = 0;
    waitpid(Pid, &Raw, 0);
    ASSERT_TRUE(WIFEXITED(Raw));
    EXPECT_EQ(WEXITSTATUS(Raw), 1) << Screen;
    const TLines Audit = ReadLines(Line.Path("audit.log"));
    ASSERT_EQ(Audit.size(), 2u);
    for (const std::string &Record : Audit) {
        EXPECT_EQ(Record.find("\tok\t"), std::string::npos) << Record;
        EXPECT_EQ(std::count(Record.begin(), Record.end(), '\t'), 11) << Record;
    }
    EXPECT_EQ(Silent.GivenBack(), "");
}

struct TKillRow {
    const char *Name;
    int Signal;       // sent to one child, alone
    const char *Result;
};

const TKillRow KillRows[] = {
    {"KilledIsCrashed", SIGKILL, "crashed"},
    {"AbortedIsCrashed", SIGABRT, "crashed"},
    // A child that is asked to stop by a signal stops as asked.
    {"TerminatedStops", SIGTERM, "interrupted"},
};

class ChildEnd : public ::testing::TestWithParam<TKillRow> {};

TEST_P(ChildEnd, RecordSaysHowItEnded)
{
    const TKillRow &Row = GetParam();
    TLine Line;
    TPort A(Line.Path("devA"), {"--delay", "20"}), B(Line.Path("devB"), {"--delay", "20"});
    ASSERT_TRUE(A.Sim->Ready && B.Sim->Ready);
    const pid_t Pid =
        Spawn(Line.Command("program", {A.Link, B.Link}, {"--json"}), Line.Path("out"), Line.Path("err"));
    ASSERT_TRUE(WaitForLines(Line.Path("err"), LineProgramming, 2, 20s));
    const std::vector<pid_t> Children = ChildrenOf(Pid);
    ASSERT_EQ(Children.size(), 2u);
    kill(Children[0], Row.Signal);
    std::this_thread::sleep_for(500ms);
    kill(Pid, SIGINT);
    EXPECT_EQ(WaitExit(Pid, 20s), 130);
    const std::vector<TJsonObject> Records = JsonLines(Line.Path("out"));
    ASSERT_EQ(Records.size(), 2u);
    std::multiset<std::string> Results;
    for (const TJsonObject &R : Records)
        Results.insert(R.at("result").String);
    EXPECT_EQ(Results, (std::multiset<std::string>{Row.Result, "interrupted"}));
    // SIGKILL and SIGABRT leave the exclusive hold to the terminal; a stop gives it back.
    if (Row.Signal == SIGTERM) {
        EXPECT_EQ(A.GivenBack(), "");
        EXPECT_EQ(B.GivenBack(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Children, ChildEnd, ::testing::ValuesIn(KillRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// ---- 5: every child stopped, however many ----

// Terminals that answer as a device holding zeros: a read of each takes as
// long as a real one, about 14 s.
class TAnsweringTerminals {
public:
    explicit TAnsweringTerminals(size_t Count)
    {
        for (size_t I = 0; I < Count; ++I) {
            const int Master = open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
            if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
                break;
            Masters.push_back(Master);
            Slaves.push_back(ptsname(Master));
            // Held open, so that the master does not hang up before a run opens its side.
            Held.push_back(open(Slaves.back().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        }
        Answerer = std::thread([this] { Answer(); });
    }
    ~TAnsweringTerminals()
    {
        Done = true;
        Answerer.join();
        for (int Fd : Masters)
            close(Fd);
        for (int Fd : Held)
            close(Fd);
    }
    std::vector<std::string> Slaves;

private:
    void Answer()
    {
        std::vector<pollfd> Polls;
        for (int Fd : Masters)
            Polls.push_back({Fd, POLLIN, 0});
        std::vector<std::string> Heard(Masters.size());
        while (!Done) {
            if (poll(Polls.data(), Polls.size(), 50) <= 0)
                continue;
            for (size_t I = 0; I < Polls.size(); ++I) {
                char Buffer[256];
                const ssize_t N = (Polls[I].revents & POLLIN) ? read(Masters[I], Buffer, sizeof Buffer) : 0;
                if (N <= 0)
                    continue;
                Heard[I].append(Buffer, static_cast<size_t>(N));
                const std::string Reply = ReplyTo(Heard[I]);
                if (!Reply.empty() && write(Masters[I], Reply.data(), Reply.size()) < 0) {
                }
            }
        }
    }
    // The version 1.2.3, or a block of zeros; the wake-up's bytes are neither.
    static std::string ReplyTo(std::string &Heard)
    {
        std::string Content;
        if (Heard.find("\x01\xFF") != std::string::npos) {
            Content = {1, 2, 3};
        } else if (const size_t At = Heard.find('\x02'); At != std::string::npos && Heard.size() >= At + 5) {
            Content = Heard.substr(At, 3) + std::string(32, '\0');
        } else {
            return {};
        }
        Heard.clear();
        uint8_t Sum = 0;
        for (const char C : Content)
            Sum = static_cast<uint8_t>(Sum + static_cast<uint8_t>(C));
        return Content + static_cast<char>(-Sum);
    }
    std::vector<int> Masters, Held;
    std::atomic<bool> Done{false};
    std::thread Answerer;
};

// A sanitized program takes tens of megabytes more a process: fewer children there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t ManyPorts = 24;
#else
constexpr size_t ManyPorts = 260; // beyond any table of 256
#endif

TEST(ManyChildren, EveryOneStopped)
{
    constexpr size_t Count = ManyPorts;
    TLine Line;
    TAnsweringTerminals Terminals(Count);
    ASSERT_EQ(Terminals.Slaves.size(), Count);
    ASSERT_EQ(mkdir(Line.Path("sets").c_str(), 0755), 0);
    std::vector<std::string> Args = {Cli, "read", Line.Path("sets"), "--log", Line.Path("audit.log")};
    for (const std::string &Port : Terminals.Slaves)
        Args.insert(Args.end(), {"--port", Port});
    const pid_t Pid = Spawn(Args, Line.Path("out"), Line.Path("err"));
    ASSERT_TRUE(WaitForLines(Line.Path("out"), LineReading, Count, 120s)) << "not every run reached its read pass";
    kill(Pid, SIGINT);
    EXPECT_EQ(WaitExit(Pid, 30s), 130);
    const TLines Audit = ReadLines(Line.Path("audit.log"));
    EXPECT_EQ(Audit.size(), Count);
    for (const std::string &Record : Audit)
        EXPECT_NE(Record.find("\tread\tinterrupted\t"), std::string::npos) << Record;
}

// ---- 6: children that could not start have their records ----

TEST(ManyChildren, ThoseThatCouldNotStartAreRecorded)
{
    TLine Line;
    std::vector<std::string> Ports;
    for (int I = 0; I < 8; ++I)
        Ports.push_back(Line.Path("no-such-port-" + std::to_string(I)));
    std::string Command = "ulimit -n 10; exec";
    for (const std::string &Arg : Line.Command("compare", Ports, {"--json", "--log", Line.Path("audit.log")}))
        Command += " '" + Arg + "'";
    const pid_t Pid = Spawn({"/bin/sh", "-c", Command}, Line.Path("out"), Line.Path("err"));
    EXPECT_EQ(WaitExit(Pid, 30s), 1);
    const std::vector<TJsonObject> Records = JsonLines(Line.Path("out"));
    EXPECT_EQ(Records.size(), Ports.size());
    EXPECT_EQ(ReadLines(Line.Path("audit.log")).size(), Ports.size());
    size_t NotStarted = 0;
    for (const TJsonObject &R : Records) {
        if (R.at("result").String != "start") {
            EXPECT_EQ(R.at("result").String, "port");
            continue;
        }
        ++NotStarted;
        EXPECT_NE(R.at("error").String.find("Too many open files"), std::string::npos) << R.at("error").String;
    }
    EXPECT_GT(NotStarted, 0u);
}

// ---- 7: a closed output loses the output, not the run ----

TEST(ClosedOutput, RunGoesOnAndSaysSo)
{
    for (const bool Many : {false, true}) {
        TLine Line;
        TPort A(Line.Path("devA"), {"--silent"}), B(Line.Path("devB"), {"--silent"});
        ASSERT_TRUE(A.Sim->Ready && B.Sim->Ready);
        int Out[2];
        ASSERT_EQ(pipe(Out), 0);
        std::vector<std::string> Args =
            Line.Command("compare", Many ? TLines{A.Link, B.Link} : TLines{A.Link}, {"--log", Line.Path("audit.log")});
        std::vector<char *> Argv;
        for (std::string &Arg : Args)
            Argv.push_back(Arg.data());
        Argv.push_back(nullptr);
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
        posix_spawn_file_actions_addclose(&Actions, Out[0]);
        posix_spawn_file_actions_addopen(&Actions, 2, Line.Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t Pid = 0;
        ASSERT_EQ(posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&Actions);
        close(Out[1]);
        // The first line, then the reader goes away, as `| head -1` does.
        char Byte = 0;
        while (read(Out[0], &Byte, 1) == 1 && Byte != '\n') {
        }
        close(Out[0]);
        EXPECT_EQ(WaitExit(Pid, 30s), 2) << (Many ? "many ports" : "one port");
        const TLines Audit = ReadLines(Line.Path("audit.log"));
        EXPECT_EQ(Audit.size(), Many ? 2u : 1u);
        for (const std::string &Record : Audit)
            EXPECT_NE(Record.find("\tcompare\tno-reply\t"), std::string::npos) << "the run went on to its end";
        EXPECT_EQ(A.GivenBack(), "");
        EXPECT_EQ(B.GivenBack(), "");
    }
}

// ---- 8, 9: whatever the signals, the ports are given back ----

enum class TSend { TermTwice, TermToEveryone, HangUp, InterruptTwice, KillParent };

struct TSignalRow {
    const char *Name;
    TSend Send;
    int Status; // of the parent; -(signal) when a signal ends it
    bool Records; // the parent lived to write them
};

const TSignalRow SignalRows[] = {
    // timeout(1) sends its SIGTERM to the child and to the whole group again.
    {"TermTwice", TSend::TermTwice, 143, true},
    // A service manager ends every process of the unit at once.
    {"TermToEveryone", TSend::TermToEveryone, 143, true},
    {"HangUp", TSend::HangUp, 129, true},
    // The second Ctrl-C ends the parent at once; its children stop on their own.
    {"InterruptTwice", TSend::InterruptTwice, -SIGINT, false},
    {"KillParent", TSend::KillParent, -SIGKILL, false},
};

class ManySignals : public ::testing::TestWithParam<TSignalRow> {};

TEST_P(ManySignals, PortsGivenBack)
{
    const TSignalRow &Row = GetParam();
    TLine Line;
    TPort A(Line.Path("devA"), {"--delay", "20"}), B(Line.Path("devB"), {"--delay", "20"});
    ASSERT_TRUE(A.Sim->Ready && B.Sim->Ready);
    const pid_t Pid = Spawn(Line.Command("program", {A.Link, B.Link}, {"--log", Line.Path("audit.log")}),
                            Line.Path("out"), Line.Path("err"));
    ASSERT_TRUE(WaitForLines(Line.Path("out"), LineProgramming, 2, 20s));
    const std::vector<pid_t> Children = ChildrenOf(Pid);
    ASSERT_EQ(Children.size(), 2u);
    switch (Row.Send) {
    case TSend::TermTwice:
        kill(Pid, SIGTERM);
        kill(Pid, SIGTERM);
        break;
    case TSend::TermToEveryone:
        kill(Pid, SIGTERM);
        for (pid_t Child : Children)
            kill(Child, SIGTERM);
        break;
    case TSend::HangUp: kill(Pid, SIGHUP); break;
    case TSend::InterruptTwice:
        kill(Pid, SIGINT);
        std::this_thread::sleep_for(20ms);
        kill(Pid, SIGINT);
        break;
    case TSend::KillParent: kill(Pid, SIGKILL); break;
    }
    EXPECT_EQ(WaitExit(Pid, 20s), Row.Status);
    EXPECT_TRUE(WaitEnded(Children, 10s)) << "a child lives on without its parent";
    EXPECT_EQ(A.GivenBack(), "");
    EXPECT_EQ(B.GivenBack(), "");
    const TLines Audit = ReadLines(Line.Path("audit.log"));
    EXPECT_EQ(Audit.size(), Row.Records ? 2u : 0u);
    for (const std::string &Record : Audit)
        EXPECT_NE(Record.find("\tprogram\tinterrupted\t"), std::string::npos) << Record;
}

INSTANTIATE_TEST_SUITE_P(Children, ManySignals, ::testing::ValuesIn(SignalRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
