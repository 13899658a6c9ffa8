// Every fault the simulator can show, through trackwarden-cli program and
// compare: the log each run gives, its exit status, and what the device's
// memory holds afterwards (a comparison never writes; a failed programming
// run leaves the device written only up to the block that failed).
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

namespace {

using TLines = std::vector<std::string>;

enum class TMemory { Zero, Image };

struct TDeviceRow {
    const char *Name;
    std::vector<std::string> SimOptions;
    const char *Command; // "program" or "compare"
    TMemory Memory;
    TLines Lines;        // stdout: the run's log
    int Status;
    int32_t WrittenBytes; // image bytes the device holds from offset 0 afterwards; the rest is as before
    double MaxSeconds;
};

const std::string Version = std::string(LineVersion) + "\"1.2.3\".";
const TLines Connected = {LineOpenPort, LinePortOpen, LineConnecting, Version};
const TLines NoDevice = {LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd};

TLines Then(TLines Head, const TLines &Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

const TLines CompareFails = Then(Connected, {LineVerifying, "", LineCompareFailed, "", LineEnd});
const TLines WriteFails = Then(Connected, {LineProgramming, "", LineWriteFailed, "", LineEnd});

const TDeviceRow DeviceRows[] = {
    {"Silent", {"--silent"}, "compare", TMemory::Image, NoDevice, 1, 0, 4},
    {"VersionAlwaysTwoBytes", {"--version-length", "2"}, "program", TMemory::Zero, NoDevice, 1, 0, 5},
    {"VersionFourBytesTwice", {"--version-length", "4", "--version-faults", "2"}, "compare", TMemory::Zero,
     CompareFails, 1, 0, 5},
    {"EveryChecksumBad", {"--bad-checksum-every", "1"}, "program", TMemory::Zero, NoDevice, 1, 0, 5},
    // Every second reply is bad: each block needs a retry, the corrupt byte then ends it early.
    {"EverySecondChecksumBad", {"--bad-checksum-every", "2", "--corrupt-byte", "40"}, "compare", TMemory::Image,
     CompareFails, 1, 0, 6},
    {"WrongEcho", {"--wrong-echo"}, "program", TMemory::Zero, WriteFails, 1, 32, 5},
    {"ShortWriteReplyThenHangUp", {"--short-write-reply", "--hang-up-after", "3"}, "program", TMemory::Zero,
     WriteFails, 1, 64, 6},
    {"CorruptByteOnRead", {"--corrupt-byte", "100"}, "compare", TMemory::Image, CompareFails, 1, 0, 5},
    {"FirstRequestsIgnored", {"--ignore", "3"}, "compare", TMemory::Zero, CompareFails, 1, 0, 5},
    {"FloodThenAnswers", {"--flood", "300"}, "compare", TMemory::Zero, CompareFails, 1, 0, 6},
    {"HangUpAfterVersion", {"--hang-up-after", "1"}, "program", TMemory::Zero, WriteFails, 1, 0, 6},
    {"OtherVersionSlowReplies", {"--version", "7.8.9", "--delay", "30"}, "compare", TMemory::Zero,
     {LineOpenPort, LinePortOpen, LineConnecting, std::string(LineVersion) + "\"7.8.9\".", LineVerifying, "",
      LineCompareFailed, "", LineEnd},
     1, 0, 6},
};

class DeviceFaultTest : public ::testing::TestWithParam<TDeviceRow> {
protected:
    TProgramFolder Folder;
};

TEST_P(DeviceFaultTest, LogStatusAndDeviceMemory)
{
    const TDeviceRow &Row = GetParam();
    SetDefaultSettings();
    EncodeDeviceImage();
    const std::string SetPath = Folder.Path + "a.set";
    WriteBytes(SetPath, &Settings, SettingsSize);
    const std::vector<uint8_t> Image(DeviceImage, DeviceImage + DeviceImageSize);

    std::vector<uint8_t> Before(DeviceImageSize, 0);
    if (Row.Memory == TMemory::Image)
        Before = Image;
    const std::string MemoryPath = Folder.Path + "memory.bin", SavedPath = Folder.Path + "saved.bin";
    WriteBytes(MemoryPath, Before.data(), Before.size());
    std::vector<std::string> Options = Row.SimOptions;
    Options.insert(Options.end(), {"--memory", MemoryPath, "--save", SavedPath});
    const std::string Link = Folder.Path + "Sys/COM1";
    TSimProcess Sim(Link, Options);
    ASSERT_TRUE(Sim.Ready);

    const auto Start = std::chrono::steady_clock::now();
    const TProgramResult Run = RunProgram("trackwarden-cli", {Row.Command, SetPath, "--port", Link}, Folder.Path);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Sim.Stop();

    EXPECT_EQ(Run.Out, JoinLines(Row.Lines)) << Run.Err;
    EXPECT_EQ(Run.Status, Row.Status);
    EXPECT_LE(Seconds, Row.MaxSeconds);
    EXPECT_EQ(ReadBytes(SetPath), std::vector<uint8_t>(reinterpret_cast<const uint8_t *>(&Settings),
                                                       reinterpret_cast<const uint8_t *>(&Settings) + SettingsSize));

    std::vector<uint8_t> Expected = Before;
    std::copy(Image.begin(), Image.begin() + Row.WrittenBytes, Expected.begin());
    EXPECT_EQ(ReadBytes(SavedPath), Expected) << "device memory after the run";
}

INSTANTIATE_TEST_SUITE_P(Faults, DeviceFaultTest, ::testing::ValuesIn(DeviceRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// No device at the path: the port line only, and the set stays as it was.
TEST(DeviceFaultTest, PortThatIsNotThere)
{
    TProgramFolder Folder;
    SetDefaultSettings();
    const std::string SetPath = Folder.Path + "a.set";
    WriteBytes(SetPath, &Settings, SettingsSize);
    const TProgramResult Run =
        RunProgram("trackwarden-cli", {"compare", SetPath, "--port", Folder.Path + "Sys/COM7"}, Folder.Path);
    EXPECT_EQ(Run.Out, JoinLines({LineOpenPort, "", LinePortFailed}));
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(ReadBytes(SetPath).size(), SettingsSize);
}

} // namespace
