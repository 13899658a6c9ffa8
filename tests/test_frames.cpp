// The frame layer with a scripted fake port and a tick driven by hand.
#include "UFrames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

// Records what was written and, like a device, answers each write at once.
class TFakePort : public TFramePort {
public:
    TBytes Written;
    TBytes Answer;
    bool Write(const uint8_t *Data, int32_t Count) override
    {
        Written.assign(Data, Data + Count);
        for (uint8_t Byte : Answer)
            ReceiveByte(Byte);
        return true;
    }
};

void Ticks(int Count)
{
    for (int I = 0; I < Count; ++I)
        QuietTick();
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFrameState();
        FramePort = &Port;
        std::memset(Frame, 0xEE, sizeof Frame);
    }
    void TearDown() override
    {
        FramePort = nullptr;
        ResetFrameState();
    }
    TFakePort Port;
    uint8_t Frame[FrameBufferSize];
};

struct TSendRow {
    const char *Name;
    TBytes Content;
    uint8_t Checksum;
};

class SendFrameTest : public FrameTest, public ::testing::WithParamInterface<TSendRow> {};

TEST_P(SendFrameTest, AppendsTwosComplementChecksum)
{
    const TSendRow &Row = GetParam();
    std::memcpy(Frame, Row.Content.data(), Row.Content.size());
    const int32_t N = static_cast<int32_t>(Row.Content.size());
    ASSERT_TRUE(SendFrame(Frame, N));
    TBytes Expected = Row.Content;
    Expected.push_back(Row.Checksum);
    EXPECT_EQ(Port.Written, Expected);
    EXPECT_EQ(Frame[N], Row.Checksum);
    EXPECT_TRUE(Receiving.load());
    EXPECT_EQ(ReceivedCount.load(), 0);
}

TBytes WriteBlockZero()
{
    TBytes Content = {0x03, 0x00, 0x00, 0x20};
    for (int K = 0; K < 32; ++K)
        Content.push_back(static_cast<uint8_t>(K * 7 + 1));
    return Content;
}

uint8_t ChecksumOf(const TBytes &Content)
{
    unsigned Sum = 0;
    for (uint8_t Byte : Content)
        Sum += Byte;
    return static_cast<uint8_t>((256 - Sum % 256) % 256);
}

