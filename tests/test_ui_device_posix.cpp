// The run tests' device on Linux: trackwarden-sim on a pseudo-terminal.
#include "test_ui_device.h"

#include "test_run_support.h"

struct TTestDevice::TImpl {
    std::string Saved;
    std::unique_ptr<TSimProcess> Sim;
};

TTestDevice::TTestDevice(const std::string &Folder, int Port, const std::vector<uint8_t> &Memory)
    : Impl(std::make_unique<TImpl>())
{
    const std::string Name = Folder + "COM" + std::to_string(Port);
    Impl->Saved = Name + ".saved";
    std::vector<std::string> Options = {"--version", "4.5.6", "--save", Impl->Saved};
    if (!Memory.empty()) {
        WriteBytes(Name + ".memory", Memory.data(), Memory.size());
        Options.insert(Options.end(), {"--memory", Name + ".memory"});
    }
    this->Port = Folder + "Sys/COM" + std::to_string(Port);
    Impl->Sim = std::make_unique<TSimProcess>(this->Port, Options);
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
