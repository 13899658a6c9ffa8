#include "CliSystem.h"

#include "URun.h"

#include <csignal>
#include <sys/stat.h>

namespace {

volatile sig_atomic_t StopSignal = 0;

void OnStopSignal(int Signal)
{
    if (StopSignal != 0) {
        // Asked twice: the user wants out now, not at the next safe point.
        signal(Signal, SIG_DFL);
        raise(Signal);
        return;
    }
    StopSignal = Signal;
    RequestRunStop();
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    struct stat First, Second;
    return stat(A.c_str(), &First) == 0 && stat(B.c_str(), &Second) == 0 && First.st_dev == Second.st_dev &&
           First.st_ino == Second.st_ino;
}

void CatchStopSignals()
{
    struct sigaction Action = {};
    Action.sa_handler = OnStopSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
}

int StopSignalStatus()
{
    return StopSignal != 0 ? 128 + StopSignal : 0;
}
