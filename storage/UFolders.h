// Which folder holds Sets/ and Sys/ for this run. A build folder or a
// portable copy keeps them beside its programs; an installed program's
// folder is not its users' to write, so they get a folder of their own.
#pragma once

#include <string>

// The folder every program assigns to ProgramDir, with its trailing separator.
std::string ProgramFolder();

// The decision behind ProgramFolder: ExeDir when its Sets is a writable
// folder, else UserDir once it holds Sets and Sys (made when missing), else
// ExeDir. Both end in a separator or are empty.
std::string ChooseProgramFolder(const std::string &ExeDir, const std::string &UserDir);

// The per-user folder with its trailing separator; empty when the system
// names none. $XDG_DATA_HOME/trackwarden/ (~/.local/share/trackwarden/) on
// POSIX, %APPDATA%\Trackwarden\ on Windows.
std::string UserDataFolder();
