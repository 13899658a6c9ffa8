// The frame layer with a scripted fake port and a tick driven by hand.
#include "UFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Fast exchange: time moves only while the frame layer waits, and the
// scripted bytes come on the way, each at its moment.
class TScriptClock : public TFrameClock {
public:
    int64_t Now = 1000000000;
    std::vector<std::pair<int64_t, uint8_t>> Due; // in time order

    int64_t NowNs() override { return Now; }
    void Wait(TEvent &Event, int64_t DeadlineNs) override
    {
        if (Event.IsSet())
            return;
        if (!Due.empty() && Due.front().first <= DeadlineNs) {
            Deliver(Due.front().first);
            return;
        }
        Now = std::max(Now, DeadlineNs);
    }
    void SleepUntil(int64_t DeadlineNs) override
    {
        Deliver(DeadlineNs);
        Now = std::max(Now, DeadlineNs);
    }
    // Bytes starting AfterNs from now, one character time apart.
    void Schedule(int64_t AfterNs, const TBytes &Bytes)
    {
        for (size_t I = 0; I < Bytes.size(); ++I)
            Due.emplace_back(Now + AfterNs + static_cast<int64_t>(I) * CharNs, Bytes[I]);
        std::stable_sort(Due.begin(), Due.end(), [](const auto &A, const auto &B) { return A.first < B.first; });
    }
    // A character at 115200 baud, ten bits.
    static constexpr int64_t CharNs = 86806;

private:
    void Deliver(int64_t UpToNs)
    {
        while (!Due.empty() && Due.front().first <= UpToNs) {
            Now = std::max(Now, Due.front().first);
            const uint8_t Byte = Due.front().second;
            Due.erase(Due.begin());
            ReceiveByte(Byte);
        }
    }
};

constexpr int64_t Ms = 1000000;
constexpr int64_t ReplyAfterNs = 2 * Ms;
constexpr int64_t GapNs = 1 * Ms;

// A device on the script: each request is answered by Reply, and Later
// comes LaterAfterNs after the reply's last byte.
class TScriptPort : public TFramePort {
public:
    explicit TScriptPort(TScriptClock &Clock) : Clock(Clock) {}
    TBytes Reply, Later;
    int64_t LaterAfterNs = 0;
    bool Write(const uint8_t *, int32_t) override
    {
        Clock.Schedule(ReplyAfterNs, Reply);
        Clock.Schedule(ReplyAfterNs + static_cast<int64_t>(Reply.size()) * TScriptClock::CharNs + LaterAfterNs, Later);
        return true;
    }

private:
    TScriptClock &Clock;
};

class FastFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFrameState();
        FrameClock = &Clock;
        FramePort = &Port;
        std::memset(Frame, 0xEE, sizeof Frame);
    }
    void TearDown() override
    {
        FramePort = nullptr;
        ResetFrameState();
        FrameClock = Saved;
    }
    // When the last reply byte (Later included) came, as the script has it.
    int64_t LastByteOf(int64_t SentNs) const
    {
        const int64_t ReplyEnd = SentNs + ReplyAfterNs + static_cast<int64_t>(Port.Reply.size() - 1) * TScriptClock::CharNs;
        return Port.Later.empty() ? ReplyEnd
                                  : ReplyEnd + TScriptClock::CharNs + Port.LaterAfterNs +
                                        static_cast<int64_t>(Port.Later.size() - 1) * TScriptClock::CharNs;
    }
    TFrameClock *Saved = FrameClock.load();
    TScriptClock Clock;
    TScriptPort Port{Clock};
    uint8_t Frame[FrameBufferSize];
};

TBytes Join(TBytes Head, const TBytes &Tail)
{
    Head.insert(Head.end(), Tail.begin(), Tail.end());
    return Head;
}

TBytes WithChecksum(TBytes Content)
{
    Content.push_back(ChecksumOf(Content));
    return Content;
}

TBytes ReadBlockReply()
{
    TBytes Content = {0x02, 0x11, 0x20};
    for (int K = 0; K < 32; ++K)
        Content.push_back(static_cast<uint8_t>(K * 5 + 3));
    return WithChecksum(Content);
}

enum class TEnd { Gap, Quiet, TimeOut };

struct TFastRow {
    const char *Name;
    int32_t Length; // ExpectedReplyLength
    TBytes Reply, Later;
    int64_t LaterAfterNs;
    int32_t Result;
    TEnd End;          // what ended the wait, after the last byte of the reply it took
    int32_t LateBytes; // once the script has run out
};

class FastReplyTest : public FastFrameTest, public ::testing::WithParamInterface<TFastRow> {};

