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

bool FileIdentity(const std::string &Name, BY_HANDLE_FILE_INFORMATION &Info)
{
    const HANDLE File = CreateFileA(Name.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return false;
    const bool Ok = GetFileInformationByHandle(File, &Info) != 0;
    CloseHandle(File);
    return Ok;
}

// The full name with "." and ".." gone; names differing in case are one file.
std::string FullName(const std::string &Name)
{
    char Full[MAX_PATH * 2];
    const DWORD Size = GetFullPathNameA(Name.c_str(), sizeof Full, Full, nullptr);
    std::string Out = Size > 0 && Size < sizeof Full ? std::string(Full, Size) : Name;
    CharLowerBuffA(Out.data(), static_cast<DWORD>(Out.size()));
    return Out;
}

} // namespace

bool SameFile(const std::string &A, const std::string &B)
{
    if (A.empty() || B.empty())
        return false;
    BY_HANDLE_FILE_INFORMATION First, Second;
    if (FileIdentity(A, First) && FileIdentity(B, Second))
        return First.dwVolumeSerialNumber == Second.dwVolumeSerialNumber &&
               First.nFileIndexHigh == Second.nFileIndexHigh && First.nFileIndexLow == Second.nFileIndexLow;
    return FullName(A) == FullName(B);
}

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
