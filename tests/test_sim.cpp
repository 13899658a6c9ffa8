// The simulated device's framing and answers, without a terminal.
#include "SimDevice.h"
#include "SimLine.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Frame(TBytes Content)
{
    uint8_t Sum = 0;
    for (uint8_t Byte : Content)
        Sum = static_cast<uint8_t>(Sum + Byte);
    Content.push_back(static_cast<uint8_t>(256 - Sum));
    return Content;
}

TBytes Concat(std::initializer_list<TBytes> Parts)
{
    TBytes Out;
    for (const TBytes &Part : Parts)
        Out.insert(Out.end(), Part.begin(), Part.end());
    return Out;
}

const TBytes WakeUp = {0x5C, 0x69, 0x5C, 0x69};
const TBytes Version = {0x01, 0xFF};
const TBytes Reset = {0x04, 0xFC};

TBytes WriteBlock(uint16_t Address, uint8_t Fill)
{
    TBytes Content = {0x03, static_cast<uint8_t>(Address >> 8), static_cast<uint8_t>(Address), 4, Fill,
                      static_cast<uint8_t>(Fill + 1), static_cast<uint8_t>(Fill + 2), static_cast<uint8_t>(Fill + 3)};
    return Frame(Content);
}

TBytes ReadBlock(uint16_t Address, uint8_t Count = 4)
{
    return Frame({0x02, static_cast<uint8_t>(Address >> 8), static_cast<uint8_t>(Address), Count});
}

struct TSimRow {
    const char *Name;
    std::function<void(TSimOptions &)> Options;
    TBytes Input;
    std::vector<std::string> Replies; // one per request, "" for none
    size_t Skipped;
};

const TSimRow Rows[] = {
    {"WakeUpSkipped", {}, Concat({WakeUp, Version}), {"01 02 03 FA"}, 4},
    {"GarbageBeforeAFrame", {}, Concat({{0xFF, 0x00, 0x01}, Version}), {"01 02 03 FA"}, 3},
    {"BadChecksumSkipped", {}, Concat({{0x02, 0x00, 0x00, 0x04, 0x00}, Version}), {"01 02 03 FA"}, 5},
    {"OutsideTheMemory", {}, Concat({ReadBlock(0x1FFE), Version}), {"01 02 03 FA"}, 5},
    {"WriteThenReadBack", {}, Concat({WriteBlock(0x0120, 0x10), ReadBlock(0x0120), ReadBlock(0x0122)}),
     {"03 01 20 DC", "02 01 20 10 11 12 13 97", "02 01 22 12 13 00 00 B6"}, 0},
    {"ResetHasNoReply", {}, Concat({Reset, Version}), {"", "01 02 03 FA"}, 0},
    {"OtherVersion", [](TSimOptions &O) { O.Version[0] = 7; O.Version[2] = 12; }, Version, {"07 02 0C EB"}, 0},
    {"VersionOfTwoBytesThenRight", [](TSimOptions &O) { O.VersionLength = 2; O.VersionFaults = 1; },
     Concat({Version, Version}), {"01 02 FD", "01 02 03 FA"}, 0},
    {"VersionOfFourBytes", [](TSimOptions &O) { O.VersionLength = 4; }, Version, {"01 02 03 00 FA"}, 0},
    {"Silent", [](TSimOptions &O) { O.Silent = true; }, Concat({Version, ReadBlock(0)}), {"", ""}, 0},
    {"IgnoreFirst", [](TSimOptions &O) { O.IgnoreFirst = 1; }, Concat({Version, Version}), {"", "01 02 03 FA"}, 0},
    {"BadChecksumEverySecond", [](TSimOptions &O) { O.BadChecksumEvery = 2; },
     Concat({Version, Version, Version}), {"01 02 03 FA", "01 02 03 FB", "01 02 03 FA"}, 0},
    {"WrongEcho", [](TSimOptions &O) { O.WrongEcho = true; }, Concat({WriteBlock(0, 1), ReadBlock(0, 1)}),
     {"83 00 00 7D", "82 00 00 01 7D"}, 0},
    {"ShortWriteReply", [](TSimOptions &O) { O.ShortWriteReply = true; }, WriteBlock(0x40, 0), {"03 FD"}, 0},
    {"CorruptByte", [](TSimOptions &O) { O.CorruptAddress = 2; }, ReadBlock(0), {"02 00 00 00 00 FF 00 FF"}, 0},
};

