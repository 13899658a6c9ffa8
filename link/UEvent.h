// Manual-reset event: stays set until reset, releases every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class TEvent {
public:
    void Set();
    void Reset();
    // Waits until set; a negative time-out waits without limit. True when set.
    bool Wait(int32_t TimeOutMs = -1);
    // Waits until set or until Deadline. True when set.
    bool WaitUntil(std::chrono::steady_clock::time_point Deadline);
    bool IsSet();

private:
    std::mutex Lock;
    std::condition_variable Changed;
    bool Signalled = false;
};
