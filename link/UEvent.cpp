#include "UEvent.h"

void TEvent::Set()
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Signalled = true;
    }
    Changed.notify_all();
}

void TEvent::Reset()
{
    std::lock_guard<std::mutex> Guard(Lock);
    Signalled = false;
}

bool TEvent::Wait(int32_t TimeOutMs)
{
    std::unique_lock<std::mutex> Guard(Lock);
    if (TimeOutMs < 0) {
        Changed.wait(Guard, [this] { return Signalled; });
        return true;
    }
    return Changed.wait_for(Guard, std::chrono::milliseconds(TimeOutMs), [this] { return Signalled; });
}

bool TEvent::WaitUntil(std::chrono::steady_clock::time_point Deadline)
{
    std::unique_lock<std::mutex> Guard(Lock);
    return Changed.wait_until(Guard, Deadline, [this] { return Signalled; });
}

bool TEvent::IsSet()
{
    std::lock_guard<std::mutex> Guard(Lock);
    return Signalled;
}
