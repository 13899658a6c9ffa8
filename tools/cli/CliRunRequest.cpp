// What program/compare are asked to do, and what a run came to.
#include "CliBatch.h"
#include "CliProcess.h"

#include "UFiles.h"
#include "URun.h"
#include "URunLines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int32_t HighestComPort = 8;
constexpr int32_t BlockSize = 32;

// A new run mode is one row here.
const TRunModeRow ModeRows[] = {
    {"program", RunModeProgram, LineProgramDone},
    {"compare", RunModeCompare, LineCompareDone},
    {"read", RunModeRead, LineReadDone},
};

// The lines that end a run without success, and what scripts are told.
struct TOutcomeLine {
    const char *Line;
    const char *Result;
    bool AtBlock; // the pass's progress names the failing block
};
const TOutcomeLine FailureLines[] = {
    {LinePortFailed, "port", false},
    {LineNoReply, "no-reply", false},
    {LineWriteFailed, "write", true},
    {LineProgramVerifyFailed, "verify", true},
    {LineCompareFailed, "verify", true},
    {LineReadFailed, "read", true},
};

bool StartsWith(const std::string &Text, const char *Prefix)
{
    return Text.rfind(Prefix, 0) == 0;
}

} // namespace

const char *const PortUsage = "port: COM1..COM8 albo ścieżka urządzenia, np. --port COM1";
const char *const ChildEnvironment = "TRACKWARDEN_CLI_CHILD";

const TRunModeRow *RunModeRow(int32_t Mode)
{
    for (const TRunModeRow &Row : ModeRows)
        if (Row.Mode == Mode)
            return &Row;
    return nullptr;
}

// COM1..COM8 (the link Sys/COMn beside the program, else the n-th serial port) or a device path.
bool ParsePort(const std::string &Text, int32_t &Port, std::string &DevicePath)
{
    if (Text.find('/') != std::string::npos) {
        Port = 1;
        DevicePath = Text;
        return true;
    }
    if (Text.size() == 4 && std::toupper(static_cast<unsigned char>(Text[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(Text[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(Text[2])) == 'M' && Text[3] >= '1' &&
        Text[3] <= '0' + HighestComPort) {
        Port = Text[3] - '0';
        DevicePath.clear();
        return true;
    }
    return false;
}

bool ParseRunRequest(const TCliArgs &Args, int32_t Mode, TRunRequest &Request)
{
    Request.Mode = RunModeRow(Mode);
    for (const std::string &Port : Args.Ports) {
        int32_t Number = 0;
        std::string DevicePath;
        if (!ParsePort(Port, Number, DevicePath)) {
            Complain(PortUsage);
            return false;
        }
    }
    Request.Ports = Args.Ports;
    Request.Json = Args.Json;
    Request.Details = Args.Details;
    Request.LogPath = Args.Log;
    if (Mode == RunModeRead) {
        Request.OutPath = Args[0];
        Request.BasePath = Args.Base;
        Request.ImagePath = Args.Image;
    } else {
        Request.SetPath = Args[0];
    }
    return Request.Mode != nullptr;
}

std::string PortFileName(const std::string &Port, const char *Extension)
{
    std::string Name = Port.substr(Port.find_last_of("/\\") + 1);
    for (char &C : Name)
        if (!std::isalnum(static_cast<unsigned char>(C)) && C != '-' && C != '_' && C != '.')
            C = '_';
    if (Name.empty() || Name == "." || Name == "..")
        Name = "port";
    return Name + Extension;
}

void TRunTracker::Line(const std::string &Text, int32_t Frames)
{
    LastLine = Text;
    if (!Text.empty())
        Phase = Text;
    if (Text == LineConnecting || Text == LineProgramming || Text == LineVerifying || Text == LineReading) {
        RepeatsBefore = Repeats;
        PhaseBase = Frames;
        Bytes = 0;
    } else if (StartsWith(Text, LineVersion) && PhaseBase >= 0) {
        // Wersja urządzenia: "1.2.3".
        const size_t Open = Text.find('"'), Close = Text.rfind('"');
        if (Open != std::string::npos && Close > Open)
            Version = Text.substr(Open + 1, Close - Open - 1);
        Repeats = RepeatsBefore + std::max(0, Frames - PhaseBase - 1);
        RepeatsBefore = Repeats;
        PhaseBase = -1;
    } else if (Text == LineReset) {
        PhaseBase = -1;
    }
    if (Text == Mode.DoneLine) {
        Result = "ok";
        Outcome = Text;
        return;
    }
    for (const TOutcomeLine &Failure : FailureLines) {
        if (Text != Failure.Line)
            continue;
        Result = Failure.Result;
        Outcome = Text;
        if (Failure.AtBlock)
            FailedAddress = Bytes;
        // Every try of the failed exchange but its first was a repeat.
        if (PhaseBase >= 0)
            Repeats = RepeatsBefore + std::max(0, Frames - PhaseBase - (Bytes + BlockSize - 1) / BlockSize - 1);
        PhaseBase = -1;
    }
}

// Shown before each block's first try, and once at the end of the pass: the
// frames of the pass so far are one per finished block plus the repeats.
void TRunTracker::Progress(int32_t NewBytes, int32_t Frames)
{
    Bytes = NewBytes;
    if (PhaseBase >= 0)
        Repeats = RepeatsBefore + std::max(0, Frames - PhaseBase - (Bytes + BlockSize - 1) / BlockSize);
}

bool IsBatchChild()
{
    static const bool Child = std::getenv(ChildEnvironment) != nullptr;
    return Child;
}

void WriteChildRecord(char Kind, int32_t Frames, const std::string &Text)
{
    // One write per record, so that a record never mixes with the child's stderr on the same pipe.
    std::string Record(1, Kind);
    if (Kind != 'A')
        Record += " " + std::to_string(Frames);
    Record += " " + Text + "\n";
    std::fwrite(Record.data(), 1, Record.size(), stdout);
    std::fflush(stdout);
}

bool ReadRunSet(const std::string &Path, TSettings &Set)
{
    if (!IsBatchChild())
        return ReadSetFile(Path, Set);
    // The parent read and checked the file once and hands every child the same bytes.
    TSettings Read;
    SetBinaryStdin();
    if (std::fread(&Read, 1, sizeof Read, stdin) != sizeof Read) {
        Complain(Path + ": zestaw niekompletny na standardowym wejściu");
        return false;
    }
    Set = Read;
    return true;
}