class SimDeviceTest : public ::testing::TestWithParam<TSimRow> {};

// Fed at once and fed byte by byte, the device answers alike.
TEST_P(SimDeviceTest, Answers)
{
    const TSimRow &Row = GetParam();
    for (bool ByteByByte : {false, true}) {
        TSimOptions Options;
        if (Row.Options)
            Row.Options(Options);
        TSimDevice Device(Options);
        std::vector<TSimAction> Actions;
        if (ByteByByte) {
            for (uint8_t Byte : Row.Input)
                Device.Feed(&Byte, 1, Actions);
        } else {
            Device.Feed(Row.Input.data(), Row.Input.size(), Actions);
        }
        std::vector<std::string> Replies;
        for (const TSimAction &A : Actions)
            Replies.push_back(HexBytes(A.Reply));
        EXPECT_EQ(Replies, Row.Replies) << (ByteByByte ? "byte by byte" : "at once");
        EXPECT_EQ(Device.SkippedBytes, Row.Skipped);
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimDeviceTest, ::testing::ValuesIn(Rows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(SimDeviceIdleTest, IncompleteFrameIsDroppedWhenTheLineIdles)
{
    TSimDevice Device(TSimOptions{});
    std::vector<TSimAction> Actions;
    const TBytes Broken = {0x03, 0x00, 0x00, 0x20, 0x55};
    Device.Feed(Broken.data(), Broken.size(), Actions);
    EXPECT_TRUE(Actions.empty());
    for (int I = 0; I < 5 && Device.SkippedBytes < Broken.size(); ++I)
        Device.Idle(Actions);
    EXPECT_EQ(Device.SkippedBytes, Broken.size());
    Device.Feed(Version.data(), Version.size(), Actions);
    ASSERT_EQ(Actions.size(), 1u);
    EXPECT_EQ(HexBytes(Actions[0].Reply), "01 02 03 FA");
}

TEST(SimDeviceIdleTest, HangUpAndFloodMarkTheirRequests)
{
    TSimOptions Options;
    Options.HangUpAfter = 2;
    Options.FloodMs = 100;
    TSimDevice Device(Options);
    std::vector<TSimAction> Actions;
    const TBytes Input = Concat({Version, Version, Reset});
    Device.Feed(Input.data(), Input.size(), Actions);
    ASSERT_EQ(Actions.size(), 3u);
    EXPECT_TRUE(Actions[0].Flood);
    EXPECT_FALSE(Actions[0].HangUp);
    EXPECT_FALSE(Actions[1].Flood);
    EXPECT_TRUE(Actions[1].HangUp);
    EXPECT_EQ(Device.Resets, 1);
}

// The line's timing on an injected clock: when each request is heard and
// when each part of each reply falls due.
struct TLineInput {
    int64_t AtUs;
    TBytes Bytes;
};

struct TLineRow {
    const char *Name;
    std::function<void(TSimTiming &, TSimOptions &)> Setup;
    int32_t Baud, Bits;
    std::vector<TLineInput> Inputs;
    std::vector<std::string> Heard;   // "AT_US> FRAME", "AT_US~ LOST BYTES"
    std::vector<std::string> Outputs; // "DUE_US:N bytes", a paced run "FIRST~LAST:N parts", "DUE_US:flood" ...
    std::string Stream;               // every byte written, in order ("" for not checked)
};

TBytes ReadBlockOf32()
{
    return ReadBlock(0, 32);
}

// The reply of the 32-byte read of an empty memory.
const char ReadReplyOf32[] = "02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                             "00 00 00 00 00 FE";

const TLineRow LineRows[] = {
    {"DefaultIsAsBefore", {}, 115200, 10, {{0, Version}}, {"0> 01 FF"}, {"2000:4 bytes"}, "01 02 03 FA"},
    // 10 bits of 86.8 us each way: the request is in 2 characters later, each reply byte one after another.
    {"WireBothWays", [](TSimTiming &T, TSimOptions &) { T.Wire = true; }, 115200, 10, {{0, Version}},
     {"173> 01 FF"}, {"2260~2520:4 parts"}, "01 02 03 FA"},
    // A read block's 36 bytes take 3.125 ms to come out after the 2 ms.
    {"ReadReplyOfABlock", [](TSimTiming &T, TSimOptions &) { T.Wire = true; }, 115200, 10,
     {{0, ReadBlockOf32()}}, {"434> 02 00 00 20 DE"}, {"2520~5559:36 parts"}, ReadReplyOf32},
    // 9600 baud with a parity bit and two stop bits: 12 bits, 1.25 ms a character.
    {"WireAtTheLinesSettings", [](TSimTiming &T, TSimOptions &) { T.Wire = true; }, 9600, 12, {{0, Version}},
     {"2500> 01 FF"}, {"5750~9500:4 parts"}, ""},
    {"WireOffIgnoresTheSpeed", {}, 9600, 12, {{0, Version}}, {"0> 01 FF"}, {"2000:4 bytes"}, ""},
    {"ProcessingTimes",
     [](TSimTiming &T, TSimOptions &) {
         T.WriteMs = 20;
         T.ReadMs = 7;
     },
     115200, 10, {{0, WriteBlock(0, 1)}, {50000, ReadBlock(0)}, {100000, Version}},
     {"0> 03 00 00 04 01 02 03 04 EF", "50000> 02 00 00 04 FA", "100000> 01 FF"},
     {"20000:4 bytes", "57000:8 bytes", "102000:4 bytes"}, "03 00 00 FD 02 00 00 01 02 03 04 F4 01 02 03 FA"},
    {"ZeroProcessingTime", [](TSimTiming &T, TSimOptions &) { T.ReadMs = 0; }, 115200, 10, {{5000, ReadBlock(0)}},
     {"5000> 02 00 00 04 FA"}, {"5000:8 bytes"}, ""},
    // The adapter sends what it holds when its free-running timer runs out.
    {"LatencyTimer", [](TSimTiming &T, TSimOptions &) { T.LatencyMs = 16; }, 115200, 10,
     {{1000, Version}, {17000, Version}}, {"1000> 01 FF", "17000> 01 FF"}, {"16000:4 bytes", "32000:4 bytes"}, ""},
    // A reply whose bytes come off the wire across the timer's tick goes in two bursts.
    {"LatencySplitsAReply",
     [](TSimTiming &T, TSimOptions &) {
         T.Wire = true;
         T.LatencyMs = 16;
     },
     115200, 10, {{12000, ReadBlockOf32()}}, {"12434> 02 00 00 20 DE"}, {"16000:18 bytes", "32000:18 bytes"},
     ReadReplyOf32},
    // 62 bytes fill a USB packet, which goes at once.
    {"LatencyFullPacket",
     [](TSimTiming &T, TSimOptions &) {
         T.Wire = true;
         T.LatencyMs = 16;
         T.Trailing = 40;
     },
     115200, 10, {{0, ReadBlockOf32()}}, {"434> 02 00 00 20 DE"}, {"7816:62 bytes", "16000:14 bytes"}, ""},
    {"TrailingBytes", [](TSimTiming &T, TSimOptions &) { T.Trailing = 3; }, 115200, 10, {{0, Version}},
     {"0> 01 FF"}, {"2000:7 bytes"}, "01 02 03 FA 00 00 00"},
    // Deaf for 5 ms after the reply: a request at 4 ms is lost, one at 8 ms heard.
    {"DeafAfterAReply", [](TSimTiming &T, TSimOptions &) { T.DeafMs = 5; }, 115200, 10,
     {{0, Version}, {4000, Version}, {8000, Version}}, {"0> 01 FF", "4000~ 01 FF", "8000> 01 FF"},
     {"2000:4 bytes", "10000:4 bytes"}, ""},
    // Only the byte that ends inside the deaf time is lost; the rest is garbage to the device.
    {"DeafCutsARequest",
     [](TSimTiming &T, TSimOptions &) {
         T.Wire = true;
         T.DeafMs = 5;
     },
     9600, 10, {{0, Version}, {11500, Version}}, {"2083> 01 FF", "12541~ 01"}, {"5125~8250:4 parts"}, ""},
    {"HangUpAfterItsReply", [](TSimTiming &, TSimOptions &O) { O.HangUpAfter = 1; }, 115200, 10,
     {{0, Version}}, {"0> 01 FF"}, {"2000:4 bytes", "2000:hang-up"}, ""},
    {"FloodAfterTheDelay", [](TSimTiming &T, TSimOptions &O) { O.FloodMs = 100; T.DelayMs = 30; }, 115200, 10,
     {{0, Version}}, {"0> 01 FF"}, {"30000:flood"}, ""},
};

void PrintTo(const TLineRow &Row, std::ostream *Out)
{
    *Out << Row.Name;
}

// Outputs one character apart, a byte each, read as one paced run.
std::vector<std::string> Summary(const std::vector<TSimOutput> &Outputs, int64_t CharNs)
{
    std::vector<std::string> Lines;
    for (size_t I = 0; I < Outputs.size();) {
        const TSimOutput &First = Outputs[I];
        const std::string At = std::to_string(First.DueNs / 1000);
        if (First.Flood || First.HangUp) {
            Lines.push_back(At + (First.Flood ? ":flood" : ":hang-up"));
            ++I;
            continue;
        }
        size_t J = I + 1;
        while (CharNs > 0 && First.Bytes.size() == 1 && J < Outputs.size() && Outputs[J].Bytes.size() == 1 &&
               Outputs[J].DueNs - Outputs[J - 1].DueNs == CharNs)
            ++J;
        if (J - I > 1)
            Lines.push_back(At + "~" + std::to_string(Outputs[J - 1].DueNs / 1000) + ":" + std::to_string(J - I) +
                            " parts");
        else
            Lines.push_back(At + ":" + std::to_string(First.Bytes.size()) + " bytes");
        I = J;
    }
    return Lines;
}

class SimLineTest : public ::testing::TestWithParam<TLineRow> {};

TEST_P(SimLineTest, HearsAndAnswersOnTime)
{
    const TLineRow &Row = GetParam();
    TSimTiming Timing;
    TSimOptions Options;
    if (Row.Setup)
        Row.Setup(Timing, Options);
    TSimDevice Device(Options);
    TSimLine Line(Device, Timing);
    Line.SetLine(Row.Baud, Row.Bits);

    std::vector<TSimOutput> Outputs;
    std::vector<std::string> Heard;
    auto Take = [&](int64_t Until) {
        for (TSimOutput &Out : Line.TakeDue(Until))
            Outputs.push_back(std::move(Out));
    };
    for (const TLineInput &Input : Row.Inputs) {
        Take(Input.AtUs * 1000);
        std::vector<TSimHeard> Now;
        Line.Receive(Input.AtUs * 1000, Input.Bytes.data(), Input.Bytes.size(), Now);
        for (const TSimHeard &H : Now)
            Heard.push_back(std::to_string(H.AtNs / 1000) + (H.Lost ? "~ " : "> ") + HexBytes(H.Bytes));
    }
    Take(INT64_MAX);
    EXPECT_EQ(Line.NextDue(), -1);

    EXPECT_EQ(Heard, Row.Heard);
    EXPECT_EQ(Summary(Outputs, Line.CharacterNs()), Row.Outputs);
    TBytes Stream, LastReply;
    for (const TSimOutput &Out : Outputs) {
        Stream.insert(Stream.end(), Out.Bytes.begin(), Out.Bytes.end());
        if (!Out.Reply.empty())
            LastReply = Out.Reply;
    }
    if (*Row.Stream.c_str() != '\0') {
        EXPECT_EQ(HexBytes(Stream), Row.Stream);
    }
    // The last part of every reply carries it whole, for the log.
    if (!Stream.empty()) {
        EXPECT_EQ(TBytes(Stream.end() - static_cast<ptrdiff_t>(LastReply.size()), Stream.end()), LastReply);
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimLineTest, ::testing::ValuesIn(LineRows),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace
