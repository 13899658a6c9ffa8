// The POSIX backend's calls that tests may replace to make a disk fill up
// or fail a flush part-way. Nothing else sets them.
#pragma once

#include <sys/types.h>

namespace FilesBackend {

using TWriteCall = ssize_t (*)(int Fd, const void *Data, size_t Count);
using TSyncCall = int (*)(int Fd);

extern TWriteCall WriteCall; // ::write
extern TSyncCall SyncCall;   // ::fsync

} // namespace FilesBackend
