// The serial ports of the system and the Sys/COMn links beside the programs:
// what discovery found, and what it could not look at. The backends list
// them (UPortList_posix.cpp from sysfs, UPortList_win32.cpp from the registry).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string Name;         // what --port takes: /dev/ttyUSB0, COM5
    std::string StableName;   // /dev/serial/by-id/..., where there is one
    std::string Driver;
    std::string VendorProduct; // USB vendor:product, e.g. 0403:6001
    std::string Manufacturer, Product, Serial, Description;
    std::string LatencyTimer; // an FTDI adapter's latency timer in ms, where the system shows it
    std::string LatencyFix;   // the command that sets it to 1 ms, where it is above
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

struct TPortList {
    std::vector<TSerialPortInfo> Ports;
    // What could not be looked at: "/sys/class/tty: opendir: Permission denied".
    std::vector<std::string> Errors;
};
TPortList ListSerialPorts(const TPortsSystem &System);

// The ports a station offers: every port discovery finds, then each
// Sys/COMn link that points at none of them (a simulator's pseudo-terminal,
// a device discovery cannot see) while its target is there: named by the
// link's path, with COMn in ComLinks and its target as Description.
TPortList StationPorts(const TPortsSystem &System);

// One name per device, so that two names of one port compare equal.
std::string CanonicalDeviceName(const std::string &Name);
// The stable name (the by-id link on Linux) of the device a port name opens, else empty.
std::string StableDeviceName(const std::string &Port);

// Sys/COMn made to point at Device, a terminal device, or removed (Device
// empty). False, with the reason in Error, when refused or when it failed.
bool AssignComLink(const std::string &SysDir, int32_t Com, const std::string &Device, std::string &Error);
