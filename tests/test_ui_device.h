// The simulated device behind the window's COMn in the run tests. On Linux
// the test starts trackwarden-sim on a pseudo-terminal linked as Sys/COMn of
// the window's folder. Under Wine the simulator is the native one on the
// same machine, with Wine's COMn linked to its pseudo-terminal; the test's
// wrapper script names its folder in TW_TEST_DEVICES and either started the
// devices before the test (and checks their memory once it has ended) or
// starts and stops each one when the test asks (cmake/windows-station-run.sh).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TTestDevice {
public:
    // A device of version 4.5.6 holding Memory (empty: a blank device),
    // with Options of trackwarden-sim's (--silent, --hang-up-after N).
    TTestDevice(const std::string &Folder, int Port, const std::vector<uint8_t> &Memory,
                const std::vector<std::string> &Options = {});
    ~TTestDevice();
    TTestDevice(const TTestDevice &) = delete;
    TTestDevice &operator=(const TTestDevice &) = delete;

    // Why the device is not there to run against; empty when it is.
    std::string Problem;
    // Its port as a run in another process names it: the link's path on
    // Linux (the child's program folder is not the test's), COMn under Wine.
    std::string Port;
    // Its memory once stopped (empty when it did not end cleanly); nullopt
    // where only the wrapper can see it.
    std::optional<std::vector<uint8_t>> StopAndReadMemory();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl; // the Linux device's process; none under Wine
};

// The name a run takes for the device behind COMn of the programs in Folder.
std::string TestDevicePort(const std::string &Folder, int Port);
