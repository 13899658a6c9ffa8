// Hostile combinations around a run, through trackwarden-cli against
// trackwarden-sim: a signal in each phase of a run (the port must be given
// back whole, so that another user's run succeeds next), the user's own
// terminal as the port, a program folder longer than 255 bytes, and a run
// whose log cannot be written.
#include "test_run_support.h"

#include "URunLines.h"

#include <algorithm>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace {

using TLines = std::vector<std::string>;

const std::string Version = std::string(LineVersion) + "\"1.2.3\".";
const std::string Cli = std::string(TW_BIN_DIR) + "/trackwarden-cli";

std::vector<char *> ArgvOf(std::vector<std::string> &Args)
{
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    return Argv;
}

// Reads everything a descriptor gives until its end, on a thread of its own.
class TDrain {
public:
    explicit TDrain(int Fd) : Thread([this, Fd] {
        char Buffer[4096];
        for (;;) {
            const ssize_t N = read(Fd, Buffer, sizeof Buffer);
            if (N > 0)
                Text.append(Buffer, static_cast<size_t>(N));
            else if (N == 0 || errno != EINTR)
                break;
        }
        close(Fd);
    })
    {
    }
    std::string Finish()
    {
        if (Thread.joinable())
            Thread.join();
        return Text;
    }
    ~TDrain() { Finish(); }

private:
    std::string Text;
    std::thread Thread;
};

// A CLI run whose log is read line by line as it comes, so that a signal can
// be sent in a chosen phase.
class TLiveRun {
public:
    // StdErr: the descriptor the program's stderr goes to (the caller keeps it).
    TLiveRun(std::vector<std::string> Args, int StdErr)
    {
        Args.insert(Args.begin(), Cli);
        std::vector<char *> Argv = ArgvOf(Args);
        int Out[2];
        if (pipe(Out) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
        posix_spawn_file_actions_adddup2(&Actions, StdErr, 2);
        posix_spawn_file_actions_addclose(&Actions, Out[0]);
        if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0)
            Pid = 0;
        posix_spawn_file_actions_destroy(&Actions);
        close(Out[1]);
        OutFd = Out[0];
    }
    ~TLiveRun()
    {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        if (OutFd >= 0)
            close(OutFd);
    }

    // Reads the log up to and including Line; false at its end or after TimeOutMs.
    bool WaitForLine(const std::string &Line, int TimeOutMs)
    {
        const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeOutMs);
        for (;;) {
            size_t Break;
            while ((Break = Pending.find('\n')) != std::string::npos) {
                Lines.push_back(Pending.substr(0, Break));
                Pending.erase(0, Break + 1);
                if (Lines.back() == Line)
                    return true;
            }
            const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(End - std::chrono::steady_clock::now());
            pollfd In{OutFd, POLLIN, 0};
            if (Left.count() <= 0 || poll(&In, 1, static_cast<int>(Left.count())) <= 0)
                return false;
            char Buffer[1024];
            const ssize_t N = read(OutFd, Buffer, sizeof Buffer);
            if (N <= 0)
                return false;
            Pending.append(Buffer, static_cast<size_t>(N));
        }
    }

    void Signal(int Number) { kill(Pid, Number); }

    // The rest of the log and the exit status; -(signal) when a signal ended it.
    int Finish()
    {
        WaitForLine("\x01never", 120000);
        int Raw = 0;
        waitpid(Pid, &Raw, 0);
        Pid = 0;
        return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : WIFSIGNALED(Raw) ? -WTERMSIG(Raw) : -1000;
    }

    pid_t Pid = 0;
    TLines Lines;

private:
    int OutFd = -1;
    std::string Pending;
};

