#include "UUnitsJournal.h"

#include "USerialComm.h"

#include <windows.h>

namespace {

// A byte-range lock of one byte; LockFileEx's locks belong to the handle,
// so two opens exclude each other even in one process.
bool Lock(HANDLE File, uint64_t Offset, DWORD Flags)
{
    OVERLAPPED At = {};
    At.Offset = static_cast<DWORD>(Offset);
    At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
    return LockFileEx(File, Flags, 0, 1, 0, &At) != 0;
}

void Unlock(HANDLE File, uint64_t Offset)
{
    OVERLAPPED At = {};
    At.Offset = static_cast<DWORD>(Offset);
    At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
    UnlockFileEx(File, 0, 1, 0, &At);
}

bool ReadAt(HANDLE File, uint64_t Offset, char *Buffer, DWORD Size, DWORD &Got)
{
    OVERLAPPED At = {};
    At.Offset = static_cast<DWORD>(Offset);
    At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
    Got = 0;
    return ReadFile(File, Buffer, Size, &Got, &At) != 0 || GetLastError() == ERROR_HANDLE_EOF;
}

} // namespace

struct TUnitsJournal::TImpl {
    HANDLE File = INVALID_HANDLE_VALUE;
};

TUnitsJournal::~TUnitsJournal()
{
    if (Impl != nullptr)
        CloseHandle(Impl->File);
    delete Impl;
}

bool TUnitsJournal::Open(const std::string &Path, std::string &Error)
{
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end as it stands then.
    const HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        Error = SystemError("CreateFile");
        return false;
    }
    if (GetFileType(File) != FILE_TYPE_DISK) {
        Error = "to nie jest zwykły plik";
        CloseHandle(File);
        return false;
    }
    Impl = new TImpl{File};
    return true;
}

bool TUnitsJournal::ReadKeys(std::vector<std::string> &Keys, std::string &Error)
{
    Keys.clear();
    if (Impl == nullptr || !Lock(Impl->File, UnitsJournalAppendLock, 0)) {
        Error = SystemError("LockFileEx");
        return false;
    }
    std::string Text;
    char Buffer[4096];
    bool Ok = true;
    for (uint64_t At = 0;;) {
        DWORD Got = 0;
        if (!ReadAt(Impl->File, At, Buffer, sizeof Buffer, Got)) {
            Error = SystemError("ReadFile");
            Ok = false;
        }
        if (Got == 0)
            break;
        Text.append(Buffer, Got);
        At += Got;
    }
    Unlock(Impl->File, UnitsJournalAppendLock);
    Keys = UnitsJournalKeys(Text);
    return Ok;
}

bool TUnitsJournal::Append(const std::string &Key, std::string &Error)
{
    if (Impl == nullptr || !Lock(Impl->File, UnitsJournalAppendLock, LOCKFILE_EXCLUSIVE_LOCK)) {
        Error = SystemError("LockFileEx");
        return false;
    }
    LARGE_INTEGER Size = {};
    char Last = '\n';
    DWORD Got = 0;
    if (GetFileSizeEx(Impl->File, &Size) && Size.QuadPart > 0 &&
        !(ReadAt(Impl->File, static_cast<uint64_t>(Size.QuadPart - 1), &Last, 1, Got) && Got == 1))
        Last = '\n';
    const std::string Line = UnitsJournalLine(Key, Last == '\n');
    DWORD Written = 0;
    bool Ok = WriteFile(Impl->File, Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr) &&
              Written == Line.size();
    if (!Ok)
        Error = SystemError("WriteFile");
    else if (!FlushFileBuffers(Impl->File)) {
        Error = SystemError("FlushFileBuffers");
        Ok = false;
    }
    Unlock(Impl->File, UnitsJournalAppendLock);
    return Ok;
}

bool TUnitsJournal::Hold(uint64_t Slot)
{
    return Impl != nullptr && Lock(Impl->File, Slot, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY);
}

void TUnitsJournal::Release(uint64_t Slot)
{
    if (Impl != nullptr)
        Unlock(Impl->File, Slot);
}
