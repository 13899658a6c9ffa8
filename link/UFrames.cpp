#include "UFrames.h"

#include <chrono>

std::atomic<TFramePort *> FramePort{nullptr};
std::atomic<int32_t> FramesSent{0};
std::atomic<uint8_t> ReceiveBuffer[ReceiveBufferSize];
std::atomic<int32_t> ReceivedCount{0};
std::atomic<bool> Receiving{false};
std::atomic<int32_t> QuietTicks{0};
TEvent ByteEvent;
TEvent ReplyEndEvent;
std::atomic<int32_t> ExpectedReplyLength{0};
std::atomic<int64_t> LastByteNs{0};
std::atomic<int32_t> LateBytes{0};

namespace {

class TSteadyClock : public TFrameClock {
public:
    int64_t NowNs() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void Wait(TEvent &Event, int64_t DeadlineNs) override { Event.WaitUntil(TimePoint(DeadlineNs)); }
    void SleepUntil(int64_t DeadlineNs) override { std::this_thread::sleep_until(TimePoint(DeadlineNs)); }

private:
    static std::chrono::steady_clock::time_point TimePoint(int64_t Ns)
    {
        return std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::nanoseconds(Ns)));
    }
};

TSteadyClock SteadyClock;

// The collected reply's first Count bytes over FrameBuffer: its content
// length when their checksum is right, else 0.
int32_t TakeReply(uint8_t *FrameBuffer, int32_t Count)
{
    if (Count > ReceiveBufferSize)
        Count = ReceiveBufferSize;
    if (Count < 2)
        return 0;
    uint8_t Sum = 0;
    for (int32_t I = 0; I < Count; ++I) {
        FrameBuffer[I] = ReceiveBuffer[I].load(std::memory_order_relaxed);
        Sum = static_cast<uint8_t>(Sum + FrameBuffer[I]);
    }
    return Sum == 0 ? Count - 1 : 0;
}

bool WholeReply(int32_t Count, int32_t Length)
{
    if (Count != Length || Count < 2)
        return false;
    uint8_t Sum = 0;
    for (int32_t I = 0; I < Count; ++I)
        Sum = static_cast<uint8_t>(Sum + ReceiveBuffer[I].load(std::memory_order_relaxed));
    return Sum == 0;
}

} // namespace

std::atomic<TFrameClock *> FrameClock{&SteadyClock};

bool SendFrame(uint8_t *FrameBuffer, int32_t N)
{
    if (FrameBuffer == nullptr || N < 1 || N >= FrameBufferSize)
        return false;
    uint8_t Sum = 0;
    for (int32_t I = 0; I < N; ++I)
        Sum = static_cast<uint8_t>(Sum + FrameBuffer[I]);
    FrameBuffer[N] = static_cast<uint8_t>(256 - Sum);

    // Armed before the write, so no reply byte can come before it; the second
    // clear drops a late byte of the previous exchange that raced the first.
    ReceivedCount = 0;
    ByteEvent.Reset();
    ReplyEndEvent.Reset();
    Receiving = true;
    ReceivedCount = 0;
    ByteEvent.Reset();

    ++FramesSent;
    TFramePort *Port = FramePort.load();
    return Port != nullptr && Port->Write(FrameBuffer, N + 1);
}

int32_t WaitReply(uint8_t *FrameBuffer, int32_t TimeOutMs)
{
    ByteEvent.Wait(TimeOutMs);
    if (ReceivedCount.load() < 1)
        return 0;
    ReplyEndEvent.Wait();
    return TakeReply(FrameBuffer, ReceivedCount.load());
}

int32_t WaitWholeReply(uint8_t *FrameBuffer, int32_t TimeOutMs, int64_t GapNs)
{
    TFrameClock &Clock = *FrameClock.load();
    const int32_t Length = ExpectedReplyLength.load();
    const int64_t FirstByteDeadline = Clock.NowNs() + int64_t{TimeOutMs} * 1000000;
    while (ReceivedCount.load() < 1 && Clock.NowNs() < FirstByteDeadline)
        Clock.Wait(ByteEvent, FirstByteDeadline);
    if (ReceivedCount.load() < 1)
        return 0;
    int32_t Count = 0;
    for (;;) {
        // Reset before looking, so that the byte that makes the reply whole,
        // or longer than whole, after the look ends the wait. Other bytes
        // only move the end of the quiet time, looked at when it comes.
        ReplyEndEvent.Reset();
        Count = ReceivedCount.load();
        const int64_t Last = LastByteNs.load();
        const int64_t Needed = WholeReply(Count, Length) ? GapNs : FastQuietNs;
        if (Clock.NowNs() - Last >= Needed)
            break;
        Clock.Wait(ReplyEndEvent, Last + Needed);
    }
    Receiving = false;
    // A byte that slipped in after the last look belongs to no reply: it is late.
    const int32_t After = ReceivedCount.load();
    if (After > Count)
        LateBytes += After - Count;
    return TakeReply(FrameBuffer, Count);
}

void WaitLineQuiet(int64_t GapNs)
{
    TFrameClock &Clock = *FrameClock.load();
    for (;;) {
        const int64_t Until = LastByteNs.load() + GapNs;
        if (Clock.NowNs() >= Until)
            return;
        Clock.SleepUntil(Until);
    }
}

void ClearLateInput()
{
    LateBytes = 0;
}

bool ReplyArrived()
{
    return ReceivedCount.load() > 0;
}

void ReceiveByte(uint8_t Byte)
{
    LastByteNs = FrameClock.load()->NowNs();
    if (!Receiving.load()) {
        ++LateBytes;
        return;
    }
    // A fast exchange measures its quiet time on the clock; the ticks stay out of it.
    if (ExpectedReplyLength.load() == 0)
        QuietTicks = QuietTickCount;
    const int32_t Index = ReceivedCount.load();
    if (Index < ReceiveBufferSize) {
        ReceiveBuffer[Index].store(Byte, std::memory_order_relaxed);
        ReceivedCount = Index + 1;
    }
    ByteEvent.Set();
    const int32_t Length = ExpectedReplyLength.load();
    if (Length > 0 && (Index + 1 == Length || Index == Length))
        ReplyEndEvent.Set();
}

void QuietTick()
{
    if (QuietTicks.load() <= 0)
        return;
    // A byte that lands between the test and the decrement only restarts the count.
    if (QuietTicks.fetch_sub(1) == 1) {
        Receiving = false;
        ReplyEndEvent.Set();
    }
}

void ResetFrameState()
{
    Receiving = false;
    QuietTicks = 0;
    ReceivedCount = 0;
    ExpectedReplyLength = 0;
    LastByteNs = 0;
    LateBytes = 0;
    ByteEvent.Reset();
    ReplyEndEvent.Reset();
}

TTicker::TTicker() : Thread([this] { Loop(); }) {}

TTicker::~TTicker()
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    Thread.join();
}

void TTicker::Loop()
{
    // Ticks on a fixed schedule, so a late wake-up does not stretch the quiet time.
    auto Next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> Guard(Lock);
    for (;;) {
        Next += std::chrono::milliseconds(QuietTickIntervalMs);
        if (Wake.wait_until(Guard, Next, [this] { return Stopping; }))
            return;
        QuietTick();
        const auto Now = std::chrono::steady_clock::now();
        if (Now - Next > std::chrono::milliseconds(10 * QuietTickIntervalMs))
            Next = Now;
    }
}
