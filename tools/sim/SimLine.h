// What a real line does to the timing between the simulated device and the
// program at the other end: the wire's pace at the line's baud rate in both
// directions, the device's processing time, a USB adapter's latency timer,
// a device deaf for a while after each reply, bytes trailing a reply.
// Times are nanoseconds on a clock the caller reads; no I/O here.
#pragma once

#include "SimDevice.h"

#include <cstdint>
#include <deque>
#include <vector>

struct TSimTiming {
    bool Wire = false;     // bytes take their time on the wire, both ways
    int32_t DelayMs = 2;   // before a reply
    int32_t WriteMs = -1;  // before a written block's echo; -1: DelayMs
    int32_t ReadMs = -1;   // before a read block's reply; -1: DelayMs
    int32_t LatencyMs = 0; // reply bytes held until the adapter's timer runs out; 0: none
    int32_t DeafMs = 0;    // bytes that end within this time after a reply are lost
    int32_t Trailing = 0;  // zero bytes sent right after every reply
};

// Something the device does on the line once its time has come.
struct TSimOutput {
    int64_t DueNs = 0;
    std::vector<uint8_t> Bytes; // to write
    std::vector<uint8_t> Reply; // on the last part of a reply: the whole reply, for the log
    bool Flood = false;
    bool HangUp = false;
};

// What the device heard: a whole request, or bytes lost while it was deaf.
struct TSimHeard {
    int64_t AtNs = 0; // when its last byte was in
    std::vector<uint8_t> Bytes;
    bool Lost = false;
};

// An FTDI adapter sends what it holds when the timer runs out or when a
// 64-byte USB packet (62 bytes and 2 of status) is full.
constexpr size_t SimAdapterPacket = 62;

class TSimLine {
public:
    TSimLine(TSimDevice &Device, const TSimTiming &Timing);

    // The line's speed as the terminal is set now; a character is its start
    // bit, data bits, parity bit and stop bits.
    void SetLine(int32_t Baud, int32_t BitsPerCharacter);
    int64_t CharacterNs() const { return CharNs; }

    // Bytes the other end wrote, seen at Now.
    void Receive(int64_t NowNs, const uint8_t *Data, size_t Count, std::vector<TSimHeard> &Heard);
    // The line has been idle: the device drops a byte of an incomplete frame.
    void Idle(int64_t NowNs, std::vector<TSimHeard> &Heard);

    // The earliest due time of what is queued, or -1 when nothing is.
    int64_t NextDue() const;
    // What is due at Now, in order.
    std::vector<TSimOutput> TakeDue(int64_t NowNs);
    // A flood or a write ran late: the device's transmitter was busy until then.
    void BusyUntil(int64_t NowNs);

private:
    void Schedule(const TSimAction &Action, int64_t HeardNs);
    void Queue(TSimOutput Output);
    int64_t Delivered(int64_t WireEndNs) const;

    TSimDevice &Device;
    TSimTiming Timing;
    int64_t CharNs = 0;    // 0 without the wire's pace
    int64_t InEndNs = 0;   // the last received byte's end on the wire
    int64_t OutEndNs = 0;  // the device's transmitter is busy until then
    int64_t DeafFromNs = 0, DeafToNs = 0;
    int64_t LastDueNs = 0; // of the last output queued: they go out in order
    std::deque<TSimOutput> Pending;
};
