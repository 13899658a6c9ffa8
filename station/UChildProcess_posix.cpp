#include "UChildEnds.h"
#include "UChildProcess.h"
#include "UPosixFiles.h"

#include "UFiles.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char **environ;

namespace {

// Where the child finds its ends of the channel.
constexpr int ChildDown = 3, ChildUp = 4;

std::string Why(const char *Call)
{
    return std::string(Call) + ": " + std::strerror(errno);
}

void CloseFd(int &Fd)
{
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
}

size_t ReadSome(int Fd, char *Buffer, size_t Size)
{
    for (;;) {
        const ssize_t N = read(Fd, Buffer, Size);
        if (N >= 0)
            return static_cast<size_t>(N);
        if (errno != EINTR)
            return 0;
    }
}

class TProcessChild : public TRunChild {
public:
    ~TProcessChild() override
    {
        CloseFd(Down);
        CloseFd(Up);
        CloseFd(Text);
        if (Pid > 0) {
            Kill();
            Wait();
        }
    }
    bool Send(const std::string &Bytes) override { return WriteAll(Down, Bytes.data(), Bytes.size()); }
    size_t ReadRecords(char *Buffer, size_t Size) override { return ReadSome(Up, Buffer, Size); }
    size_t ReadText(char *Buffer, size_t Size) override { return ReadSome(Text, Buffer, Size); }
    TChildEnd Wait() override
    {
        // Waited for without reaping, so that Kill never meets a pid used again.
        siginfo_t Info = {};
        while (waitid(P_PID, static_cast<id_t>(Pid), &Info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> Guard(Lock);
        int Raw = 0;
        while (Pid > 0 && waitpid(Pid, &Raw, 0) < 0 && errno == EINTR) {
        }
        Pid = 0;
        if (WIFSIGNALED(Raw))
            return {true, WTERMSIG(Raw)};
        return {false, WEXITSTATUS(Raw)};
    }
    void Kill() override
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (Pid > 0)
            kill(Pid, SIGKILL);
    }

    pid_t Pid = 0;
    int Down = -1, Up = -1, Text = -1;

private:
    std::mutex Lock;
};

// A pipe whose ends lie above the descriptors the child gets theirs at, so
// that putting one there never overwrites another; closed on exec.
bool HighPipe(int (&Ends)[2])
{
    int Raw[2];
    if (pipe2(Raw, O_CLOEXEC) != 0)
        return false;
    for (int I = 0; I < 2; ++I) {
        Ends[I] = Raw[I] > ChildUp ? Raw[I] : fcntl(Raw[I], F_DUPFD_CLOEXEC, ChildUp + 1);
        if (Ends[I] != Raw[I])
            close(Raw[I]);
    }
    if (Ends[0] >= 0 && Ends[1] >= 0)
        return true;
    const int Saved = errno;
    CloseFd(Ends[0]);
    CloseFd(Ends[1]);
    errno = Saved;
    return false;
}

} // namespace

std::string ChildProgram()
{
    return ExecutableDir() + "trackwarden-cli";
}

std::unique_ptr<TRunChild> TProcessLauncher::Launch(const std::string &Token, std::string &Error)
{
    int Down[2] = {-1, -1}, Up[2] = {-1, -1}, Text[2] = {-1, -1};
    if (!HighPipe(Down) || !HighPipe(Up) || !HighPipe(Text)) {
        Error = Why("pipe");
        for (int *Pipe : {Down, Up, Text}) {
            CloseFd(Pipe[0]);
            CloseFd(Pipe[1]);
        }
        return nullptr;
    }
    std::vector<std::string> Args = {Program, ChildModeWord, std::to_string(ChildDown), std::to_string(ChildUp), Token};
    std::vector<char *> Argv;
    for (std::string &A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);

    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, Text[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Text[1], 2);
    posix_spawn_file_actions_adddup2(&Actions, Down[0], ChildDown);
    posix_spawn_file_actions_adddup2(&Actions, Up[1], ChildUp);
    // Nothing else of ours: another child's channel left open here would hide its parent's end.
    posix_spawn_file_actions_addclosefrom_np(&Actions, ChildUp + 1);
    // A group of its own: a Ctrl-C at the terminal reaches the station, which stops its children.
    posix_spawnattr_t Attributes;
    posix_spawnattr_init(&Attributes);
    sigset_t Default;
    sigemptyset(&Default);
    for (int Signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&Default, Signal);
    posix_spawnattr_setsigdefault(&Attributes, &Default);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&Attributes, 0);
    auto Child = std::make_unique<TProcessChild>();
    const int Failed = posix_spawn(&Child->Pid, Program.c_str(), &Actions, &Attributes, Argv.data(), environ);
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
    close(Down[0]);
    close(Up[1]);
    close(Text[1]);
    if (Failed != 0) {
        errno = Failed;
        Error = Program + ": " + Why("posix_spawn");
        Child->Pid = 0;
        close(Down[1]);
        close(Up[0]);
        close(Text[0]);
        return nullptr;
    }
    // The station never waits on a child that does not read.
    fcntl(Down[1], F_SETFL, fcntl(Down[1], F_GETFL) | O_NONBLOCK);
    Child->Down = Down[1];
    Child->Up = Up[0];
    Child->Text = Text[0];
    return Child;
}

struct TChildEnds {
    int Down = -1, Up = -1;
};

TChildEnds *OpenChildEnds(const std::string &Down, const std::string &Up, std::string &Error)
{
    auto IsPipe = [](const std::string &Name, int &Fd) {
        char *End = nullptr;
        const long Value = std::strtol(Name.c_str(), &End, 10);
        struct stat Info;
        if (Name.empty() || *End != '\0' || Value < 3 || Value > 1 << 20 || fstat(static_cast<int>(Value), &Info) != 0 ||
            !S_ISFIFO(Info.st_mode))
            return false;
        Fd = static_cast<int>(Value);
        return true;
    };
    auto *Ends = new TChildEnds;
    if (!IsPipe(Down, Ends->Down) || !IsPipe(Up, Ends->Up) || Ends->Down == Ends->Up) {
        Error = "kanał stacji to nie potok";
        delete Ends;
        return nullptr;
    }
    fcntl(Ends->Down, F_SETFD, FD_CLOEXEC);
    fcntl(Ends->Up, F_SETFD, FD_CLOEXEC);
#ifdef __linux__
    // Beside the end of the channel: the station's death is a stop as SIGTERM is.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    return Ends;
}

void CloseChildEnds(TChildEnds *Ends)
{
    if (Ends == nullptr)
        return;
    close(Ends->Down);
    close(Ends->Up);
    delete Ends;
}

size_t ReadDown(TChildEnds *Ends, char *Buffer, size_t Size)
{
    return ReadSome(Ends->Down, Buffer, Size);
}

bool WriteUp(TChildEnds *Ends, const char *Data, size_t Size)
{
    return WriteAll(Ends->Up, Data, Size);
}
