// The files the subcommands read and write: the station's routines, each
// saying on stderr why a file cannot be read or written.
#pragma once

#include "USetFiles.h"

bool ReadSetFile(const std::string &Path, TSettings &Set);
bool WriteOutFile(const std::string &Path, const void *Data, int32_t Count);
bool OutFileWritable(const std::string &Path);
bool FilesApart(const std::vector<std::string> &Inputs, const std::vector<std::string> &Outputs,
                const std::string &Log = {});
bool ReadImageFile(const std::string &Path, uint8_t (&Image)[DeviceImageSize]);
// A damaged base is used with a warning.
bool ReadBaseSet(const std::string &BasePath, TSettings &Set);
