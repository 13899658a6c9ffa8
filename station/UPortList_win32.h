// What the Win32 port list reads from a device's registry key. Only
// UPortList_win32.cpp and the Windows tests look inside.
#pragma once

#include "UPortList.h"

#include <windows.h>

#include <string>

// An FTDI adapter's latency timer, kept by its driver as "LatencyTimer"
// (REG_DWORD) among the device parameters (Key), and above 1 ms the command
// that sets it there for the device instance Instance.
void ReadLatencyTimer(HKEY Key, const std::string &Instance, TSerialPortInfo &Info);
