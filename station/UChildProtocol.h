// The records between a station and its child runs. Each record is its
// length (4 bytes, little-endian, counting what follows), a kind byte and
// its fields; a text carries its own length, so that nothing inside a
// record (a newline in a port name, a line of the log) can end it or start
// another. The child sends values, never lines to be parsed again.
#pragma once

#include "URun.h"
#include "URunRecord.h"

#include <cstdint>
#include <string>

enum class TChildKind : uint8_t {
    // To the child.
    Start = 1, // the job; the first record, and only once
    Stop,      // stop at the next safe point
    // From the child.
    Line,    // a line of the run's log
    Note,    // words beside the log, of a TNoteKind
    Status,  // TRunStatus
    Outcome, // TRunOutcome, once
    Done,    // the last record: what the child will exit with
    Difference, // a detailed comparison's difference, as a value
};

// What words beside a run's log are.
enum class TNoteKind : uint8_t {
    Preparation, // the set's preparation: "Pobranie ustawień..." ... "Kodowanie zakończone."
    Report,      // what follows the log: a read's decoding, a comparison's differences
    Problem,     // why something failed, or anything else the run's process wrote
};

// What a child runs: one port, one mode, as a run's options time it. A new
// option is a field here and one in Put and Take of the job.
struct TChildJob {
    std::string Token; // the one its command line names
    int32_t Mode = 0;
    TRunOptions Options;
    std::string Port;
    std::string SetFile;  // as the caller names it
    std::string SetBytes; // program, compare: the settings record itself
    std::string OutPath, ImagePath; // read: where its set and image go
    std::string BaseBytes;          // read: the base set, or empty for a new default set
};

// What a detailed comparison found different: a setting named as dump names
// it, or (Setting empty) a run of bytes no setting explains.
struct TSettingDifference {
    std::string Setting;
    std::string SetValue, DeviceValue; // the values as text, or the bytes in hex
    uint32_t Offset = 0, Count = 0;    // the run of bytes
};

struct TChildDone {
    int32_t ExitStatus = 0;
    TPortResult Result = TPortResult::None; // the outcome's, or File, or Start
    std::string SetSha256, ImageSha256;
    std::string Error;
};

struct TChildRecord {
    TChildKind Kind = TChildKind::Stop;
    TNoteKind Note = TNoteKind::Problem; // Note
    std::string Text;    // Line, Note
    TRunStatus Status;   // Status
    TRunOutcome Outcome; // Outcome
    TChildJob Job;       // Start
    TChildDone Done;     // Done
    TSettingDifference Difference; // Difference
};

// A record far larger than any real one is a broken stream, not a record.
constexpr uint32_t MaxChildRecord = 1u << 20;

std::string EncodeChildRecord(const TChildRecord &Record);

// Gathers bytes as they come and gives back whole records.
class TChildRecordReader {
public:
    void Add(const char *Data, size_t Size);
    // The next whole record; false when none is whole yet or the stream is broken.
    bool Next(TChildRecord &Record);
    // A record too long, of an unknown kind or with fields that do not fit it.
    bool Broken() const { return IsBroken; }
    // Bytes of a record not yet whole: the stream ended in its middle.
    bool Partial() const { return !IsBroken && !Buffer.empty(); }

private:
    std::string Buffer;
    bool IsBroken = false;
};
