#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "device/LinkClock.h"

namespace kavelo::test {

// Time that moves only when the test says so. A worker waiting on it parks
// until the test advances time past its deadline or its wake is raised, and
// the test can see that a wait has begun: at that point everything the worker
// did before the wait (commands sent, replies decoded, messages posted) is over.
class DrivenClock : public LinkClock {
public:
    std::int64_t NowMs() override {
        std::lock_guard<std::mutex> lock(mMutex);
        return mNow;
    }
    void SleepMs(std::int64_t milliseconds) override {
        LinkWake never;
        WaitMs(milliseconds, never);
    }
    bool WaitMs(std::int64_t milliseconds, LinkWake& wake) override {
        std::unique_lock<std::mutex> lock(mMutex);
        const std::int64_t until = mNow + milliseconds;
        ++mWaitsBegun;
        ++mWaiting;
        mChanged.notify_all();
        // A raised wake does not signal this condition: look at it in short slices.
        while (mNow < until && !wake.IsRaised()) mChanged.wait_for(lock, kWakeSlice);
        --mWaiting;
        mChanged.notify_all();
        return wake.IsRaised();
    }

    int WaitsBegun() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mWaitsBegun;
    }
    // Whether a worker is parked in a wait now.
    bool Waiting() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mWaiting > 0;
    }
    // Waits (bounded, in real time) until at least n waits have begun.
    bool WaitForWaits(int n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, timeout, [&] { return mWaitsBegun >= n; });
    }
    void Advance(std::int64_t milliseconds) {
        std::lock_guard<std::mutex> lock(mMutex);
        mNow += milliseconds;
        mChanged.notify_all();
    }

private:
    static constexpr std::chrono::milliseconds kWakeSlice{5};
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::int64_t mNow = 0;
    int mWaitsBegun = 0;
    int mWaiting = 0;
};

}  // namespace kavelo::test
