#include "CliProcess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

struct TChildImpl {
    pid_t Pid = 0;
    int Out = -1;
};

namespace {

// The children a signal is passed on to; a free slot is 0.
constexpr int MaxChildren = 256;
std::atomic<pid_t> Children[MaxChildren];
volatile sig_atomic_t Pending = 0;

void PassOn(int Signal)
{
    if (Pending == 0)
        Pending = Signal == SIGINT ? 130 : 143;
    for (std::atomic<pid_t> &Child : Children) {
        const pid_t Pid = Child.load();
        if (Pid > 0)
            kill(Pid, Signal);
    }
}

void Register(pid_t Pid, pid_t Value)
{
    for (std::atomic<pid_t> &Child : Children) {
        pid_t Expected = Pid;
        if (Child.compare_exchange_strong(Expected, Value))
            return;
    }
}

} // namespace

TChildProcess::~TChildProcess()
{
    if (Impl == nullptr)
        return;
    if (Impl->Out >= 0)
        close(Impl->Out);
    if (Impl->Pid > 0) {
        bool Interrupted = false;
        Wait(Interrupted);
    }
    delete Impl;
}

bool TChildProcess::Start(const std::vector<std::string> &Args, const char *Environment, const std::string &Input)
{
    int In[2], Out[2];
    if (pipe2(In, O_CLOEXEC) != 0)
        return false;
    if (pipe2(Out, O_CLOEXEC) != 0) {
        close(In[0]);
        close(In[1]);
        return false;
    }
    std::vector<std::string> Own = {"/proc/self/exe"};
    Own.insert(Own.end(), Args.begin(), Args.end());
    std::vector<char *> Argv;
    for (std::string &A : Own)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    std::string Marker = std::string(Environment) + "=1";
    std::vector<char *> Env;
    for (char **E = environ; *E != nullptr; ++E)
        Env.push_back(*E);
    Env.push_back(Marker.data());
    Env.push_back(nullptr);

    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, In[0], 0);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 2);
    // A group of its own: a Ctrl-C reaches the child once, through the parent.
    posix_spawnattr_t Attributes;
    posix_spawnattr_init(&Attributes);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&Attributes, 0);
    pid_t Pid = 0;
    const int Failed = posix_spawn(&Pid, Argv[0], &Actions, &Attributes, Argv.data(), Env.data());
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
    close(In[0]);
    close(Out[1]);
    if (Failed != 0) {
        close(In[1]);
        close(Out[0]);
        return false;
    }
    Register(0, Pid);
    Impl = new TChildImpl{Pid, Out[0]};
    // The set is far below a pipe's buffer: this never waits for the child.
    size_t Done = 0;
    while (Done < Input.size()) {
        const ssize_t N = write(In[1], Input.data() + Done, Input.size() - Done);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            break;
        Done += static_cast<size_t>(N);
    }
    close(In[1]);
    return true;
}

size_t TChildProcess::Read(char *Buffer, size_t Size)
{
    if (Impl == nullptr || Impl->Out < 0)
        return 0;
    for (;;) {
        const ssize_t N = read(Impl->Out, Buffer, Size);
        if (N >= 0)
            return static_cast<size_t>(N);
        if (errno != EINTR)
            return 0;
    }
}

int TChildProcess::Wait(bool &Interrupted)
{
    Interrupted = false;
    if (Impl == nullptr || Impl->Pid <= 0)
        return -1;
    int Raw = 0;
    while (waitpid(Impl->Pid, &Raw, 0) < 0 && errno == EINTR) {
    }
    Register(Impl->Pid, 0);
    Impl->Pid = 0;
    if (WIFSIGNALED(Raw)) {
        Interrupted = WTERMSIG(Raw) == SIGINT || WTERMSIG(Raw) == SIGTERM;
        return 128 + WTERMSIG(Raw);
    }
    const int Status = WEXITSTATUS(Raw);
    Interrupted = Status == 130 || Status == 143;
    return Status;
}

void CatchInterrupts()
{
    struct sigaction Action = {};
    Action.sa_handler = PassOn;
    Action.sa_flags = SA_RESTART;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
}

int PendingInterrupt()
{
    return Pending;
}

bool IsTerminal(FILE *Stream)
{
    return isatty(fileno(Stream)) == 1;
}

void PrepareTerminal(FILE *) {}

int TerminalColumns(FILE *Stream)
{
    winsize Size = {};
    if (ioctl(fileno(Stream), TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0)
        return Size.ws_col;
    return 80;
}

std::string HostName()
{
    char Name[256] = {};
    if (gethostname(Name, sizeof Name - 1) != 0)
        return "-";
    return Name;
}

void SetBinaryStdin() {}
