// The subcommands of trackwarden-cli and what they share. Each subcommand
// gets its arguments already parsed against its declaration (CliArgs.cpp)
// and returns the exit status.
#pragma once

#include "CliArgs.h"
#include "UDecls.h"

#include <cstdio>
#include <string>
#include <vector>

constexpr int ExitOk = 0;
constexpr int ExitNegative = 1; // a settings finding, sets that differ, a device failure
constexpr int ExitFailure = 2;  // bad usage, a file that cannot be read or written, lost output
// A stopped run: 128 + the signal (130 Ctrl+C, 143 SIGTERM), see StopSignalStatus.

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

// An 8192-byte device image file; says why on failure.
bool IsImageFile(const std::string &Path);
bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize]);
// After a read or decode: which settings came from the base, grouped, and the image's findings.
struct TImageDecoding;
void PrintDecoding(const TImageDecoding &Decoding, FILE *To = stdout);
// What a decoding is written onto: the set at BasePath, or a new default set when it is empty.
bool ReadBaseSet(const std::string &BasePath, TSettings &Set);

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
