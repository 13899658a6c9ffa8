// The run tests' device under Wine: a native trackwarden-sim that the
// wrapper started behind Wine's COMn, holding what TW_TEST_DEVICES\COMn.memory
// holds. The test only checks that it is the device it asked for.
#include "test_ui_device.h"

#include "test_lines.h"

#include <cstdlib>
#include <filesystem>

struct TTestDevice::TImpl {};

TTestDevice::TTestDevice(const std::string &, int Port, const std::vector<uint8_t> &Memory)
{
    const char *Devices = std::getenv("TW_TEST_DEVICES");
    const std::string Name = "COM" + std::to_string(Port);
    this->Port = Name;
    if (Devices == nullptr || *Devices == '\0') {
        Problem = "TW_TEST_DEVICES is not set: run this test through cmake/windows-ui-run.sh";
        return;
    }
    const std::string File = std::string(Devices) + "\\device" + std::to_string(Port) + ".memory";
    if (!std::filesystem::exists(File))
        Problem = "the wrapper started no device behind " + Name;
    else if (ReadBytes(File) != Memory)
        Problem = "the device behind " + Name + " holds other memory than the test needs";
}

TTestDevice::~TTestDevice() = default;

std::optional<std::vector<uint8_t>> TTestDevice::StopAndReadMemory() { return std::nullopt; }
