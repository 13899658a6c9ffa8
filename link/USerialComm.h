// One serial port, opened exclusively, written without waiting, read on a
// receive thread of its own that hands every byte to OnByte in arrival order.
// The platform binding lives in USerialComm_<platform>.cpp behind
// TSerialPortImpl, which only the backend defines.
#pragma once

#include "UFrames.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

using TOnByte = void (*)(uint8_t Byte);

struct TSerialPortImpl;
using TPortHandle = TSerialPortImpl *;

class TSerialCommThread {
public:
    enum TState : int32_t { Starting, Reading, Failed, Stopped };

    TPortHandle Handle = nullptr;
    TOnByte OnByte = nullptr;
    // True from the moment the first read is pending until the port has been closed.
    std::atomic<bool> Running{false};
    int32_t Priority = 0;
    // Whether the backend may hold back a little to read bytes in batches.
    std::atomic<bool> Batching{true};

    // Called on the receive thread by the backend's Execute.
    void SetState(TState NewState);
    // Waits until the thread has left Starting, at most TimeOutMs.
    TState WaitStarted(int32_t TimeOutMs);

    void Execute(); // backend

private:
    std::mutex Lock;
    std::condition_variable Changed;
    TState State = Starting;
};

class TSerialComm : public TFramePort {
public:
    TPortHandle Handle = nullptr;
    TSerialCommThread *Thread = nullptr;
    uint8_t *WriteBuffer = nullptr;
    int32_t Port = 0;
    int32_t BaudRate = 0;
    int32_t ByteSize = 0;
    int32_t Parity = 0;   // 0 none, 1 odd, 2 even (3 mark, 4 space where supported)
    int32_t StopBits = 0; // 0 one, 1 one and a half (taken as two here), 2 two
    uint32_t Flags = 0;
    int32_t Priority = 0; // -3 idle .. 3 time-critical
    int32_t BufferSize = 0;
    TOnByte OnByte = nullptr;
    // Replaces COM Port when not empty (a device path such as /dev/ttyUSB0).
    std::string DevicePath;
    // Reading in batches saves wake-ups on a busy line but holds each batch
    // back a little; a fast exchange turns it off (SetBatching while open).
    bool Batching = true;
    // Why the last Open failed: the name, the system call and the system's
    // reason ("/dev/ttyS0: open: Permission denied"); empty after a success.
    std::string Error;

    TSerialComm() = default;
    ~TSerialComm() override;
    TSerialComm(const TSerialComm &) = delete;
    TSerialComm &operator=(const TSerialComm &) = delete;

    bool Open();
    bool Close();
    // Count above BufferSize is refused.
    bool Write(const uint8_t *Data, int32_t Count) override;
    void SetBatching(bool On);

    // The name OpenDevice opens for Port: the device path form, or the plain one.
    std::string DeviceName(bool UseDevicePath) const; // backend

private:
    void OpenDevice(bool UseDevicePath); // backend
    void ReleaseOpening();
    std::thread Worker;
};

// The line of a run: 115200 baud, 8 data bits, no parity, one stop bit,
// only fBinary set, the receive thread above normal, a 256-byte write buffer.
void SetRunLineSettings(TSerialComm &Comm);

// Per-byte write time-out: a ten-bit character in whole milliseconds, plus one.
int32_t WriteTimeoutPerByte(int32_t BaudRate);

// True when Name is the terminal the process runs in (its controlling
// terminal, /dev/tty, or the terminal of its standard streams): the user's
// screen, never a device's port. Open refuses it.
bool IsControllingTerminal(const std::string &Name); // backend

// How long Open waits for the receive thread's first read.
constexpr int32_t ReceiveStartTimeoutMs = 2000;

// "call: reason" for the calling thread's last system error (errno, GetLastError).
std::string SystemError(const char *Call); // backend

// What each backend provides. TSerialComm::OpenDevice fills Handle (or
// leaves it null) and DeviceName names what it opens. The receive thread's
// Execute sets Running and the state Reading once its first read is pending
// (Failed if that cannot be), hands each byte to OnByte in order, stops
// reading after a failed read rather than retrying it, and on the stop
// purges and closes the port (ClosePortHandle), clears Running and sets
// Stopped. The owner frees the handle after the thread has ended. Closing
// gives the port back with the line settings it had before ConfigurePort.
bool ConfigurePort(TSerialComm &Comm);          // line settings and time-outs of Comm.Handle
void ClosePortHandle(TPortHandle Handle);        // purges both directions and closes the port (idempotent)
void FreePortHandle(TPortHandle Handle);         // releases what is left, once the receive thread has ended
void StopReceiveThread(TPortHandle Handle);      // asks Execute to leave its loop
bool WritePort(TPortHandle Handle, const uint8_t *Data, int32_t Count, int32_t TimeoutPerByteMs);
void SetReceivePriority(int32_t Priority);       // on the calling thread; best effort
