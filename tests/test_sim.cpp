// The simulated device's framing and answers, without a terminal.
#include "SimDevice.h"

#include <gtest/gtest.h>

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

} // namespace
