#include "CliSystem.h"

#include "USerialComm.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

volatile sig_atomic_t FirstSignal = 0;
int Wake[2] = {-1, -1};
std::mutex Lock;
std::function<void()> WhenStopped;

void OnStopSignal(int Signal)
{
    if (FirstSignal != 0 && Signal == SIGINT) {
        // Asked twice: the user wants out now, not at the next safe point; the port goes back first.
        ReleaseOpenPortsNow();
        signal(SIGINT, SIG_DFL);
        raise(SIGINT);
        return;
    }
    if (FirstSignal == 0)
        FirstSignal = Signal;
    const int Saved = errno;
    const char Byte = 1;
    if (write(Wake[1], &Byte, 1) < 0) {
    }
    errno = Saved;
}

// Every stop signal is passed on here, out of the handler.
void Watch()
{
    char Byte;
    for (;;) {
        const ssize_t N = read(Wake[0], &Byte, 1);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return;
        std::lock_guard<std::mutex> Guard(Lock);
        if (WhenStopped)
            WhenStopped();
    }
}

std::string RealPath(const std::string &Name)
{
    char *Real = realpath(Name.c_str(), nullptr);
    if (Real == nullptr)
        return {};
    std::string Out(Real);
    std::free(Real);
    return Out;
}

// The name as the system finds it: through links, "." and "..", and for a
// file not there yet its folder's real name with the last component.
std::string ResolvedName(const std::string &Name)
{
    const std::string Real = RealPath(Name);
    if (!Real.empty())
        return Real;
    const size_t Slash = Name.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : Slash == 0 ? "/" : Name.substr(0, Slash);
    const std::string RealFolder = RealPath(Folder);
    if (RealFolder.empty())
        return Name;
    return (RealFolder == "/" ? "" : RealFolder) + "/" + Name.substr(Slash == std::string::npos ? 0 : Slash + 1);
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    if (A.empty() || B.empty())
        return false;
    struct stat First, Second;
    if (stat(A.c_str(), &First) == 0 && stat(B.c_str(), &Second) == 0)
        return First.st_dev == Second.st_dev && First.st_ino == Second.st_ino;
    return ResolvedName(A) == ResolvedName(B);
}

void CatchStopSignals(std::function<void()> OnStop)
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        WhenStopped = std::move(OnStop);
    }
    if (Wake[0] >= 0)
        return;
    if (pipe2(Wake, O_CLOEXEC) != 0)
        return;
    std::thread(Watch).detach();
    struct sigaction Action = {};
    Action.sa_handler = OnStopSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int Signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(Signal, &Action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int StopSignalStatus()
{
    return FirstSignal != 0 ? 128 + FirstSignal : 0;
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

bool NativeFileName(const std::string &Utf8, std::string &Name)
{
    Name = Utf8;
    return true;
}
