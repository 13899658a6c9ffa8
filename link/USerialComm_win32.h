// The Win32 members behind TPortHandle: the port, the receive thread's four
// events and its three overlapped operations. Only USerialComm_win32.cpp and
// the Windows tests look inside.
#pragma once

#include "USerialComm.h"

#include <windows.h>

// winspool.h maps ConfigurePort to ConfigurePortA; ours is the backend operation.
#undef ConfigurePort

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
};

// The Win32 thread priority of a Priority code -3..3.
int Win32ThreadPriority(int32_t Priority);
