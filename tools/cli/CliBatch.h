// Runs on many ports at once, and what every run reports for scripts: one
// child process per port (each is the single run, so the run's globals stay
// one per process), a parent that draws them, gathers their outcomes and
// writes the --json records and the --log audit trail.
#pragma once

#include "CliCommands.h"

#include <cstdint>
#include <string>
#include <vector>

// One row per run mode: what the command is called, what the run is, and
// the line that ends it with success.
struct TRunModeRow {
    const char *Command;
    int32_t Mode;
    const char *DoneLine;
};
const TRunModeRow *RunModeRow(int32_t Mode);

// program/compare SET --port PORT [--port PORT ...] [--json] [--log FILE]
struct TRunRequest {
    const TRunModeRow *Mode = nullptr;
    std::string SetPath;
    std::vector<std::string> Ports; // as given
    bool Json = false;
    bool Details = false;           // compare --details: name the settings that differ
    std::string LogPath;            // empty: no audit trail
    // read: OUT and --image IMG are folders when there are several ports; --base SET.
    std::string OutPath, ImagePath, BasePath;
};
// The request of program, compare (Mode) or read; complains and returns false on a bad port.
bool ParseRunRequest(const TCliArgs &Args, int32_t Mode, TRunRequest &Request);
// The file a port's set (Extension ".set") or image (".img") gets in a read's folder:
// the port's last path component, with what a file name cannot hold replaced.
std::string PortFileName(const std::string &Port, const char *Extension);

// COM1..COM8 or a device path; Port and DevicePath as the run takes them.
bool ParsePort(const std::string &Text, int32_t &Port, std::string &DevicePath);

// What a run came to, followed from its log lines and progress: the same
// for a run in this process and for a child's records.
class TRunTracker {
public:
    explicit TRunTracker(const TRunModeRow &Mode) : Mode(Mode) {}
    // Frames: FramesSent when the line or progress was shown.
    void Line(const std::string &Text, int32_t Frames);
    void Progress(int32_t Bytes, int32_t Frames);
    void Interrupted(const std::string &Line)
    {
        Result = "interrupted";
        Outcome = Line;
    }

    const TRunModeRow &Mode;
    std::string Phase;            // the last line that was not empty
    std::string LastLine;         // the last line at all
    std::string Version;          // "1.2.3" once the device answered
    std::string Result;           // "ok", "port", "no-reply", "write", "verify", "interrupted"; empty while running
    std::string Outcome;          // the line that settled Result
    int32_t FailedAddress = -1;   // the block that failed, where one did
    int32_t Bytes = 0;            // progress of the current pass
    int32_t Repeats = 0;          // tries beyond the first of each exchange, so far

private:
    int32_t PhaseBase = -1; // FramesSent when the phase began; -1 outside counted phases
    int32_t RepeatsBefore = 0;
};

// The run's record for --json and --log.
struct TRunRecord {
    std::string Port, StablePort, Mode, Version, Result;
    int32_t FailedAddress = -1;
    int64_t DurationMs = 0;
    std::string SetFile, SetSha256, ImageSha256;
    std::string Time; // ISO 8601 with zone, when the run started
};

// --json and --log for one command: the log is opened before any run starts.
class TRunReports {
public:
    ~TRunReports();
    // Complains and returns false when the log cannot be opened for appending.
    bool Open(const TRunRequest &Request);
    // The set's hashes; the image is the one EncodeDeviceImage made.
    void SetHashes(const void *Set, size_t SetSize, const void *Image, size_t ImageSize);
    TRunRecord Begin(const std::string &Port) const;
    // Writes the JSON object (stdout) and the audit line; false when either failed.
    bool Finish(TRunRecord Record, const TRunTracker &Tracker, int64_t DurationMs);

private:
    bool Json = false;
    bool Details = false;           // compare --details: name the settings that differ
    std::string SetFile, SetSha256, ImageSha256, Mode;
    struct TAuditLog *Log = nullptr;
};

std::string JsonRecord(const TRunRecord &Record);
std::string AuditLine(const TRunRecord &Record, const std::string &Host);
std::string Sha256Hex(const void *Data, size_t Size);
std::string IsoTimeNow();

// The child's side: set by the parent in the child's environment.
extern const char *const ChildEnvironment;
bool IsBatchChild();
// A child reads the set from stdin instead of the file.
bool ReadRunSet(const std::string &Path, TSettings &Set);
// A child's stdout: one record a line, "L frames text", "P frames bytes", "A text".
void WriteChildRecord(char Kind, int32_t Frames, const std::string &Text);

// The parent: one child per port; returns the command's exit status.
int RunBatch(const TRunRequest &Request);
