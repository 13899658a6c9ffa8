#include "UUnitsJournal.h"
#include "UPosixFiles.h"

#include "USerialComm.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Open file description locks: owned by the open, not the process, so two
// opens exclude each other even in one process, and flock's whole-file lock
// (emulated with these on NFS) is not used at all.
bool Lock(int Fd, short Type, uint64_t Offset, bool Wait)
{
    struct flock L = {};
    L.l_type = Type;
    L.l_whence = SEEK_SET;
    L.l_start = static_cast<off_t>(Offset);
    L.l_len = 1;
    for (;;) {
        if (fcntl(Fd, Wait ? F_OFD_SETLKW : F_OFD_SETLK, &L) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

struct TUnitsJournal::TImpl {
    int Fd = -1;
};

TUnitsJournal::~TUnitsJournal()
{
    if (Impl != nullptr)
        close(Impl->Fd);
    delete Impl;
}

bool TUnitsJournal::Open(const std::string &Path, std::string &Error)
{
    const int Fd = OpenRegularFile(Path, O_RDWR | O_APPEND, Error);
    if (Fd < 0)
        return false;
    Impl = new TImpl{Fd};
    return true;
}

bool TUnitsJournal::ReadKeys(std::vector<std::string> &Keys, std::string &Error)
{
    Keys.clear();
    if (Impl == nullptr || !Lock(Impl->Fd, F_RDLCK, UnitsJournalAppendLock, true)) {
        Error = SystemError("fcntl");
        return false;
    }
    std::string Text;
    char Buffer[4096];
    bool Ok = true;
    for (off_t At = 0;;) {
        const ssize_t N = pread(Impl->Fd, Buffer, sizeof Buffer, At);
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0) {
            Error = SystemError("read");
            Ok = false;
        }
        if (N <= 0)
            break;
        Text.append(Buffer, static_cast<size_t>(N));
        At += N;
    }
    Lock(Impl->Fd, F_UNLCK, UnitsJournalAppendLock, false);
    Keys = UnitsJournalKeys(Text);
    return Ok;
}

bool TUnitsJournal::Append(const std::string &Key, std::string &Error)
{
    if (Impl == nullptr || !Lock(Impl->Fd, F_WRLCK, UnitsJournalAppendLock, true)) {
        Error = SystemError("fcntl");
        return false;
    }
    struct stat St;
    char Last = '\n';
    if (fstat(Impl->Fd, &St) == 0 && St.st_size > 0 && pread(Impl->Fd, &Last, 1, St.st_size - 1) != 1)
        Last = '\n';
    const std::string Line = UnitsJournalLine(Key, Last == '\n');
    bool Ok = WriteAll(Impl->Fd, Line.data(), Line.size());
    if (!Ok)
        Error = SystemError("write");
    if (Ok && fdatasync(Impl->Fd) != 0) {
        Error = SystemError("fdatasync");
        Ok = false;
    }
    Lock(Impl->Fd, F_UNLCK, UnitsJournalAppendLock, false);
    return Ok;
}

bool TUnitsJournal::Hold(uint64_t Slot)
{
    return Impl != nullptr && Lock(Impl->Fd, F_WRLCK, Slot, false);
}

void TUnitsJournal::Release(uint64_t Slot)
{
    if (Impl != nullptr)
        Lock(Impl->Fd, F_UNLCK, Slot, false);
}
