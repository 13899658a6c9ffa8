// What a port is called: COM n or a device path, and the file a port's read
// is saved to. The COM ports are counted here once for the whole project.
#pragma once

#include <cstdint>
#include <string>

struct TComPorts {
    // The window's list: "BRAK", "COM1" ... "COM8".
    static constexpr int32_t Window = 8;
    // What --port takes: the window's on POSIX, where COM n is Sys/COMn or
    // /dev/ttyS(n-1); COM1 ... COM256 on Windows, where USB adapters commonly
    // get COM10 and above.
    int32_t Cli;
};
extern const TComPorts ComPorts; // UPortNames_<platform>.cpp

// COM1 ... COM<ComPorts.Cli> in any case, or a device path (a name with a
// '/'); Port and DevicePath as a run takes them. False for anything else.
bool ParsePort(const std::string &Text, int32_t &Port, std::string &DevicePath);

// The device a port name opens, the way a run opens it, in one form for
// every name of it: two names of one device give the same text.
std::string PortIdentity(const std::string &Given);

// The file a port's set (Extension ".set") or image (".img") gets in a
// read's folder: the port's last path component, with what a file name
// cannot hold replaced by '_'.
std::string PortFileName(const std::string &Port, const char *Extension);
