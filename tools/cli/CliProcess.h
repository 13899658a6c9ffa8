// What the batch run needs of the operating system: this program started
// again as a child with piped input and output, interrupts passed on to the
// children, the terminal. Backends: CliProcess_posix.cpp, CliProcess_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

struct TChildImpl;

class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    // This very program with Args, Environment=1 set, Input on its stdin;
    // its stdout and stderr come back together through Read.
    bool Start(const std::vector<std::string> &Args, const char *Environment, const std::string &Input);
    // Blocks until output arrives; 0 at its end.
    size_t Read(char *Buffer, size_t Size);
    // Waits for the end. Interrupted: stopped by Ctrl-C or SIGTERM, or it exited 130 or 143.
    int Wait(bool &Interrupted);

private:
    TChildImpl *Impl = nullptr;
};

// From now on Ctrl-C and SIGTERM are passed on to the started children and
// remembered; PendingInterrupt gives the exit status they ask for (130 for
// Ctrl-C, 143 for SIGTERM), 0 while none came.
void CatchInterrupts();
int PendingInterrupt();

bool IsTerminal(FILE *Stream);
// Lets cursor movement through (Windows consoles); columns of the terminal, 80 if unknown.
void PrepareTerminal(FILE *Stream);
int TerminalColumns(FILE *Stream);

std::string HostName();
void SetBinaryStdin();
