#include "CliProcess.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

struct TChildImpl {
    HANDLE Process = nullptr;
    HANDLE Out = nullptr;
};

namespace {

constexpr DWORD ControlCExit = 0xC000013AUL;
std::atomic<int> Pending{0};

// The children share the console and get the Ctrl-C themselves; the parent
// only remembers it and waits for them.
BOOL WINAPI OnControl(DWORD Event)
{
    int Expected = 0;
    Pending.compare_exchange_strong(Expected, Event == CTRL_C_EVENT ? 130 : 143);
    return TRUE;
}

// The command line the C runtime splits back into exactly these arguments.
std::string Quoted(const std::string &Arg)
{
    if (!Arg.empty() && Arg.find_first_of(" \t\"") == std::string::npos)
        return Arg;
    std::string Out = "\"";
    size_t Slashes = 0;
    for (const char C : Arg) {
        if (C == '\\') {
            ++Slashes;
            continue;
        }
        Out.append(C == '"' ? Slashes * 2 + 1 : Slashes, '\\');
        Slashes = 0;
        Out += C;
    }
    Out.append(Slashes * 2, '\\');
    return Out + "\"";
}

} // namespace

TChildProcess::~TChildProcess()
{
    if (Impl == nullptr)
        return;
    if (Impl->Out != nullptr)
        CloseHandle(Impl->Out);
    if (Impl->Process != nullptr) {
        bool Interrupted = false;
        Wait(Interrupted);
    }
    delete Impl;
}

bool TChildProcess::Start(const std::vector<std::string> &Args, const char *Environment, const std::string &Input)
{
    char Self[MAX_PATH * 2];
    const DWORD Length = GetModuleFileNameA(nullptr, Self, sizeof Self);
    if (Length == 0 || Length >= sizeof Self)
        return false;
    std::string Command = Quoted(Self);
    for (const std::string &Arg : Args)
        Command += " " + Quoted(Arg);

    // This environment and the marker, as a block of NUL-ended strings.
    std::string Block;
    if (char *Strings = GetEnvironmentStringsA()) {
        for (const char *P = Strings; *P != '\0'; P += std::strlen(P) + 1)
            Block.append(P, std::strlen(P) + 1);
        FreeEnvironmentStringsA(Strings);
    }
    Block += std::string(Environment) + "=1";
    Block.push_back('\0');
    Block.push_back('\0');

    SECURITY_ATTRIBUTES Inherit = {sizeof Inherit, nullptr, TRUE};
    HANDLE InRead = nullptr, InWrite = nullptr, OutRead = nullptr, OutWrite = nullptr;
    if (!CreatePipe(&InRead, &InWrite, &Inherit, 65536))
        return false;
    if (!CreatePipe(&OutRead, &OutWrite, &Inherit, 65536)) {
        CloseHandle(InRead);
        CloseHandle(InWrite);
        return false;
    }
    SetHandleInformation(InWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA Startup = {};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = InRead;
    Startup.hStdOutput = OutWrite;
    Startup.hStdError = OutWrite;
    PROCESS_INFORMATION Info = {};
    const BOOL Started = CreateProcessA(Self, Command.data(), nullptr, nullptr, TRUE, 0, Block.data(), nullptr,
                                        &Startup, &Info);
    CloseHandle(InRead);
    CloseHandle(OutWrite);
    if (!Started) {
        CloseHandle(InWrite);
        CloseHandle(OutRead);
        return false;
    }
    CloseHandle(Info.hThread);
    Impl = new TChildImpl{Info.hProcess, OutRead};
    DWORD Done = 0, Written = 0;
    while (Done < Input.size() &&
           WriteFile(InWrite, Input.data() + Done, static_cast<DWORD>(Input.size() - Done), &Written, nullptr) &&
           Written > 0)
        Done += Written;
    CloseHandle(InWrite);
    return true;
}

size_t TChildProcess::Read(char *Buffer, size_t Size)
{
    DWORD Count = 0;
    if (Impl == nullptr || !ReadFile(Impl->Out, Buffer, static_cast<DWORD>(Size), &Count, nullptr))
        return 0;
    return Count;
}

int TChildProcess::Wait(bool &Interrupted)
{
    Interrupted = false;
    if (Impl == nullptr || Impl->Process == nullptr)
        return -1;
    WaitForSingleObject(Impl->Process, INFINITE);
    DWORD Code = 0;
    GetExitCodeProcess(Impl->Process, &Code);
    CloseHandle(Impl->Process);
    Impl->Process = nullptr;
    Interrupted = Code == 130 || Code == 143 || Code == ControlCExit;
    return static_cast<int>(Code);
}

void CatchInterrupts()
{
    SetConsoleCtrlHandler(OnControl, TRUE);
}

int PendingInterrupt()
{
    return Pending.load();
}

bool IsTerminal(FILE *Stream)
{
    return _isatty(_fileno(Stream)) != 0;
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

std::string HostName()
{
    char Name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD Size = sizeof Name;
    return GetComputerNameA(Name, &Size) ? std::string(Name, Size) : std::string("-");
}

void SetBinaryStdin()
{
    _setmode(_fileno(stdin), _O_BINARY);
}