// True once the process sleeps in a write to its stderr (a full pipe).
bool BlockedWritingStderr(pid_t Pid, int TimeOutMs)
{
    for (int Waited = 0; Waited < TimeOutMs; Waited += 10) {
        std::ifstream Call("/proc/" + std::to_string(Pid) + "/syscall");
        std::string Number, Fd;
        if (Call >> Number >> Fd && Number == "1" && Fd == "0x2")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int SimRequests(const std::string &LogPath, const std::string &Prefix)
{
    int Count = 0;
    for (const std::string &Line : ReadLines(LogPath))
        Count += Line.rfind("> " + Prefix, 0) == 0;
    return Count;
}

const char *const AsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";

// A set, its image as the device's memory, a simulator on Sys/COM1 that
// another user may reach as well.
class TInterruptFixture {
public:
    TInterruptFixture(std::vector<std::string> SimOptions)
    {
        chmod(Folder.Path.c_str(), 0755);
        SetDefaultSettings();
        EncodeDeviceImage();
        Image.assign(DeviceImage, DeviceImage + DeviceImageSize);
        WriteBytes(SetPath, &Settings, SettingsSize);
        WriteBytes(Folder.Path + "memory.bin", Image.data(), Image.size());
        SimOptions.insert(SimOptions.end(),
                          {"--memory", Folder.Path + "memory.bin", "--log", SimLog, "--save", SavedPath});
        Sim = std::make_unique<TSimProcess>(Link, SimOptions);
        char Target[256] = {};
        if (readlink(Link.c_str(), Target, sizeof Target - 1) > 0)
            chmod(Target, 0666);
    }

    // A comparison run by another user: it needs the port neither exclusive nor locked. Fast:
    // it shows the port free and the device in its place, not the timing.
    int RunAsAnotherUser(std::string &Out)
    {
        const std::string Command = std::string(AsNobody) + " '" + Cli + "' compare '" + SetPath + "' --fast --port '" +
                                    Link + "' >'" + Folder.Path + "nobody.out' 2>&1";
        const int Raw = std::system(Command.c_str());
        std::ifstream In(Folder.Path + "nobody.out");
        Out.assign(std::istreambuf_iterator<char>(In), {});
        return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    }

    TProgramFolder Folder;
    const std::string SetPath = Folder.Path + "a.set";
    const std::string Link = Folder.Path + "Sys/COM1";
    const std::string SimLog = Folder.Path + "sim.log";
    const std::string SavedPath = Folder.Path + "saved.bin";
    std::vector<uint8_t> Image;
    std::unique_ptr<TSimProcess> Sim;
};

enum class TTrigger { StderrBlocked, Line, FirstVersionRequest };

struct TInterruptRow {
    const char *Name;
    const char *Command;
    std::vector<std::string> SimOptions;
    TTrigger Trigger;
    const char *Line; // the log line after which the signal goes (TTrigger::Line)
    int DelayMs;
    int Signal;
    TLines Log;
    int Status;
    bool Fast = false; // the run's timing is not what the row is about
};

TLines Then(TLines Head, const TLines &Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

const TLines Connecting = {LineOpenPort, LinePortOpen, LineConnecting};
const TLines Stopped = {"", LineStopped};

const TInterruptRow InterruptRows[] = {
    {"Opening", "compare", {}, TTrigger::StderrBlocked, nullptr, 0, SIGINT, {LineOpenPort, "", LineStopped}, 130},
    {"WakeUp", "program", {}, TTrigger::Line, LineConnecting, 0, SIGTERM, Then(Connecting, Stopped), 143},
    {"Version", "compare", {"--ignore", "8"}, TTrigger::FirstVersionRequest, nullptr, 0, SIGINT,
     Then(Connecting, Stopped), 130},
    {"WritePass", "program", {}, TTrigger::Line, LineProgramming, 300, SIGINT,
     Then(Connecting, Then({Version, LineProgramming}, Stopped)), 130},
    {"ReadPass", "compare", {}, TTrigger::Line, LineVerifying, 300, SIGTERM,
     Then(Connecting, Then({Version, LineVerifying}, Stopped)), 143},
    {"Reset", "compare", {}, TTrigger::Line, LineReset, 0, SIGINT,
     Then(Connecting, Then({Version, LineVerifying, LineReset}, Stopped)), 130, true},
    // A closed terminal stops the run as SIGTERM does.
    {"HangUp", "compare", {}, TTrigger::Line, LineVerifying, 300, SIGHUP,
     Then(Connecting, Then({Version, LineVerifying}, Stopped)), 129},
};

void PrintTo(const TInterruptRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

class InterruptTest : public ::testing::TestWithParam<TInterruptRow> {};

TEST_P(InterruptTest, StopsBetweenFramesAndGivesThePortBack)
{
    const TInterruptRow &Row = GetParam();
    TInterruptFixture F(Row.SimOptions);
    ASSERT_TRUE(F.Sim->Ready);

    int Err[2];
    ASSERT_EQ(pipe(Err), 0);
    if (Row.Trigger == TTrigger::StderrBlocked) {
        // A full stderr holds the program in its first line, before the port is opened.
        fcntl(Err[1], F_SETFL, O_NONBLOCK);
        const std::string Filler(4096, 'x');
        while (write(Err[1], Filler.data(), Filler.size()) > 0) {
        }
        fcntl(Err[1], F_SETFL, 0);
    }
    std::vector<std::string> Args = {Row.Command, F.SetPath, "--port", F.Link};
    if (Row.Fast)
        Args.push_back("--fast");
    TLiveRun Run(Args, Err[1]);
    close(Err[1]);
    ASSERT_GT(Run.Pid, 0);
    std::unique_ptr<TDrain> ErrText;
    switch (Row.Trigger) {
    case TTrigger::StderrBlocked:
        ASSERT_TRUE(BlockedWritingStderr(Run.Pid, 20000));
        break;
    case TTrigger::Line:
        ErrText = std::make_unique<TDrain>(Err[0]);
        ASSERT_TRUE(Run.WaitForLine(Row.Line, 60000)) << JoinLines(Run.Lines);
        break;
    case TTrigger::FirstVersionRequest:
        ErrText = std::make_unique<TDrain>(Err[0]);
        for (int Waited = 0; SimRequests(F.SimLog, "01 FF") == 0 && Waited < 20000; Waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Row.DelayMs));
    Run.Signal(Row.Signal);
    if (!ErrText)
        ErrText = std::make_unique<TDrain>(Err[0]);
    const int Status = Run.Finish();
    ErrText->Finish();

    EXPECT_EQ(Status, Row.Status);
    EXPECT_EQ(JoinLines(Run.Lines), JoinLines(Row.Log));
    if (std::string(Row.Name) == "Version") {
        const int Asked = SimRequests(F.SimLog, "01 FF");
        EXPECT_GE(Asked, 1);
        EXPECT_LT(Asked, 9) << "the stop came after the version exchange";
        // The device would ignore the next run's first tries too, and a fast run falls back
        // after one: spend the requests it ignores.
        char Slave[256] = {};
        ASSERT_GT(readlink(F.Link.c_str(), Slave, sizeof Slave - 1), 0);
        const int Port = open(Slave, O_RDWR | O_NOCTTY);
        ASSERT_GE(Port, 0);
        for (int I = Asked; I < 8; ++I)
            ASSERT_EQ(write(Port, "\x01\xFF", 2), 2);
        for (int Waited = 0; SimRequests(F.SimLog, "01 FF") < 8 && Waited < 5000; Waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        close(Port);
        ASSERT_EQ(SimRequests(F.SimLog, "01 FF"), 8);
    }
    if (std::string(Row.Name) == "Reset") {
        EXPECT_LT(SimRequests(F.SimLog, "04 FC"), 5);
    }

    std::string Out;
    const int Next = F.RunAsAnotherUser(Out);
    if (Next == 127) {
        GTEST_SKIP() << "setpriv cannot run here";
    }
    EXPECT_EQ(Next, 0) << Out;

    // Every frame the device took was whole: its memory is still the image.
    EXPECT_EQ(F.Sim->Stop(), 0);
    EXPECT_EQ(ReadBytes(F.SavedPath), F.Image);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, ::testing::ValuesIn(InterruptRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// A second Ctrl-C does not wait for the next safe point, which a flood
// answering the version request holds off for seconds; the port is given
// back on the way out all the same.
TEST(InterruptTest, SecondInterruptEndsAtOnce)
{
    TInterruptFixture F({"--flood", "8000"});
    ASSERT_TRUE(F.Sim->Ready);
    char Slave[256] = {};
    ASSERT_GT(readlink(F.Link.c_str(), Slave, sizeof Slave - 1), 0);
    termios Before = {};
    const int Probe = open(Slave, O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(tcgetattr(Probe, &Before), 0);
    close(Probe);
    const int Null = open("/dev/null", O_WRONLY);
    TLiveRun Run({"compare", F.SetPath, "--port", F.Link}, Null);
    close(Null);
    // The wake-up takes half a second; the flood answers the version request after it.
    ASSERT_TRUE(Run.WaitForLine(LineConnecting, 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto Start = std::chrono::steady_clock::now();
    Run.Signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Run.Signal(SIGINT);
    EXPECT_EQ(Run.Finish(), -SIGINT);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(4));
    EXPECT_EQ(std::find(Run.Lines.begin(), Run.Lines.end(), LineStopped), Run.Lines.end());
    const int Fd = open(Slave, O_RDWR | O_NOCTTY | O_NONBLOCK);
    int Exclusive = -1;
    termios After = {};
    EXPECT_EQ(ioctl(Fd, TIOCGEXCL, &Exclusive), 0);
    EXPECT_EQ(Exclusive, 0) << "the port is still held exclusively";
    ASSERT_EQ(tcgetattr(Fd, &After), 0);
    close(Fd);
    EXPECT_EQ(After.c_lflag, Before.c_lflag);
    EXPECT_EQ(After.c_iflag, Before.c_iflag);
    EXPECT_EQ(After.c_oflag, Before.c_oflag);
    EXPECT_EQ(After.c_cflag, Before.c_cflag);
}

// The CLI in a session of its own whose controlling terminal is a fresh
// pseudo-terminal, with its standard streams on it as in a shell.
struct TTerminalSession {
    TTerminalSession()
    {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            throw std::runtime_error("posix_openpt failed");
        SlaveName = ptsname(Master);
        const int Slave = open(SlaveName.c_str(), O_RDWR | O_NOCTTY);
        termios Tio;
        tcgetattr(Slave, &Tio);
        cfsetispeed(&Tio, B9600);
        cfsetospeed(&Tio, B9600);
        Tio.c_lflag |= ICANON | ECHO | ISIG;
        Tio.c_oflag |= OPOST;
        tcsetattr(Slave, TCSANOW, &Tio);
        tcgetattr(Slave, &Before);
        close(Slave);
    }
    ~TTerminalSession() { close(Master); }

    int Run(std::vector<std::string> Args)
    {
        Args.insert(Args.begin(), Cli);
        std::vector<char *> Argv = ArgvOf(Args);
        const pid_t Child = fork();
        if (Child == 0) {
            setsid();
            const int Tty = open(SlaveName.c_str(), O_RDWR);
            if (Tty < 0 || ioctl(Tty, TIOCSCTTY, 0) != 0)
                _exit(120);
            dup2(Tty, 0);
            dup2(Tty, 1);
            dup2(Tty, 2);
            execv(Argv[0], Argv.data());
            _exit(121);
        }
        // The screen is read while the program runs, so that it never waits on a full terminal.
        int Raw = 0;
        for (;;) {
            pollfd In{Master, POLLIN, 0};
            if (poll(&In, 1, 20) > 0) {
                char Buffer[1024];
                const ssize_t N = read(Master, Buffer, sizeof Buffer);
                if (N > 0)
                    Screen.append(Buffer, static_cast<size_t>(N));
            }
            if (waitpid(Child, &Raw, WNOHANG) == Child)
                break;
        }
        return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    }

    int Master = -1;
    std::string SlaveName;
    termios Before = {};
    std::string Screen;
};

TEST(TerminalAsPort, RefusedByAnyName)
{
    TProgramFolder Folder;
    SetDefaultSettings();
    const std::string SetPath = Folder.Path + "a.set";
    WriteBytes(SetPath, &Settings, SettingsSize);
    for (const std::string &Name : {std::string("/dev/tty"), std::string("SLAVE")}) {
        TTerminalSession Session;
        const std::string Port = Name == "SLAVE" ? Session.SlaveName : Name;
        EXPECT_EQ(Session.Run({"compare", SetPath, "--port", Port}), 2) << Port << Session.Screen;
        EXPECT_NE(Session.Screen.find("to terminal"), std::string::npos) << Session.Screen;
        // No wake-up bytes on the screen, and the line settings as they were.
        EXPECT_EQ(Session.Screen.find("\\i\\i"), std::string::npos) << Port;
        EXPECT_EQ(Session.Screen.find(LinePortOpen), std::string::npos) << Port;
        const int Slave = open(Session.SlaveName.c_str(), O_RDWR | O_NOCTTY);
        termios After;
        ASSERT_EQ(tcgetattr(Slave, &After), 0);
        close(Slave);
        EXPECT_EQ(cfgetospeed(&After), cfgetospeed(&Session.Before)) << Port;
        EXPECT_EQ(After.c_lflag, Session.Before.c_lflag) << Port;
        EXPECT_EQ(After.c_oflag, Session.Before.c_oflag) << Port;
    }
}

// Sys/COM1 is looked up in the program's own folder however long its name,
// not in a parent folder that a cut name happens to end in.
TEST(LongProgramFolder, FindsItsOwnPortLink)
{
    TProgramFolder Scratch;
    std::string Deep = Scratch.Path;
    while (Deep.size() <= 300)
        Deep += std::string(60, 'd') + "/";
    std::filesystem::create_directories(Deep + "Sys");
    std::filesystem::create_directories(Deep + "Sets"); // a program folder of its own, not the user's
    std::filesystem::copy_file(Cli, Deep + "trackwarden-cli");
    chmod((Deep + "trackwarden-cli").c_str(), 0755);
    SetDefaultSettings();
    WriteBytes(Scratch.Path + "a.set", &Settings, SettingsSize);
    TSimProcess Sim(Deep + "Sys/COM1", {});
    ASSERT_TRUE(Sim.Ready);

    const std::string Command = "'" + Deep + "trackwarden-cli' compare '" + Scratch.Path + "a.set' --port COM1 >'" +
                                Scratch.Path + "out.txt' 2>/dev/null";
    const int Raw = std::system(Command.c_str());
    const TLines Lines = ReadLines(Scratch.Path + "out.txt");
    EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 1);
    // An empty device: the comparison fails, but only after the right device answered.
    EXPECT_NE(std::find(Lines.begin(), Lines.end(), Version), Lines.end()) << JoinLines(Lines);
    EXPECT_EQ(std::find(Lines.begin(), Lines.end(), LinePortFailed), Lines.end());
}

// A log that cannot be written is no success, even when the run ended well
// or as a plain negative result.
TEST(LostOutput, RunLogIntoAFullDisk)
{
    TProgramFolder Folder;
    SetDefaultSettings();
    WriteBytes(Folder.Path + "a.set", &Settings, SettingsSize);
    TSimProcess Sim(Folder.Path + "Sys/COM1", {"--silent"});
    ASSERT_TRUE(Sim.Ready);
    const std::string Command = "'" + Cli + "' compare '" + Folder.Path + "a.set' --port '" + Folder.Path +
                                "Sys/COM1' >/dev/full 2>'" + Folder.Path + "err.txt'";
    const int Raw = std::system(Command.c_str());
    EXPECT_TRUE(WIFEXITED(Raw) && WEXITSTATUS(Raw) == 2) << Raw;
    const TLines Err = ReadLines(Folder.Path + "err.txt");
    EXPECT_NE(std::find(Err.begin(), Err.end(), "trackwarden-cli: błąd zapisu na standardowe wyjście"), Err.end());
}

} // namespace
