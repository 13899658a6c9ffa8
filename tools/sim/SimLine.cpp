#include "SimLine.h"

#include <algorithm>

namespace {

constexpr int64_t NsPerMs = 1000000;

} // namespace

TSimLine::TSimLine(TSimDevice &Device, const TSimTiming &Timing) : Device(Device), Timing(Timing) {}

void TSimLine::SetLine(int32_t Baud, int32_t BitsPerCharacter)
{
    CharNs = Timing.Wire && Baud > 0 ? (int64_t{BitsPerCharacter} * 1000000000 + Baud / 2) / Baud : 0;
}

void TSimLine::Receive(int64_t NowNs, const uint8_t *Data, size_t Count, std::vector<TSimHeard> &Heard)
{
    std::vector<TSimAction> Actions;
    for (size_t I = 0; I < Count; ++I) {
        // Bytes written at once still follow one another on the wire.
        const int64_t EndNs = CharNs > 0 ? std::max(InEndNs, NowNs) + CharNs : NowNs;
        InEndNs = EndNs;
        if (EndNs >= DeafFromNs && EndNs < DeafToNs) {
            if (Heard.empty() || !Heard.back().Lost)
                Heard.push_back({EndNs, {}, true});
            Heard.back().AtNs = EndNs;
            Heard.back().Bytes.push_back(Data[I]);
            continue;
        }
        Actions.clear();
        Device.Feed(Data + I, 1, Actions);
        for (const TSimAction &Action : Actions) {
            Heard.push_back({EndNs, Action.Frame, false});
            Schedule(Action, EndNs);
        }
    }
}

void TSimLine::Idle(int64_t NowNs, std::vector<TSimHeard> &Heard)
{
    std::vector<TSimAction> Actions;
    Device.Idle(Actions);
    for (const TSimAction &Action : Actions) {
        Heard.push_back({NowNs, Action.Frame, false});
        Schedule(Action, NowNs);
    }
}

int64_t TSimLine::Delivered(int64_t WireEndNs) const
{
    int64_t DueNs = WireEndNs;
    if (Timing.LatencyMs > 0) {
        // The adapter's timer runs freely; what it holds goes out when it runs out.
        const int64_t Period = Timing.LatencyMs * NsPerMs;
        DueNs = (WireEndNs + Period - 1) / Period * Period;
    }
    // Bytes leave in the order they came, whatever their device did meanwhile.
    return std::max(DueNs, LastDueNs);
}

void TSimLine::Schedule(const TSimAction &Action, int64_t HeardNs)
{
    int32_t Ms = Timing.DelayMs;
    if (Action.Request == TSimRequest::Write && Timing.WriteMs >= 0)
        Ms = Timing.WriteMs;
    else if (Action.Request == TSimRequest::Read && Timing.ReadMs >= 0)
        Ms = Timing.ReadMs;
    const int64_t StartNs = std::max(HeardNs + Ms * NsPerMs, OutEndNs);

    if (Action.Flood) {
        TSimOutput Flood;
        Flood.DueNs = std::max(StartNs, LastDueNs);
        Flood.Flood = true;
        Queue(std::move(Flood));
    } else if (!Action.Reply.empty()) {
        std::vector<uint8_t> Bytes = Action.Reply;
        Bytes.insert(Bytes.end(), static_cast<size_t>(Timing.Trailing), 0);
        TSimOutput Part;
        for (size_t K = 0; K < Bytes.size(); ++K) {
            const int64_t WireEndNs = StartNs + static_cast<int64_t>(K + 1) * CharNs;
            const int64_t DueNs = Delivered(WireEndNs);
            if (!Part.Bytes.empty() && DueNs != Part.DueNs) {
                Queue(std::move(Part));
                Part = {};
            }
            Part.DueNs = DueNs;
            Part.Bytes.push_back(Bytes[K]);
            if (Timing.LatencyMs > 0 && Part.Bytes.size() == SimAdapterPacket) {
                // A full packet goes out without waiting for the timer.
                Part.DueNs = std::max(WireEndNs, LastDueNs);
                Queue(std::move(Part));
                Part = {};
            }
        }
        OutEndNs = StartNs + static_cast<int64_t>(Bytes.size()) * CharNs;
        DeafFromNs = OutEndNs;
        DeafToNs = OutEndNs + Timing.DeafMs * NsPerMs;
        if (!Part.Bytes.empty())
            Queue(std::move(Part));
        Pending.back().Reply = std::move(Bytes);
    }
    if (Action.HangUp) {
        TSimOutput HangUp;
        HangUp.DueNs = std::max(HeardNs, LastDueNs);
        HangUp.HangUp = true;
        Queue(std::move(HangUp));
    }
}

void TSimLine::Queue(TSimOutput Output)
{
    LastDueNs = Output.DueNs;
    Pending.push_back(std::move(Output));
}

int64_t TSimLine::NextDue() const
{
    return Pending.empty() ? -1 : Pending.front().DueNs;
}

std::vector<TSimOutput> TSimLine::TakeDue(int64_t NowNs)
{
    std::vector<TSimOutput> Due;
    while (!Pending.empty() && Pending.front().DueNs <= NowNs) {
        Due.push_back(std::move(Pending.front()));
        Pending.pop_front();
    }
    return Due;
}

void TSimLine::BusyUntil(int64_t NowNs)
{
    OutEndNs = std::max(OutEndNs, NowNs);
}
