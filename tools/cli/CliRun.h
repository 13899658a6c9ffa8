// What the runs of trackwarden-cli share: one port in this process
// (CliRun.cpp), many ports through the station (CliStation.cpp).
#pragma once

#include "CliCommands.h"

#include "UAuditLog.h"
#include "URunRecord.h"

#include <string>
#include <vector>

// --json and --log for one command: the log is opened before any run starts.
class TReports {
public:
    // Complains and returns false when the log cannot be opened for appending.
    bool Open(const std::string &LogPath, bool Json);
    // The JSON object on stdout and the audit line; false when either was lost.
    bool Write(const TPortRecord &Record);

private:
    bool Json = false;
    std::string LogPath;
    TAuditLog Log;
};

// Runs on several ports: refused before anything starts when two name one
// device or a read's files would clash; 1 when any run failed.
int RunStation(const TCliArgs &Args, int32_t Mode);