INSTANTIATE_TEST_SUITE_P(Frames, SendFrameTest,
                         ::testing::Values(TSendRow{"Version", {0x01}, 0xFF}, TSendRow{"Reset", {0x04}, 0xFC},
                                           TSendRow{"ZeroSum", {0x80, 0x80}, 0x00},
                                           TSendRow{"ReadBlock", {0x02, 0x1F, 0xE0, 0x20}, 0xDF},
                                           TSendRow{"WriteBlock", WriteBlockZero(), ChecksumOf(WriteBlockZero())}),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(FrameTest, RefusesContentOutsideTheBuffer)
{
    EXPECT_FALSE(SendFrame(Frame, 0));
    EXPECT_FALSE(SendFrame(Frame, FrameBufferSize));
    EXPECT_FALSE(SendFrame(nullptr, 1));
    EXPECT_TRUE(Port.Written.empty());
    FramePort = nullptr;
    Frame[0] = 0x01;
    EXPECT_FALSE(SendFrame(Frame, 1));
}

struct TReplyRow {
    const char *Name;
    TBytes Reply;
    int32_t Result;
    TBytes FrameStart; // what FrameBuffer begins with afterwards
};

class WaitReplyTest : public FrameTest, public ::testing::WithParamInterface<TReplyRow> {};

TEST_P(WaitReplyTest, AcceptsOnlyAValidChecksum)
{
    const TReplyRow &Row = GetParam();
    const uint8_t Request[] = {0x02, 0x11, 0x22, 0x20};
    std::memcpy(Frame, Request, sizeof Request);
    Port.Answer = Row.Reply;
    SendFrame(Frame, 4);
    Ticks(QuietTickCount);
    EXPECT_EQ(WaitReply(Frame, 0), Row.Result);
    EXPECT_EQ(TBytes(Frame, Frame + Row.FrameStart.size()), Row.FrameStart);
}

TBytes Repeated(uint8_t Byte, size_t Count)
{
    return TBytes(Count, Byte);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WaitReplyTest,
    ::testing::Values(
        TReplyRow{"Version", {0x01, 0x02, 0x03, 0xFA}, 3, {0x01, 0x02, 0x03, 0xFA, 0xAB}},
        TReplyRow{"OneZeroByte", {0x00}, 0, {0x02, 0x11, 0x22, 0x20, 0xAB}},
        TReplyRow{"OneByte", {0x03}, 0, {0x02, 0x11, 0x22, 0x20}},
        // The request's tail stays behind the two copied bytes.
        TReplyRow{"TwoBytesSumZero", {0x03, 0xFD}, 1, {0x03, 0xFD, 0x22, 0x20, 0xAB}},
        TReplyRow{"BadChecksum", {0x01, 0x02, 0x03, 0xFB}, 0, {0x01, 0x02, 0x03, 0xFB}},
        TReplyRow{"NoReply", {}, 0, {0x02, 0x11, 0x22, 0x20, 0xAB}},
        // 300 zero bytes: the first 256 are kept, the rest dropped, and they sum to 0.
        TReplyRow{"LongerThanTheBuffer", Repeated(0x00, 300), 255, Repeated(0x00, 256)}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(FrameTest, ReplyEndsOnlyAfterFiveQuietTicks)
{
    Frame[0] = 0x01;
    Port.Answer = {0x01, 0x02};
    SendFrame(Frame, 1);
    Ticks(QuietTickCount - 1);
    EXPECT_FALSE(ReplyEndEvent.IsSet());
    EXPECT_TRUE(Receiving.load());
    // A byte restarts the count.
    ReceiveByte(0x03);
    Ticks(QuietTickCount - 1);
    EXPECT_FALSE(ReplyEndEvent.IsSet());
    ReceiveByte(0xFA);
    Ticks(QuietTickCount);
    EXPECT_TRUE(ReplyEndEvent.IsSet());
    EXPECT_FALSE(Receiving.load());
    EXPECT_EQ(QuietTicks.load(), 0);
    EXPECT_EQ(WaitReply(Frame, 0), 3);
    // Further ticks change nothing.
    Ticks(3);
    EXPECT_EQ(QuietTicks.load(), 0);
}

TEST_F(FrameTest, BytesOutsideAnExchangeAreDropped)
{
    ReceiveByte(0x55);
    EXPECT_EQ(ReceivedCount.load(), 0);
    EXPECT_FALSE(ByteEvent.IsSet());

    Frame[0] = 0x01;
    Port.Answer = {0x01, 0x02, 0x03, 0xFA};
    SendFrame(Frame, 1);
    Ticks(QuietTickCount);
    ReceiveByte(0x77);
    EXPECT_EQ(ReceivedCount.load(), 4);
    EXPECT_EQ(WaitReply(Frame, 0), 3);
}

TEST_F(FrameTest, LateReplyIsCollectedThenDiscardedByTheNextRequest)
{
    Frame[0] = 0x01;
    SendFrame(Frame, 1);
    EXPECT_EQ(WaitReply(Frame, 0), 0);
    EXPECT_TRUE(Receiving.load());
    ReceiveByte(0x01);
    ReceiveByte(0x02);
    EXPECT_EQ(ReceivedCount.load(), 2);

    Port.Answer = {0x05, 0xFB};
    Frame[0] = 0x04;
    SendFrame(Frame, 1);
    Ticks(QuietTickCount);
    EXPECT_EQ(WaitReply(Frame, 0), 1);
    EXPECT_EQ(Frame[0], 0x05);
    EXPECT_EQ(Frame[1], 0xFB);
}

// The real arrangement: the reply comes from another thread and a ticker ends it.
TEST_F(FrameTest, ReplyAcrossThreadsWithTheTicker)
{
    class TThreadedPort : public TFramePort {
    public:
        std::thread Device;
        bool Write(const uint8_t *, int32_t) override
        {
            Device = std::thread([] {
                for (uint8_t Byte : {0x01, 0x02, 0x03, 0xFA})
                    ReceiveByte(Byte);
            });
            return true;
        }
    } Threaded;
    FramePort = &Threaded;
    TTicker Ticker;
    Frame[0] = 0x01;
    SendFrame(Frame, 1);
    EXPECT_EQ(WaitReply(Frame, 1000), 3);
    Threaded.Device.join();
    EXPECT_EQ(TBytes(Frame, Frame + 4), (TBytes{0x01, 0x02, 0x03, 0xFA}));
}

TEST(EventTest, ManualResetReleasesEveryWaiterUntilReset)
{
    TEvent Event;
    EXPECT_FALSE(Event.Wait(0));
    std::thread Waiter([&] { EXPECT_TRUE(Event.Wait()); });
    Event.Set();
    Waiter.join();
    EXPECT_TRUE(Event.Wait(0));
    EXPECT_TRUE(Event.Wait(0));
    Event.Reset();
    EXPECT_FALSE(Event.Wait(1));
}

} // namespace
