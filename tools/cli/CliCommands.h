// The subcommands of trackwarden-cli and what they share. Each subcommand
// gets the arguments after its name, already counted against its usage
// line, and returns the exit status.
#pragma once

#include "UDecls.h"

#include <string>
#include <vector>

constexpr int ExitOk = 0;
constexpr int ExitNegative = 1; // a settings finding, sets that differ, a device failure
constexpr int ExitFailure = 2;  // bad usage, a file that cannot be read or written, lost output
// A stopped run: 128 + the signal (130 Ctrl+C, 143 SIGTERM), see StopSignalStatus.

using TCliArgs = std::vector<std::string>;

// One line on stderr, prefixed with the program's name.
void Complain(const std::string &Message);

// A settings file of exactly the record's size into Set; says why on failure.
bool ReadSetFile(const std::string &Path, TSettings &Set);
// Writes Count bytes whole; says so on failure.
bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count);
// Every subcommand that writes a file asks this first, before it reads or
// writes anything: false, with a message naming both, when Output is one
// of the Inputs under any name (a link, a hard link).
bool OutputApartFromInputs(const std::string &Output, const std::vector<std::string> &Inputs);

int CliDefaults(const TCliArgs &Args);
int CliImage(const TCliArgs &Args);
int CliCheck(const TCliArgs &Args);
int CliDump(const TCliArgs &Args);
int CliDiff(const TCliArgs &Args);
// CliRun.cpp: a programming or comparison run; 1 on any device failure.
int CliProgram(const TCliArgs &Args);
int CliCompare(const TCliArgs &Args);
