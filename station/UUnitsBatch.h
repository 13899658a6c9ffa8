// Programming a batch from a units table: each run takes the next row that
// nobody has used or holds, in table order, and programs that unit's set
// (the base with the row applied). A run that succeeds writes its key to
// the table's journal (UNITS.csv.used beside it) and so uses the row up; a
// run that fails or is stopped gives the row back. Rows are kept apart
// between runs of one batch here, and between processes and computers
// sharing the table's folder by the journal's locks (UUnitsJournal.h).
// A front end reads the rows left and each port's unit from here, never
// from the journal's file.
#pragma once

#include "UStation.h"
#include "UUnits.h"
#include "UUnitsJournal.h"

#include <map>
#include <mutex>
#include <string>

// The journal beside a table: "units.csv" -> "units.csv.used".
std::string UnitsJournalPath(const std::string &TablePath);

// Reads the table at Path and checks it whole on Base: the table's own
// findings, then every row's set as a run's preparation checks it (a
// finding of the row as a whole). False, with Error, when the file cannot
// be read; a table with findings reads (true) and is not to be used.
bool ReadUnitsTable(const std::string &Path, const TCsvOptions &Options, const TSettings &Base, TUnitsTable &Table,
                    std::string &Error);

// Base with Row applied; false when a cell is no value of its field.
bool UnitSet(const TUnitsTable &Table, const TUnitsRow &Row, const TSettings &Base, TSettings &Set);

struct TUnitsCount {
    size_t Rows = 0; // in the table
    size_t Used = 0; // in the journal
    size_t Held = 0; // in progress on this batch's ports
    size_t Left() const { return Rows - Used - Held; }
};

// Thread-safe: a station takes and settles rows on its thread while a window asks the count on its own.
class TUnitsBatch {
public:
    // The table at Path (ReadUnitsTable), then its journal. False, with
    // Error, when either cannot be read or opened, or the table has findings
    // (Table() holds them).
    bool Open(const std::string &Path, const TCsvOptions &Options, const TSettings &Base,
              const std::string &BaseFile, std::string &Error);
    const TUnitsTable &Table() const { return Units; }

    // Takes the next free row for Port and gives its set (File is the base's,
    // UnitKey the row's key). False, with the line to show, when no row is
    // left or the journal cannot be read: the port's run must not start.
    bool Take(size_t Port, TRunSet &Set, std::string &Refusal);
    // Port's run ended with Result: Ok uses its row up, anything else gives
    // it back. False, with Error, when the key could not be written to the
    // journal: the row then stays held until this batch ends, so that no
    // other unit gets its values.
    bool Settle(size_t Port, TPortResult Result, std::string &Error);

    // The key of the unit Port is running with; empty when none.
    std::string UnitOfPort(size_t Port) const;
    // Counted afresh from the journal, so runs of other processes count too.
    TUnitsCount Count();

private:
    bool UsedKeys(std::vector<std::string> &Folded, std::string &Error);

    TUnitsTable Units;
    std::string Path, BaseFile;
    std::unique_ptr<TSettings> Base;
    mutable std::mutex Lock; // guards what follows
    TUnitsJournal Journal;
    std::map<size_t, size_t> HeldBy; // port -> row
    std::vector<size_t> Stuck;       // rows programmed whose key the journal did not take
};

// A station's host for a batch: gives each port its unit's set (a port
// refused one gets the refusal as a problem note), names the unit a port
// runs with in a preparation note, and settles its row before the port's record is
// passed on (an error of the journal goes into that record).
class TUnitsHost : public TStationHost {
public:
    TUnitsHost(TStationHost &Inner, TUnitsBatch &Batch) : Inner(Inner), Batch(Batch) {}
    // For TStationJob::SetFor.
    TSetProvider Provider();
    // True once a programmed unit's key could not be written to the journal.
    bool JournalFailed() const { return Failed; }

    void PortLine(size_t Port, const std::string &Line) override { Inner.PortLine(Port, Line); }
    void PortNote(size_t Port, TNoteKind Kind, const std::string &Text) override { Inner.PortNote(Port, Kind, Text); }
    void PortStatus(size_t Port, const TRunStatus &Status) override { Inner.PortStatus(Port, Status); }
    void PortFinished(size_t Port, const TPortRecord &Record) override;
    void PortUnit(size_t Port, const std::string &Key) override { Inner.PortUnit(Port, Key); }

private:
    TStationHost &Inner;
    TUnitsBatch &Batch;
    bool Failed = false;
};

// "SN-001 (wiersz 3)": a unit as the lines name it.
std::string UnitName(const TUnitsTable &Table, const std::string &Key);
