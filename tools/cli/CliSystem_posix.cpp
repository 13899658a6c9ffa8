#include "CliSystem.h"

#include "USerialComm.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
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

} // namespace

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
