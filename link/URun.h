// The programming, comparison and read run: its globals, the start of a run and
// the hand-over between the worker and whatever shows the run (the window
// or the CLI). No toolkit here: the front end implements TRunFrontEnd.
#pragma once

#include "UDecls.h"

#include <atomic>
#include <cstdint>
#include <string>

// What a run is doing and what it came to, as values beside its lines.
enum class TRunPhase : uint8_t {
    Opening,    // the port
    Connecting, // wake-up and version
    Writing,    // the write pass
    Verifying,  // the read pass of a programming run or a comparison
    Reading,    // the read pass of a read run
    Resetting,
    Ended,
};

enum class TRunResult : uint8_t {
    None,        // still running
    Ok,
    Port,        // the port could not be opened
    NoReply,     // no version reply; or, with a failed address, no reply at all to a block
    Write,       // a block was answered but never accepted in the write pass
    Verify,      // a block read back other bytes (or answered wrongly) in a programming run or comparison
    Read,        // a block was answered but never accepted in a read run
    Interrupted, // stopped on request
};

// The frames of one pass: Tries sent, Repeats of them beyond the first of each exchange.
struct TPassTries {
    int32_t Tries = 0;
    int32_t Repeats = 0;
};

struct TRunStatus {
    TRunPhase Phase = TRunPhase::Opening;
    int32_t Bytes = 0; // progress of the pass under way, 0..8192
    TPassTries Version, Write, Read;
    int32_t Repeats() const { return Version.Repeats + Write.Repeats + Read.Repeats; }
};

// How a run times its exchanges. The default is the specified timing; the
// window never asks for anything else.
struct TRunOptions {
    bool Fast = false; // a reply ends when it is whole, not after the quiet time
    int32_t GapMs = 1; // fast: the line's quiet before each request
};

// Fast exchange in a run: not asked for, kept to the end, or given up after
// the device answered otherwise (the rest of the run in the specified timing).
enum class TFastExchange : uint8_t { Off, On, Fallback };

struct TRunOutcome {
    TRunResult Result = TRunResult::None;
    TFastExchange Fast = TFastExchange::Off;
    int32_t FailedAddress = -1; // the block that failed, where one did
    bool HasVersion = false;
    uint8_t Version[3] = {};
    TRunStatus Status;          // as it stood at the end
    int64_t DurationMs = 0;     // from the opening of the port to the end
    std::string PortError;      // Port: the system call that failed and why
};

// "ok", "port", "no-reply", "write", "verify", "read", "interrupted"; "" for None.
const char *RunResultName(TRunResult Result);
// "off", "on", "fallback".
const char *FastExchangeName(TFastExchange Fast);
// "1.2.3", or "" when the device never answered.
std::string RunVersionText(const TRunOutcome &Outcome);

constexpr int32_t RunModeProgram = 1;
constexpr int32_t RunModeCompare = 2;
// A read run needs no set and keeps the device's bytes in ReadImage; a
// detailed comparison compares as mode 2 does, but keeps in ReadImage a
// block that still differs after its tries and reads on to the end.
constexpr int32_t RunModeRead = 3;
constexpr int32_t RunModeCompareDetails = 4;
// A probe: the wake-up and one version request, then the port is closed;
// no set, no pass, no reset. A station asks an idle port whether a device
// is there with it.
constexpr int32_t RunModeProbe = 5;

// The last line of a run of Mode that succeeded, and of one whose verification found the device otherwise.
const char *RunDoneLine(int32_t Mode);
const char *RunVerifyFailedLine(int32_t Mode);

// What the worker hands over. Each call returns only when the front end has
// done it (the window: a blocking queued call onto its own thread), and the
// worker never makes one between SendFrame and the end of WaitReply.
class TRunHost {
public:
    virtual ~TRunHost() = default;
    virtual void ShowLine(const std::string &Line) = 0; // UTF-8; appends one line to the log
    virtual void ShowProgress(int32_t Bytes) = 0;       // ProgressBytes as it stands
    virtual void RunFinished() = 0;                     // re-enable the run's buttons, clear RunInProgress
    // Beside the lines, for hosts that follow a run as values (the window
    // does not): the status at every progress, phase and failed try, and the
    // outcome once, right before RunFinished. Never between SendFrame and
    // the end of WaitReply.
    virtual void ShowStatus(const TRunStatus &) {}
    virtual void ShowOutcome(const TRunOutcome &) {}
};

// The preparation on the front end's own thread (the window's button handler).
class TRunFrontEnd : public TRunHost {
public:
    virtual void ClearLog() = 0;
    // Appends a line at once; Repaint asks for it to be visible before the next long step.
    virtual void AppendLine(const std::string &Line, bool Repaint) = 0;
    virtual void TakeSettings() = 0;                              // the window: FormToSettings
    virtual void ShowSettingsError(const std::string &Text) = 0;  // message box "Informacja", OK
    virtual int32_t ChosenPort() = 0;                             // item index of the port list
    // Progress reset to 0 of 8192, Button8..10 disabled, Timer1 enabled.
    virtual void BeginRun() = 0;
    // A device path that replaces COM n (the CLI's --port /dev/...); empty for COM n.
    virtual std::string ChosenDevicePath() { return {}; }
    virtual TRunOptions ChosenRunOptions() { return {}; }
};

extern int32_t RunMode;                   // 1 programming, 2 comparison, 3 read, 4 detailed comparison, 5 probe
extern std::atomic<int32_t> ProgressBytes; // bytes handled in the current pass, 0..8192
extern bool RunInProgress;                 // touched on the front end's thread only
// The device's bytes of the last read or detailed comparison, whole when its
// pass reached the end (ProgressBytes 8192). Read after WaitRunEnd.
extern uint8_t ReadImage[DeviceImageSize];

// Button8Click / Button9Click: the whole start of a run (a read run skips
// the preparation of the set: it opens the port at once). Returns false when
// the run did not start (a settings error). Waits first for the previous
// run's worker to let go of the port, the events and the frame state.
bool StartRun(TRunFrontEnd &FrontEnd, int32_t Mode);

// The command table's acceptance rules, on FrameBuffer after WaitReply gave
// Count for the block at Address. False means the try is repeated.
bool VersionReplyAccepted(int32_t Count);
bool WriteReplyAccepted(const uint8_t *FrameBuffer, int32_t Count, int32_t Address);
bool ReadReplyAccepted(const uint8_t *FrameBuffer, int32_t Count, int32_t Address, int32_t N); // against DeviceImage
bool ReadReplyValid(const uint8_t *FrameBuffer, int32_t Count, int32_t Address, int32_t N);    // echo and length only

// Waits until the worker of the last run has ended (at exit, in tests, in the CLI).
void WaitRunEnd();

// Asks the run under way, or the next one, to stop at its next safe point:
// between two frames, never inside an exchange. The run then closes its
// port and logs an empty line and "Przerwano.". Safe in a signal handler.
// The request holds for the rest of the process (the CLI's one run); the
// window never makes it.
void RequestRunStop();
