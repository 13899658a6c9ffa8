// What trackwarden-cli asks of the system; CliSystem_<platform>.cpp holds it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// True when both names lead to one file: when both exist, the same device
// and inode (volume and file index on Windows), whatever the names, links
// too; else the same name once its folder is resolved (and, on Windows,
// apart from case), so that a file not written yet is found as well.
bool SameFile(const std::string &A, const std::string &B);

// For the runs: from here on SIGINT, SIGTERM and SIGHUP (Ctrl+C, Ctrl+Break
// and closing the console on Windows) call OnStop, on a thread of their own,
// never inside a signal handler; OnStop may be replaced, or cleared with
// nullptr, at any time. A Ctrl-C after a stop was asked for gives the open
// ports back at once and ends the process. A closed output (SIGPIPE) is a
// lost output, not the end of a run: writes to it fail instead.
void CatchStopSignals(std::function<void()> OnStop);
// 128 + the first stop signal's number (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP); 0 while none came.
int StopSignalStatus();

bool IsTerminal(FILE *Stream);
// Lets cursor movement through (Windows consoles); columns of the terminal, 80 if unknown.
void PrepareTerminal(FILE *Stream);
int TerminalColumns(FILE *Stream);

// A UTF-8 name (a unit's key) as a file name of this system: as it is on
// POSIX, in Windows-1250 on Windows; false when that code page lacks a character.
bool NativeFileName(const std::string &Utf8, std::string &Name);
