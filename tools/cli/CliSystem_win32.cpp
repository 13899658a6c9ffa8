#include "CliSystem.h"

#include "Cp1250.h"

#include "USerialComm.h"

#include <windows.h>

#include <atomic>
#include <io.h>
#include <mutex>

namespace {

std::atomic<int> StopStatus{0};
std::mutex Lock;
std::function<void()> WhenStopped;

// Runs on a thread the system starts for the event. Returning TRUE for
// Ctrl+C keeps the process; a closing console ends it when the handler
// returns, so that one blocks instead: the run stops and the program ends
// on its own meanwhile, or the system ends it after its grace time.
BOOL WINAPI OnConsoleEvent(DWORD Event)
{
    const bool Closing = Event == CTRL_CLOSE_EVENT || Event == CTRL_LOGOFF_EVENT || Event == CTRL_SHUTDOWN_EVENT;
    if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT && !Closing)
        return FALSE;
    int Expected = 0;
    if (!StopStatus.compare_exchange_strong(Expected, Closing ? 129 : 130) && !Closing) {
        ReleaseOpenPortsNow();
        ExitProcess(static_cast<UINT>(StopStatus.load()));
    }
    {
        std::lock_guard<std::mutex> Guard(Lock);
        if (WhenStopped)
            WhenStopped();
    }
    if (Closing)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

void CatchStopSignals(std::function<void()> OnStop)
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        WhenStopped = std::move(OnStop);
    }
    static const bool Caught = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    (void)Caught;
}

int StopSignalStatus()
{
    return StopStatus.load();
}

bool IsTerminal(FILE *Stream)
{
    DWORD Mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(Stream))), &Mode) != 0;
}

void PrepareTerminal(FILE *Stream)
{
    const HANDLE Console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(Stream)));
    DWORD Mode = 0;
    if (GetConsoleMode(Console, &Mode))
        SetConsoleMode(Console, Mode | 0x0004); // ENABLE_VIRTUAL_TERMINAL_PROCESSING
}

int TerminalColumns(FILE *Stream)
{
    CONSOLE_SCREEN_BUFFER_INFO Info;
    const HANDLE Console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(Stream)));
    if (GetConsoleScreenBufferInfo(Console, &Info) && Info.srWindow.Right > Info.srWindow.Left)
        return Info.srWindow.Right - Info.srWindow.Left + 1;
    return 80;
}

bool NativeFileName(const std::string &Utf8, std::string &Name)
{
    return Utf8ToCp1250Exact(Utf8, Name);
}
