// Whether two names lead to one file: what refuses a run whose output
// would replace one of its inputs. Backends: USameFile_posix.cpp, USameFile_win32.cpp.
#pragma once

#include <string>

// True when both names lead to one file: when both exist, the same device
// and inode (volume and file index on Windows), whatever the names, links
// too; else the same name once its folder is resolved (and, on Windows,
// apart from case), so that a file not written yet is found as well.
bool SameFile(const std::string &A, const std::string &B);
