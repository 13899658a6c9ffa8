// One port's run in this process: the CLI's run on one port, and the run of
// each child of a station (a run's globals are one per process, so a
// process runs one port). It reports through a TStationHost as port 0:
// from the run's worker while the run lasts, from the caller's thread
// before and after it, never two calls at once.
#pragma once

#include "UChildProcess.h"
#include "UStation.h"

struct TLocalRun {
    TRunOutcome Outcome;
    // Whether the run started: a refused port or set has no outcome, and no record.
    bool Ran = false;
    // Why it did not: the settings check found something (a negative result, not a usage error).
    bool SettingsFinding = false;
    TPortResult Result = TPortResult::Start; // the outcome's, or File when a read could not be saved
    std::string SetSha256, ImageSha256;
    std::string Error;
};

// Runs Job on its port: program or compare its set (RunModeCompareDetails
// reports every difference after a failed comparison), or read the device
// onto its base and save the set and image. The terminal the process runs
// in is refused as a port, before anything is sent.
TLocalRun RunHere(const TChildJob &Job, TStationHost &Host);

// The child's side whole: the channel named on its command line, its job,
// the run, and its records up to the station. The exit status; Error says
// why the channel was refused (exit status 2 then).
int ServeChildRun(const std::string &Down, const std::string &Up, const std::string &Token, std::string &Error);
