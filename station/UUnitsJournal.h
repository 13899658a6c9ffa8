// The journal of a units table: the keys of the units programmed, one a
// line, in a file beside the table that is only ever appended to (each line
// under a lock), and the rows in progress, each held by a byte-range lock on
// that file far beyond its end. A lock dies with its holder, so a process
// that is killed gives its rows back. Locks of one journal opened twice, in
// one process or in two, exclude each other; what one open holds is the
// caller's to keep apart. Backends: UUnitsJournal_posix.cpp,
// UUnitsJournal_win32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TUnitsJournal {
public:
    TUnitsJournal() = default;
    ~TUnitsJournal();
    TUnitsJournal(const TUnitsJournal &) = delete;
    TUnitsJournal &operator=(const TUnitsJournal &) = delete;

    // Opens Path for reading and appending, created if missing; false, with the reason in Error.
    bool Open(const std::string &Path, std::string &Error);
    bool IsOpen() const { return Impl != nullptr; }
    // The keys of the whole lines, read while nobody appends.
    bool ReadKeys(std::vector<std::string> &Keys, std::string &Error);
    // Key and a newline, written whole under the lock and flushed to the disk.
    bool Append(const std::string &Key, std::string &Error);
    // Holds Slot (UnitsJournalSlot) without waiting: false when another open of this journal holds it.
    bool Hold(uint64_t Slot);
    void Release(uint64_t Slot);

private:
    struct TImpl;
    TImpl *Impl = nullptr;
};

// Where the lock that guards appending sits, and the slot a key's row is
// held at: past any file's end, so that neither is ever read or written.
constexpr uint64_t UnitsJournalAppendLock = uint64_t{1} << 62;
uint64_t UnitsJournalSlot(const std::string &Key);
// The keys of a journal's text: its whole lines, CRLF or LF, empty ones skipped.
std::vector<std::string> UnitsJournalKeys(const std::string &Text);
// The line that appends Key; it starts a line of its own after a file whose
// last line was cut short (a full disk), so that it never swallows this one.
std::string UnitsJournalLine(const std::string &Key, bool LastLineWhole);
