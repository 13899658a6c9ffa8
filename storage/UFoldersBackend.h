// What each platform (UFolders_posix.cpp, UFolders_win32.cpp) provides to UFolders.cpp.
#pragma once

#include <string>

namespace FoldersBackend {

// The per-user data folder with its trailing separator; empty when unknown.
std::string UserDataFolder();
// True when Path is a folder this process may create files in.
bool FolderWritable(const std::string &Path);
// Makes Path and any missing parents; true when Path is a folder afterwards.
bool MakeFolders(const std::string &Path);

} // namespace FoldersBackend
