// Runs in fast mode against the simulator: the same lines, results and
// blocks as the specified timing, apart from the line of a fallback, in a
// fraction of its time.
#include "test_run_support.h"

#include "UProcs.h"
#include "URunLines.h"

#include <algorithm>

namespace {

using TLines = std::vector<std::string>;

enum class TMemory { Zero, Image };

struct TFastRunRow {
    const char *Name;
    std::vector<std::string> SimOptions;
    TMemory Memory;
    int32_t Mode;
    TLines Lines;          // as the specified timing logs them
    const char *FastAfter; // the fallback line follows this one; nullptr: no fallback
    TRunResult Result;
    int32_t FailedAddress;
    // Request -> how many times the simulator must have seen it.
    std::vector<std::pair<std::string, int>> Requests;
    double MaxSeconds;
};

const std::string Version = std::string(LineVersion) + "\"1.2.3\".";
const TLines Connected = {LineOpenPort, LinePortOpen, LineConnecting, Version};
const TLines CompareFails = Join(Connected, {LineVerifying, "", LineCompareFailed, "", LineEnd});
const std::string VersionRequest = "> 01 FF";
const std::string ReadBlock0 = "> 02 00 00 20 DE";
const std::string ResetRequest = "> 04 FC";

const TFastRunRow Rows[] = {
    {"Compare", {}, TMemory::Image, RunModeCompare, Join(Connected, {LineVerifying, LineReset, "", LineCompareDone}),
     nullptr, TRunResult::Ok, -1, {{ReadBlock0, 1}, {ResetRequest, 5}}, 4},
    {"Program", {}, TMemory::Zero, RunModeProgram,
     Join(Connected, {LineProgramming, LineVerifying, LineReset, "", LineProgramDone}), nullptr, TRunResult::Ok, -1,
     {{ReadBlock0, 1}, {ResetRequest, 5}}, 6},
    // The echo's length is learned from the first: a 2-byte echo ends by its length too.
    {"ShortEcho", {"--short-write-reply"}, TMemory::Zero, RunModeProgram,
     Join(Connected, {LineProgramming, LineVerifying, LineReset, "", LineProgramDone}), nullptr, TRunResult::Ok, -1,
     {}, 6},
    // What a real line does to the timing.
    {"Wire", {"--wire"}, TMemory::Image, RunModeCompare,
     Join(Connected, {LineVerifying, LineReset, "", LineCompareDone}), nullptr, TRunResult::Ok, -1,
     {{ReadBlock0, 1}}, 4},
    {"DeviceTimes", {"--wire", "--write-ms", "4", "--read-ms", "2"}, TMemory::Zero, RunModeProgram,
     Join(Connected, {LineProgramming, LineVerifying, LineReset, "", LineProgramDone}), nullptr, TRunResult::Ok, -1,
     {{ReadBlock0, 1}}, 8},
    {"AdapterLatency", {"--wire", "--latency", "8"}, TMemory::Image, RunModeCompare,
     Join(Connected, {LineVerifying, LineReset, "", LineCompareDone}), nullptr, TRunResult::Ok, -1,
     {{ReadBlock0, 1}}, 6},
    // A device deaf after each reply loses a request sent after the gap: one
    // try is lost, then the specified timing, whose quiet time it hears.
    {"DeafDevice", {"--wire", "--deaf-ms", "5", "--corrupt-byte", "96"}, TMemory::Image, RunModeCompare, CompareFails,
     LineVerifying, TRunResult::Verify, 96, {{ReadBlock0, 1}, {"> 02 00 60 20 7E", 10}}, 3.5},
    // Zeros after each reply keep it from being whole: as specified, no version reply is taken.
    {"TrailingBytes", {"--wire", "--trailing", "2"}, TMemory::Image, RunModeCompare,
     {LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}, LineConnecting,
     TRunResult::NoReply, -1, {{VersionRequest, 11}}, 3.5},
    // The failed fast try is one more: the block still gets its ten specified ones.
    {"CorruptedByte", {"--corrupt-byte", "64"}, TMemory::Image, RunModeCompare, CompareFails, LineVerifying,
     TRunResult::Verify, 64, {{"> 02 00 40 20 9E", 11}, {ResetRequest, 0}}, 3.5},
    {"VersionOfFourBytes", {"--version-length", "4", "--version-faults", "2"}, TMemory::Zero, RunModeCompare,
     CompareFails, LineConnecting, TRunResult::Verify, 0, {{VersionRequest, 3}, {ReadBlock0, 10}}, 3.5},
    {"SilentDevice", {"--silent"}, TMemory::Zero, RunModeCompare,
     {LineOpenPort, LinePortOpen, LineConnecting, "", LineNoReply, "", LineEnd}, LineConnecting,
     TRunResult::NoReply, -1, {{VersionRequest, 11}}, 3.5},
};

class FastRunTest : public TRunRowTest<TFastRunRow> {};

TEST_P(FastRunTest, AsSpecifiedButFaster)
{
    const TFastRunRow &Row = GetParam();
    EncodeDeviceImage();
    std::vector<std::string> Options = Row.SimOptions;
    if (Row.Memory == TMemory::Image) {
        WriteBytes(Folder.Path + "memory.bin", DeviceImage, DeviceImageSize);
        Options.insert(Options.end(), {"--memory", Folder.Path + "memory.bin"});
    }
    const std::string SimLog = Folder.Path + "sim.log", Saved = Folder.Path + "saved.bin";
    Options.insert(Options.end(), {"--log", SimLog, "--save", Saved});
    TSimProcess Sim(Folder.Path + "Sys/COM1", Options);
    ASSERT_TRUE(Sim.Ready);

    TRecordingFrontEnd FrontEnd;
    FrontEnd.Port = 1;
    FrontEnd.Options.Fast = true;
    const auto Start = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartRun(FrontEnd, Row.Mode));
    FrontEnd.Finish();
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();

