// What the POSIX backends of station/ share: files opened with care, writes made whole.
#pragma once

#include <cstddef>
#include <string>

// Opens Path (created if missing, mode 0644) when it is a regular file: looked
// at before it is opened, as a FIFO would wait for its other end, opened
// without waiting in case it changed meanwhile, and looked at again. Flags
// are open()'s access flags; -1 with the reason in Error otherwise.
int OpenRegularFile(const std::string &Path, int Flags, std::string &Error);
// Writes all Size bytes, going on after signals; false on an error or a full disk.
bool WriteAll(int Fd, const char *Data, size_t Size);
