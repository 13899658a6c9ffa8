// The files a front end reads and writes for the runs and the sets, and why
// one cannot be: each Problem is a whole message, the file's name first.
#pragma once

#include "UDecls.h"

#include <cstdint>
#include <string>
#include <vector>

// A settings file of exactly the record's size into Set.
bool ReadSetFile(const std::string &Path, TSettings &Set, std::string &Problem);
// Writes Count bytes whole.
bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count, std::string &Problem);
// Before the work that makes it: whether Path could be saved now.
bool OutFileWritable(const std::string &Path, std::string &Problem);
// Asked first, before anything is read or written: false, naming both, when
// an output is one of the inputs or another output, or the audit log is any
// of them, under any name (a link, a hard link, another way to the same
// folder), existing or not. Empty names (options not given) are skipped.
bool FilesApart(const std::vector<std::string> &Inputs, const std::vector<std::string> &Outputs, const std::string &Log,
                std::string &Problem);

// An 8192-byte device image file.
bool IsImageFile(const std::string &Path);
bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize], std::string &Problem);
// What a decoding is written onto: the set at BasePath, or a new default set
// when it is empty. A damaged base (a text longer than its field, a value
// out of its range, a finding of the settings check) is used, with Warning
// naming what is wrong: what the device gives still replaces most of it.
bool ReadBaseSet(const std::string &BasePath, TSettings &Set, std::string &Problem, std::string &Warning);
