// Whether two names lead to one file: what refuses a run whose output
// would replace one of its inputs. Backends: USameFile_posix.cpp, USameFile_win32.cpp.
#pragma once

#include <string>

// True when both names lead to one existing file, through links too: the
// same device and inode (volume and file index on Windows), whatever the names.
bool SameFile(const std::string &A, const std::string &B);
