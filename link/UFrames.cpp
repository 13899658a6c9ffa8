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
    int32_t Count = ReceivedCount.load();
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

bool ReplyArrived()
{
    return ReceivedCount.load() > 0;
}

void ReceiveByte(uint8_t Byte)
{
    if (!Receiving.load())
        return;
    QuietTicks = QuietTickCount;
    const int32_t Index = ReceivedCount.load();
    if (Index < ReceiveBufferSize) {
        ReceiveBuffer[Index].store(Byte, std::memory_order_relaxed);
        ReceivedCount = Index + 1;
    }
    ByteEvent.Set();
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
