// The serial ports of the system and the Sys/COMn links beside the
// programs. Listing and naming are the backends' (CliPorts_posix.cpp from
// sysfs, CliPorts_win32.cpp from the registry); CliPorts.cpp prints them.
#pragma once

#include "CliCommands.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string Name;         // what --port takes: /dev/ttyUSB0, COM5
    std::string StableName;   // /dev/serial/by-id/..., where there is one
    std::string Driver;
    std::string VendorProduct; // USB vendor:product, e.g. 0403:6001
    std::string Manufacturer, Product, Serial, Description;
    std::string LatencyTimer; // an FTDI adapter's latency timer in ms, where the system shows it
    bool MayOpen = true;
    std::string AccessFix;    // the command that lets this user open it
    std::string Holder;       // "1234 (minicom)", where another program holds it
    std::vector<std::string> ComLinks; // "COM1" for every Sys/COM1 that points to it
};

// Where the backend looks, and as whom; tests point the roots at fake trees.
struct TPortsSystem {
    std::string SysRoot = "/sys";
    std::string DevRoot = "/dev";
    std::string ProcRoot = "/proc";
    std::string SysDir;          // the programs' Sys folder, with its separator
    uint32_t Uid = 0;
    std::vector<uint32_t> Groups; // the user's groups, the primary one included
    std::string UserName;
    bool FindHolders = true;     // scanning every process is the slow part
};
TPortsSystem CurrentPortsSystem();

std::vector<TSerialPortInfo> ListSerialPorts(const TPortsSystem &System);

// One name per device, so that two names of one port compare equal.
std::string CanonicalDeviceName(const std::string &Name);
// The device's stable name (by-id link on Linux), else empty.
std::string StableDeviceName(const std::string &Port);

// The port's line as `ports` prints it; every port, or the line that says there is none.
std::string DescribePort(const TSerialPortInfo &Port);
void PrintPorts(const std::vector<TSerialPortInfo> &Ports, FILE *To);

// ports --assign COMn DEVICE | --none (empty Device): Sys/COMn made to point
// at DEVICE, a terminal device, or removed. Complains and returns false when refused.
bool AssignComLink(const std::string &SysDir, int32_t Com, const std::string &Device);

int CliPorts(const TCliArgs &Args);
