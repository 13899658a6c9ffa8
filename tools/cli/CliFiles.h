// The files the subcommands read and write, and what they say when one
// cannot be: each subcommand takes from here what it needs.
#pragma once

#include "UDecls.h"

#include <cstdint>
#include <string>
#include <vector>

// A settings file of exactly the record's size into Set; says why on failure.
bool ReadSetFile(const std::string &Path, TSettings &Set);
// Writes Count bytes whole; says so on failure.
bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count);
// Before the work that makes it: whether Path could be saved now; says why not.
bool OutFileWritable(const std::string &Path);
// Every subcommand asks this first, before it reads or writes anything:
// false, with a message naming both, when an output is one of the inputs
// or another output, or the audit log is any of them, under any name (a
// link, a hard link, another way to the same folder), existing or not.
// Empty names (options not given) are skipped.
bool FilesApart(const std::vector<std::string> &Inputs, const std::vector<std::string> &Outputs,
                const std::string &Log = {});

// An 8192-byte device image file; says why on failure.
bool IsImageFile(const std::string &Path);
bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize]);
// What a decoding is written onto: the set at BasePath, or a new default set
// when it is empty. A damaged base (a text longer than its field, a value
// out of its range, a finding of the settings check) is used with a warning
// naming what is wrong: what the device gives still replaces most of it.
bool ReadBaseSet(const std::string &BasePath, TSettings &Set);
