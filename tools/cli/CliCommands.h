// The subcommands of trackwarden-cli. Each subcommand gets its arguments
// already parsed against its declaration (CliArgs.cpp) and returns the exit
// status; the files they read and write go through CliFiles.h.
#pragma once

#include "CliArgs.h"

#include <string>

constexpr int ExitOk = 0;
constexpr int ExitNegative = 1; // a settings finding, sets that differ, a device failure
constexpr int ExitFailure = 2;  // bad usage, a file that cannot be read or written, lost output
// A stopped run: 128 + the signal (130 Ctrl+C, 143 SIGTERM), see StopSignalStatus.

// CliSets.cpp
int CliDefaults(const TCliArgs &Args);
int CliImage(const TCliArgs &Args);
int CliCheck(const TCliArgs &Args);
int CliDump(const TCliArgs &Args);
int CliDiff(const TCliArgs &Args);
// CliImage.cpp: a device image file into a set.
int CliDecode(const TCliArgs &Args);
// CliRun.cpp: a programming, comparison or read run; 1 on any device failure.
int CliProgram(const TCliArgs &Args);
int CliCompare(const TCliArgs &Args);
int CliRead(const TCliArgs &Args);
// CliUnits.cpp: a units table checked, and each unit's set written.
int CliUnits(const TCliArgs &Args);
// CliPorts.cpp
int CliPorts(const TCliArgs &Args);
// What --port takes, said when a port is not that.
std::string PortUsage();
// The hidden child mode: a station's run on one port (CliRun.cpp).
int CliChild(const TCliArgs &Args);
