// Request/reply frames over the run's port. A frame is its content and a
// checksum byte that makes all its bytes sum to 0 modulo 256; a reply ends
// when the line has been quiet for QuietTickCount ticks of the quiet timer.
//
// Threads: SendFrame and the waits on the run's worker, ReceiveByte on the
// serial receive thread, QuietTick on the tick source (the window's Timer1,
// or a TTicker). Shared state is atomic; its consistency rests on the order
// of the steps in each routine.
#pragma once

#include "UEvent.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

constexpr int32_t FrameBufferSize = 256;
constexpr int32_t ReceiveBufferSize = 256;
constexpr int32_t QuietTickCount = 5;
constexpr int32_t QuietTickIntervalMs = 10;

// Where SendFrame writes: the run's serial port, or a fake in tests.
class TFramePort {
public:
    virtual ~TFramePort() = default;
    virtual bool Write(const uint8_t *Data, int32_t Count) = 0;
};

extern std::atomic<TFramePort *> FramePort;
// Frames SendFrame has put out since the program started: front ends tell
// repeated tries from it (frames beyond one per block).
extern std::atomic<int32_t> FramesSent;

// Bytes beyond ReceiveBufferSize are dropped, but still keep the reply open.
extern std::atomic<uint8_t> ReceiveBuffer[ReceiveBufferSize];
extern std::atomic<int32_t> ReceivedCount;
extern std::atomic<bool> Receiving;
extern std::atomic<int32_t> QuietTicks;
// They live as long as the program, so a tick that races the end of a run
// never touches a freed event; a run starts with both reset.
extern TEvent ByteEvent;
extern TEvent ReplyEndEvent;

// Appends the checksum to the N content bytes of FrameBuffer (1..255), arms
// reception and writes N + 1 bytes to FramePort. Result: that of the write.
bool SendFrame(uint8_t *FrameBuffer, int32_t N);

// Waits up to TimeOutMs for the first reply byte, then without limit for the
// end of the reply; copies it over FrameBuffer. Result: content length of a
// reply with a valid checksum, else 0.
int32_t WaitReply(uint8_t *FrameBuffer, int32_t TimeOutMs);

// After WaitReply: whether any byte came back to the last request, valid or not.
bool ReplyArrived();

// The serial port's OnByte.
void ReceiveByte(uint8_t Byte);

// Timer1Timer: one tick of the quiet timer.
void QuietTick();

// Start and end of a run: nothing collected, no countdown, events reset.
void ResetFrameState();

// Fast exchange, the CLI's opt-in: a reply the run knows the length of ends
// the moment it is whole (that length, a valid checksum) once the line has
// stayed quiet for a gap after it; any other reply ends after the quiet
// time, measured on FrameClock rather than by ticks. While
// ExpectedReplyLength is 0 every exchange is the specified one.

// The frame layer's time in fast mode: the steady clock, or a script in tests.
class TFrameClock {
public:
    virtual ~TFrameClock() = default;
    virtual int64_t NowNs() = 0;
    // Returns at DeadlineNs, or earlier once Event is set.
    virtual void Wait(TEvent &Event, int64_t DeadlineNs) = 0;
    virtual void SleepUntil(int64_t DeadlineNs) = 0;
};
extern std::atomic<TFrameClock *> FrameClock;

// The quiet time of a fast exchange's reply that is not whole: five ticks.
constexpr int64_t FastQuietNs = int64_t{QuietTickCount} * QuietTickIntervalMs * 1000000;

// Bytes of the whole reply, checksum included, that the next request
// expects; set before SendFrame, 0 for the specified exchange.
extern std::atomic<int32_t> ExpectedReplyLength;
// When the last byte came, collected or not.
extern std::atomic<int64_t> LastByteNs;
// Bytes that came while no reply was being collected, since ClearLateInput.
extern std::atomic<int32_t> LateBytes;

// WaitReply of a request sent with ExpectedReplyLength set: the same
// result, the same copy over FrameBuffer, ended as said above. In such an
// exchange ReplyEndEvent is set when the reply reaches that length and
// when it passes it, so that the wait wakes for those bytes only.
int32_t WaitWholeReply(uint8_t *FrameBuffer, int32_t TimeOutMs, int64_t GapNs);

// Returns once no byte has come for GapNs.
void WaitLineQuiet(int64_t GapNs);

void ClearLateInput();

// A thread that calls QuietTick every QuietTickIntervalMs, for front ends
// without a window timer (the CLI, tests).
class TTicker {
public:
    TTicker();
    ~TTicker();
    TTicker(const TTicker &) = delete;
    TTicker &operator=(const TTicker &) = delete;

private:
    void Loop();
    std::mutex Lock;
    std::condition_variable Wake;
    bool Stopping = false;
    std::thread Thread;
};
