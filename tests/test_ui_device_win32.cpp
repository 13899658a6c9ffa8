// The run tests' device under Wine: a native trackwarden-sim behind Wine's
// COMn. Where the wrapper takes requests (a "requests" file in
// TW_TEST_DEVICES), the test asks it to start and stop the device through
// files there; else the wrapper started the device before the test, holding
// what TW_TEST_DEVICES\deviceN.memory holds, and the test only checks that
// it is the device it asked for.
#include "test_ui_device.h"

#include "test_lines.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// The wrapper's answer: the file's content once it appears, else nullopt.
std::optional<std::string> AwaitFile(const std::string &Path, std::chrono::seconds Limit)
{
    const auto End = std::chrono::steady_clock::now() + Limit;
    while (!std::filesystem::exists(Path)) {
        if (std::chrono::steady_clock::now() > End)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::vector<uint8_t> Bytes = ReadBytes(Path);
    std::filesystem::remove(Path);
    return std::string(Bytes.begin(), Bytes.end());
}

// A request is an empty file, made once what it refers to is written.
void Request(const std::string &Path)
{
    std::ofstream{Path, std::ios::binary};
}

} // namespace

struct TTestDevice::TImpl {
    std::string Base; // TW_TEST_DEVICES\deviceN, when the wrapper takes requests
    bool Running = false;
    std::vector<uint8_t> Saved; // once stopped
};

std::string TestDevicePort(const std::string &, int Port)
{
    return "COM" + std::to_string(Port);
}

TTestDevice::TTestDevice(const std::string &Folder, int Port, const std::vector<uint8_t> &Memory,
                         const std::vector<std::string> &Options)
    : Impl(std::make_unique<TImpl>())
{
    const char *Devices = std::getenv("TW_TEST_DEVICES");
    const std::string Name = TestDevicePort(Folder, Port);
    this->Port = Name;
    if (Devices == nullptr || *Devices == '\0') {
        Problem = "TW_TEST_DEVICES is not set: run this test through its wrapper (cmake/windows-*-run.sh)";
        return;
    }
    if (std::filesystem::exists(std::string(Devices) + "\\requests")) {
        // deviceN: Windows reads COMn.anything as the port itself.
        Impl->Base = std::string(Devices) + "\\device" + std::to_string(Port);
        std::filesystem::remove(Impl->Base + ".memory");
        if (!Memory.empty())
            WriteBytes(Impl->Base + ".memory", Memory.data(), Memory.size());
        {
            std::ofstream Lines(Impl->Base + ".options", std::ios::binary);
            for (const std::string &Option : Options)
                Lines << Option << '\n';
        }
        Request(Impl->Base + ".start");
        const std::optional<std::string> Answer = AwaitFile(Impl->Base + ".ready", std::chrono::seconds(10));
        Impl->Running = Answer.has_value();
        if (Answer != "ok")
            Problem = "the wrapper started no device behind " + Name + (Answer ? ": " + *Answer : std::string());
        return;
    }
    if (!Options.empty()) {
        Problem = "the wrapper starts devices only with their memory";
        return;
    }
    const std::string File = std::string(Devices) + "\\device" + std::to_string(Port) + ".memory";
    if (!std::filesystem::exists(File))
        Problem = "the wrapper started no device behind " + Name;
    else if (ReadBytes(File) != Memory)
        Problem = "the device behind " + Name + " holds other memory than the test needs";
}

TTestDevice::~TTestDevice()
{
    StopAndReadMemory();
}

std::optional<std::vector<uint8_t>> TTestDevice::StopAndReadMemory()
{
    if (Impl->Base.empty())
        return std::nullopt;
    if (!Impl->Running)
        return Impl->Saved;
    Impl->Running = false;
    Request(Impl->Base + ".stop");
    // The simulator's exit status: only a clean end saved the memory.
    if (AwaitFile(Impl->Base + ".stopped", std::chrono::seconds(10)) == "0")
        Impl->Saved = ReadBytes(Impl->Base + ".saved");
    return Impl->Saved;
}
