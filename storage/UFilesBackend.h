// What each platform's file backend (UFiles_posix.cpp, UFiles_win32.cpp)
// provides to UFiles.cpp. Names reach the backend already checked: 1 to
// MaxPathLength characters, no zero byte; counts are never negative and a
// buffer is present whenever the count is above zero.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace FilesBackend {

// Exclusive for the call; false unless a regular file of exactly Count bytes was read whole.
bool ReadWholeFile(const std::string &Name, void *Buffer, int32_t Count);
// Replaces the file only when all Count bytes are written and flushed.
bool WriteWholeFile(const std::string &Name, const void *Buffer, int32_t Count);
// What WriteWholeFile checks before it writes, without writing.
bool Writable(const std::string &Name);
// The full size of a regular file, -1 when it cannot be opened.
int64_t FileLength(const std::string &Name);
bool FileExists(const std::string &Name);
// The characters of a name in Windows-1250: bytes on Windows, UTF-8 characters on POSIX.
size_t NameLength(std::string_view Name);
// The executable's folder with its trailing separator; empty when unknown.
std::string ExecutableDir();

} // namespace FilesBackend