    TLines Lines = FrontEnd.Lines();
    const auto FastLine = std::find(Lines.begin(), Lines.end(), LineFastOff);
    if (Row.FastAfter == nullptr) {
        EXPECT_EQ(FastLine, Lines.end());
        EXPECT_EQ(FrontEnd.Outcome.Fast, TFastExchange::On);
    } else {
        ASSERT_NE(FastLine, Lines.end());
        EXPECT_EQ(*(FastLine - 1), Row.FastAfter);
        EXPECT_EQ(std::count(Lines.begin(), Lines.end(), LineFastOff), 1);
        Lines.erase(FastLine);
        EXPECT_EQ(FrontEnd.Outcome.Fast, TFastExchange::Fallback);
    }
    EXPECT_EQ(Lines, Row.Lines);
    EXPECT_EQ(FrontEnd.Outcome.Result, Row.Result);
    EXPECT_EQ(FrontEnd.Outcome.FailedAddress, Row.FailedAddress);
    EXPECT_TRUE(FrontEnd.FinishedLast());
    EXPECT_LE(Seconds, Row.MaxSeconds);
    std::printf("%s: %.2f s\n", Row.Name, Seconds);

    ASSERT_EQ(Sim.Stop(), 0);
    const TLines Log = ReadLines(SimLog);
    for (const auto &[Request, Count] : Row.Requests) {
        EXPECT_EQ(std::count(Log.begin(), Log.end(), Request), Count) << Request;
    }
    if (Row.Mode == RunModeProgram && Row.Result == TRunResult::Ok) {
        const std::vector<uint8_t> Memory = ReadBytes(Saved);
        ASSERT_EQ(Memory.size(), DeviceImageSize);
        EXPECT_TRUE(std::equal(Memory.begin(), Memory.end(), DeviceImage));
    }
}

INSTANTIATE_TEST_SUITE_P(Fast, FastRunTest, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
