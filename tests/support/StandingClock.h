#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "device/LinkClock.h"

namespace kavelo::test {

// Link time that stands still, so only a close can end a read that retries:
// each pause between retries tells the test it began and then lasts until the
// close's wake-up, however late that comes. Expire() ends the pause and lets
// time run out instead, so that a loop a broken close failed to end still
// finishes and the test can report it.
class StandingClock : public LinkClock {
public:
    // Once expired, every look moves time on by an hour: any time-out is over.
    std::int64_t NowMs() override { return mExpired ? mNow += kHourMs : mNow.load(); }
    void SleepMs(std::int64_t) override {}
    bool WaitMs(std::int64_t, LinkWake& wake) override {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            ++mPauses;
            mChanged.notify_all();
        }
        while (!mExpired) {
            if (wake.WaitFor(std::chrono::milliseconds(20))) return true;
        }
        return wake.IsRaised();
    }

    // Waits until at least n pauses have begun.
    bool WaitForPauses(int n, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, timeout, [&] { return mPauses >= n; });
    }
    int Pauses() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mPauses;
    }
    void Expire() { mExpired = true; }

private:
    static constexpr std::int64_t kHourMs = 3600 * 1000;
    std::atomic<bool> mExpired{false};
    std::atomic<std::int64_t> mNow{0};
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    int mPauses = 0;
};

}  // namespace kavelo::test
