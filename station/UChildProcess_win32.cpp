#include "UChildEnds.h"
#include "UChildProcess.h"

#include "UFiles.h"
#include "USerialComm.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

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

void CloseOne(HANDLE &Handle)
{
    if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE)
        CloseHandle(Handle);
    Handle = nullptr;
}

size_t ReadSome(HANDLE Handle, char *Buffer, size_t Size)
{
    DWORD Count = 0;
    if (!ReadFile(Handle, Buffer, static_cast<DWORD>(Size), &Count, nullptr))
        return 0;
    return Count;
}

bool WriteAll(HANDLE Handle, const char *Data, size_t Size)
{
    size_t Done = 0;
    while (Done < Size) {
        DWORD Written = 0;
        if (!WriteFile(Handle, Data + Done, static_cast<DWORD>(Size - Done), &Written, nullptr) || Written == 0)
            return false;
        Done += Written;
    }
    return true;
}

class TProcessChild : public TRunChild {
public:
    ~TProcessChild() override
    {
        CloseOne(Down);
        CloseOne(Up);
        CloseOne(Text);
        if (Process != nullptr) {
            Kill();
            Wait();
            CloseOne(Process);
        }
    }
    // A pipe's buffer holds far more than a record: the write does not wait for the child.
    bool Send(const std::string &Bytes) override { return WriteAll(Down, Bytes.data(), Bytes.size()); }
    size_t ReadRecords(char *Buffer, size_t Size) override { return ReadSome(Up, Buffer, Size); }
    size_t ReadText(char *Buffer, size_t Size) override { return ReadSome(Text, Buffer, Size); }
    TChildEnd Wait() override
    {
        WaitForSingleObject(Process, INFINITE);
        DWORD Code = 0;
        GetExitCodeProcess(Process, &Code);
        return {false, static_cast<int>(Code)};
    }
    // The process handle stays open until the child object goes: no other process can take its place.
    void Kill() override { TerminateProcess(Process, 137); }

    HANDLE Process = nullptr, Down = nullptr, Up = nullptr, Text = nullptr;
};

// A pipe of which only the child's end is inherited.
bool ChildPipe(HANDLE &Read, HANDLE &Write, bool ChildReads)
{
    SECURITY_ATTRIBUTES Plain = {sizeof Plain, nullptr, FALSE};
    if (!CreatePipe(&Read, &Write, &Plain, 65536))
        return false;
    return SetHandleInformation(ChildReads ? Read : Write, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
}

} // namespace

std::string ChildProgram()
{
    return ExecutableDir() + "trackwarden-cli.exe";
}

std::unique_ptr<TRunChild> TProcessLauncher::Launch(const std::string &Token, std::string &Error)
{
    HANDLE DownRead = nullptr, DownWrite = nullptr, UpRead = nullptr, UpWrite = nullptr, TextRead = nullptr,
           TextWrite = nullptr;
    auto CloseAll = [&] {
        for (HANDLE *H : {&DownRead, &DownWrite, &UpRead, &UpWrite, &TextRead, &TextWrite})
            CloseOne(*H);
    };
    SECURITY_ATTRIBUTES Inherited = {sizeof Inherited, nullptr, TRUE};
    HANDLE Null = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherited, OPEN_EXISTING, 0,
                              nullptr);
    if (!ChildPipe(DownRead, DownWrite, true) || !ChildPipe(UpRead, UpWrite, false) ||
        !ChildPipe(TextRead, TextWrite, false)) {
        Error = SystemError("CreatePipe");
        CloseAll();
        CloseOne(Null);
        return nullptr;
    }
    std::string Command = Quoted(Program) + " " + ChildModeWord + " " +
                          std::to_string(reinterpret_cast<uintptr_t>(DownRead)) + " " +
                          std::to_string(reinterpret_cast<uintptr_t>(UpWrite)) + " " + Token;
    STARTUPINFOA Startup = {};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = Null;
    Startup.hStdOutput = TextWrite;
    Startup.hStdError = TextWrite;
    PROCESS_INFORMATION Info = {};
    // A group of its own: Ctrl+C at the console reaches the station, which stops its children.
    const BOOL Started = CreateProcessA(Program.c_str(), Command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &Startup, &Info);
    if (!Started)
        Error = Program + ": " + SystemError("CreateProcess");
    CloseOne(Null);
    CloseOne(DownRead);
    CloseOne(UpWrite);
    CloseOne(TextWrite);
    if (!Started) {
        CloseAll();
        return nullptr;
    }
    CloseHandle(Info.hThread);
    auto Child = std::make_unique<TProcessChild>();
    Child->Process = Info.hProcess;
    Child->Down = DownWrite;
    Child->Up = UpRead;
    Child->Text = TextRead;
    return Child;
}

struct TChildEnds {
    HANDLE Down = nullptr, Up = nullptr;
};

TChildEnds *OpenChildEnds(const std::string &Down, const std::string &Up, std::string &Error)
{
    auto IsPipe = [](const std::string &Name, HANDLE &Handle) {
        char *End = nullptr;
        const unsigned long long Value = std::strtoull(Name.c_str(), &End, 10);
        if (Name.empty() || *End != '\0' || Value == 0)
            return false;
        Handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Value));
        return GetFileType(Handle) == FILE_TYPE_PIPE;
    };
    auto *Ends = new TChildEnds;
    if (!IsPipe(Down, Ends->Down) || !IsPipe(Up, Ends->Up) || Ends->Down == Ends->Up) {
        Error = "kanał stacji to nie potok";
        delete Ends;
        return nullptr;
    }
    SetHandleInformation(Ends->Down, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(Ends->Up, HANDLE_FLAG_INHERIT, 0);
    return Ends;
}

void CloseChildEnds(TChildEnds *Ends)
{
    if (Ends == nullptr)
        return;
    CloseHandle(Ends->Down);
    CloseHandle(Ends->Up);
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
