// trackwarden-cli: the settings files and the device image without the
// window, for scripts and production lines. Paths are taken as given.
#include "CliArgs.h"
#include "CliCommands.h"

#include "UStandardStreams.h"

#include <cstdio>

namespace {

// Output that never arrived (a full disk behind stdout or stderr) is no
// success: 0 and 1 become 2. A write error stays with its stream, so one
// that was flushed long ago is caught as well as what is still buffered.
int CheckedOutput(int Status)
{
    const bool OutLost = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (OutLost)
        Complain("błąd zapisu na standardowe wyjście");
    const bool ErrLost = std::fflush(stderr) != 0 || std::ferror(stderr) != 0;
    return (OutLost || ErrLost) && Status < ExitFailure ? ExitFailure : Status;
}

} // namespace

int main(int argc, char **argv)
{
    OpenStandardStreams();
    return CheckedOutput(RunCommandLine(argc, argv));
}
