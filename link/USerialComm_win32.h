// The Win32 members behind TPortHandle: the port, the receive thread's four
// events and its three overlapped operations. Only USerialComm_win32.cpp and
// the Windows tests look inside.
#pragma once

#include "USerialComm.h"

#include <windows.h>

// winspool.h maps ConfigurePort to ConfigurePortA; ours is the backend operation.
#undef ConfigurePort

// Holds the system timer at 1 ms while a port is open. Windows otherwise
// wakes waiting threads on its 15.6 ms tick, and the quiet timer (the
// ticker's timed waits, the window's Timer1) would end each reply after
// 5 x 15.6 ms instead of 5 x 10 ms: a programming run would take about
// 40 s instead of 27 s. A run keeps its port open from first frame to last.
class TTimerResolution {
public:
    TTimerResolution() = default;
    ~TTimerResolution() { Restore(); }
    TTimerResolution(const TTimerResolution &) = delete;
    TTimerResolution &operator=(const TTimerResolution &) = delete;
    void Raise();   // timeBeginPeriod(1), once
    void Restore(); // its timeEndPeriod(1), once
    bool Raised() const { return IsRaised; }

private:
    bool IsRaised = false;
};

enum TWaitIndex : DWORD { WaitRead, WaitWrite, WaitComm, WaitStop, WaitHandleCount };

struct TSerialPortImpl {
    HANDLE Port = INVALID_HANDLE_VALUE;
    // Read done, write done, communication event, stop: manual-reset, unnamed.
    HANDLE WaitHandles[WaitHandleCount] = {};
    DWORD WaitResult = 0;
    DWORD EventMask = 0;
    DWORD BytesRead = 0;
    DWORD BytesWritten = 0;
    OVERLAPPED ReadOverlapped = {};
    OVERLAPPED WriteOverlapped = {};
    OVERLAPPED CommOverlapped = {};
    // The one-byte receive buffer. It lives here rather than on the receive
    // thread's stack, since the system may still complete a read into it
    // while the thread is leaving.
    uint8_t ReadByte = 0;
    // An overlapped operation could not be cancelled: the structure and
    // its events outlive the port.
    bool Stuck = false;
    // Raised while Port is open; restored when it is closed, even if the
    // structure itself has to outlive it.
    TTimerResolution Timer;
};

// The Win32 thread priority of a Priority code -3..3.
int Win32ThreadPriority(int32_t Priority);
