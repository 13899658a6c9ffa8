// What trackwarden-cli asks of the system; CliSystem_<platform>.cpp holds it.
#pragma once

#include <string>

// True when both names lead to one existing file, through links too: the
// same device and inode (volume and file index on Windows), whatever the names.
bool SameFile(const std::string &A, const std::string &B);

// From here on SIGINT and SIGTERM (Ctrl+C, Ctrl+Break and closing the
// console on Windows) ask the run to stop at its next safe point; a second
// one ends the process at once.
void CatchStopSignals();
// The exit status of a run stopped that way: 128 + the signal's number
// (130 for Ctrl+C, 143 for SIGTERM); 0 while none came.
int StopSignalStatus();
