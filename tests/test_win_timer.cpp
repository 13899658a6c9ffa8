// The quiet timer's ticks on Windows, where the system timer ticks every
// 15.6 ms unless a program raises its resolution (Wine does not show that
// tick, so under Wine these pass either way; on Windows they need the raise).
#include "USerialComm_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// The times between Count successive ticks of a TTicker, in ms, seen as
// QuietTicks counts down (two ticks seen at once give an interval of 0).
std::vector<double> TickIntervalsMs(int32_t Count)
{
    ResetFrameState();
    QuietTicks = Count + 2;
    std::vector<double> Intervals;
    TTicker Ticker;
    int32_t Seen = QuietTicks.load();
    TClock::time_point Last{};
    const auto GiveUp = TClock::now() + std::chrono::seconds(10);
    while (static_cast<int32_t>(Intervals.size()) < Count && TClock::now() < GiveUp) {
        const int32_t Now = QuietTicks.load();
        if (Now == Seen) {
            std::this_thread::yield();
            continue;
        }
        const auto At = TClock::now();
        for (int32_t Tick = Seen - Now; Tick > 0 && static_cast<int32_t>(Intervals.size()) < Count; --Tick) {
            if (Last != TClock::time_point{})
                Intervals.push_back(std::chrono::duration<double, std::milli>(At - Last).count());
            Last = At;
        }
        Seen = Now;
    }
    ResetFrameState();
    return Intervals;
}

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values.empty() ? 0 : Values[Values.size() / 2];
}

// With the 15.6 ms tick the ticker's fixed schedule would catch up in
// bursts: intervals of 0 and 15.6 ms, a median at one of them, and a reply
// ended 5 ticks after its last byte anywhere between 47 and 62 ms.
TEST(Win32Timer, TickerTicksEveryTenMillisecondsWhileRaised)
{
    TTimerResolution Resolution;
    Resolution.Raise();
    ASSERT_TRUE(Resolution.Raised());
    const std::vector<double> Intervals = TickIntervalsMs(40);
    ASSERT_EQ(Intervals.size(), 40u);
    const double Middle = Median(Intervals);
    EXPECT_GE(Middle, QuietTickIntervalMs - 3.0);
    EXPECT_LE(Middle, QuietTickIntervalMs + 3.0);
}

// Each hold raises once and restores once, however often it is asked.
TEST(Win32Timer, RaiseAndRestorePairUp)
{
    TTimerResolution Resolution;
    EXPECT_FALSE(Resolution.Raised());
    Resolution.Raise();
    Resolution.Raise();
    EXPECT_TRUE(Resolution.Raised());
    Resolution.Restore();
    EXPECT_FALSE(Resolution.Raised());
    Resolution.Restore();
    EXPECT_FALSE(Resolution.Raised());
}

} // namespace