TEST_P(FastReplyTest, EndsByLengthElseByQuiet)
{
    const TFastRow &Row = GetParam();
    Port.Reply = Row.Reply;
    Port.Later = Row.Later;
    Port.LaterAfterNs = Row.LaterAfterNs;
    const int64_t Sent = Clock.Now;
    ExpectedReplyLength = Row.Length;
    Frame[0] = 0x01;
    SendFrame(Frame, 1);
    const int32_t Result = WaitWholeReply(Frame, 100, GapNs);
    EXPECT_EQ(Result, Row.Result);
    if (Result > 0) {
        const TBytes Taken = Join(Row.Reply, Row.Later);
        EXPECT_EQ(TBytes(Frame, Frame + Result + 1), TBytes(Taken.begin(), Taken.begin() + Result + 1));
    }
    switch (Row.End) {
    case TEnd::Gap:
        EXPECT_EQ(Clock.Now, Sent + ReplyAfterNs + static_cast<int64_t>(Row.Reply.size() - 1) * TScriptClock::CharNs + GapNs);
        EXPECT_FALSE(Receiving.load());
        break;
    case TEnd::Quiet:
        EXPECT_EQ(Clock.Now, LastByteOf(Sent) + FastQuietNs);
        EXPECT_FALSE(Receiving.load());
        break;
    case TEnd::TimeOut:
        EXPECT_EQ(Clock.Now, Sent + 100 * Ms);
        // As WaitReply: a reply after the time-out is still collected until the next request.
        EXPECT_TRUE(Receiving.load());
        break;
    }
    // The quiet time is the clock's: the ticks never run in a fast exchange.
    EXPECT_EQ(QuietTicks.load(), 0);
    Clock.SleepUntil(Clock.Now + 200 * Ms);
    EXPECT_EQ(LateBytes.load(), Row.LateBytes);
}

TBytes Cut(TBytes Bytes, size_t Count)
{
    Bytes.resize(Count);
    return Bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Fast, FastReplyTest,
    ::testing::Values(
        TFastRow{"Version", 4, {0x01, 0x02, 0x03, 0xFA}, {}, 0, 3, TEnd::Gap, 0},
        TFastRow{"ReadBlock", 36, ReadBlockReply(), {}, 0, 35, TEnd::Gap, 0},
        TFastRow{"WriteEcho", 4, WithChecksum({0x03, 0x11, 0x20}), {}, 0, 3, TEnd::Gap, 0},
        TFastRow{"ShortEcho", 2, {0x03, 0xFD}, {}, 0, 1, TEnd::Gap, 0},
        // Fewer bytes than expected: the quiet time, then the specified check.
        TFastRow{"Fewer", 36, Cut(ReadBlockReply(), 20), {}, 0, 0, TEnd::Quiet, 0},
        TFastRow{"FewerButValid", 4, {0x01, 0x02, 0xFD}, {}, 0, 2, TEnd::Quiet, 0},
        TFastRow{"ChecksumDoesNotFit", 4, {0x01, 0x02, 0x03, 0xFB}, {}, 0, 0, TEnd::Quiet, 0},
        // A byte within the gap makes the reply longer than whole: quiet time, whole reply judged.
        TFastRow{"MoreRightAfter", 4, {0x01, 0x02, 0x03, 0xFA}, {0x00}, 0, 4, TEnd::Quiet, 0},
        TFastRow{"MoreWithinTheGap", 4, {0x01, 0x02, 0x03, 0xFA}, {0x00, 0x00}, GapNs / 2, 5, TEnd::Quiet, 0},
        TFastRow{"LongerEcho", 4, WithChecksum({0x03, 0x11, 0x20, 0x40}), {}, 0, 4, TEnd::Quiet, 0},
        // After the gap a reply taken whole stays taken; what follows is late input.
        TFastRow{"LateAfterTheGap", 4, {0x01, 0x02, 0x03, 0xFA}, {0x55, 0x56}, 3 * Ms, 3, TEnd::Gap, 2},
        TFastRow{"NoReply", 4, {}, {}, 0, 0, TEnd::TimeOut, 0}),
    [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(FastFrameTest, TicksLeaveAFastExchangeAlone)
{
    Port.Reply = Cut(ReadBlockReply(), 10);
    ExpectedReplyLength = 36;
    Frame[0] = 0x02;
    SendFrame(Frame, 1);
    Clock.SleepUntil(Clock.Now + 5 * Ms);
    Ticks(3 * QuietTickCount);
    EXPECT_TRUE(Receiving.load());
    EXPECT_FALSE(ReplyEndEvent.IsSet());
    EXPECT_EQ(ReceivedCount.load(), 10);
}

struct TGapRow {
    const char *Name;
    std::vector<int64_t> BytesAtNs; // from now, on the way
    int64_t LastByteAgoNs;          // before now; negative: none since the start
    int64_t ReturnsAtNs;            // from now
};

class GapTest : public FastFrameTest, public ::testing::WithParamInterface<TGapRow> {};

TEST_P(GapTest, WaitsForTheLineToBeQuiet)
{
    const TGapRow &Row = GetParam();
    const int64_t Start = Clock.Now;
    if (Row.LastByteAgoNs >= 0)
        LastByteNs = Start - Row.LastByteAgoNs;
    for (int64_t At : Row.BytesAtNs)
        Clock.Due.emplace_back(Start + At, 0x55);
    WaitLineQuiet(GapNs);
    EXPECT_EQ(Clock.Now, Start + Row.ReturnsAtNs);
    // Bytes outside an exchange are dropped, and counted as late.
    EXPECT_EQ(ReceivedCount.load(), 0);
    EXPECT_EQ(LateBytes.load(), static_cast<int32_t>(Row.BytesAtNs.size()));
}

INSTANTIATE_TEST_SUITE_P(Gap, GapTest,
                         ::testing::Values(TGapRow{"QuietLongAgo", {}, 5 * Ms, 0},
                                           TGapRow{"NothingEverCame", {}, -1, 0},
                                           TGapRow{"ByteJustBefore", {}, Ms / 4, GapNs - Ms / 4},
                                           TGapRow{"ByteDuringTheWait", {Ms / 2}, 0, Ms / 2 + GapNs},
                                           TGapRow{"TwoBytes", {Ms / 2, Ms}, 0, Ms + GapNs}),
                         [](const auto &Info) { return std::string(Info.param.Name); });

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
