// The child's ends of its channel, as each platform holds them
// (UChildProcess_posix.cpp, UChildProcess_win32.cpp).
#pragma once

#include "UChildProcess.h"

#include <cstddef>
#include <string>

// Null, with the reason in Error, unless both name pipes.
TChildEnds *OpenChildEnds(const std::string &Down, const std::string &Up, std::string &Error);
void CloseChildEnds(TChildEnds *Ends);
// Blocks; 0 at the end or on an error.
size_t ReadDown(TChildEnds *Ends, char *Buffer, size_t Size);
bool WriteUp(TChildEnds *Ends, const char *Data, size_t Size);
