// The simulated device behind the window's COMn in the run tests. On Linux
// the test starts trackwarden-sim on a pseudo-terminal linked as Sys/COMn of
// the window's folder. Under Wine the simulator is the native one on the
// same machine, started by the test's wrapper script before the test, with
// Wine's COMn linked to its pseudo-terminal; the wrapper names its devices in
// TW_TEST_DEVICES, and checks their memory once the test has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TTestDevice {
public:
    // A device of version 4.5.6 holding Memory (empty: a blank device).
    TTestDevice(const std::string &Folder, int Port, const std::vector<uint8_t> &Memory);
    ~TTestDevice();
    TTestDevice(const TTestDevice &) = delete;
    TTestDevice &operator=(const TTestDevice &) = delete;

    // Why the device is not there to run against; empty when it is.
    std::string Problem;
    // Its port as a run in another process names it: the link's path on
    // Linux (the child's program folder is not the test's), COMn under Wine.
    std::string Port;
    // Its memory once stopped; nullopt where only the wrapper can see it.
    std::optional<std::vector<uint8_t>> StopAndReadMemory();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl; // the Linux device's process; none under Wine
};
