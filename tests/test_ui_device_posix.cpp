// The run tests' device on Linux: trackwarden-sim on a pseudo-terminal.
#include "test_ui_device.h"

#include "test_run_support.h"

struct TTestDevice::TImpl {
    std::string Saved;
    std::unique_ptr<TSimProcess> Sim;
};

std::string TestDevicePort(const std::string &Folder, int Port)
{
    return Folder + "Sys/COM" + std::to_string(Port);
}

TTestDevice::TTestDevice(const std::string &Folder, int Port, const std::vector<uint8_t> &Memory,
                         const std::vector<std::string> &Options)
    : Impl(std::make_unique<TImpl>())
{
    const std::string Name = Folder + "COM" + std::to_string(Port);
    Impl->Saved = Name + ".saved";
    std::vector<std::string> SimOptions = Options;
    SimOptions.insert(SimOptions.end(), {"--version", "4.5.6", "--save", Impl->Saved});
    if (!Memory.empty()) {
        WriteBytes(Name + ".memory", Memory.data(), Memory.size());
        SimOptions.insert(SimOptions.end(), {"--memory", Name + ".memory"});
    }
    this->Port = TestDevicePort(Folder, Port);
    Impl->Sim = std::make_unique<TSimProcess>(this->Port, SimOptions);
    if (!Impl->Sim->Ready)
        Problem = "trackwarden-sim did not start for COM" + std::to_string(Port);
}

TTestDevice::~TTestDevice() = default;

std::optional<std::vector<uint8_t>> TTestDevice::StopAndReadMemory()
{
    if (Impl->Sim->Stop() != 0)
        return std::vector<uint8_t>{}; // never equal to an image
    return ReadBytes(Impl->Saved);
}
