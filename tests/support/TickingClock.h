#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "device/LinkClock.h"

namespace kavelo::test {

// Link time that costs nothing: sleeps and the pauses between read retries
// only advance it, and every look at it advances it by a millisecond, so a
// read that retries until its time-out ends after that many retries instead
// of spinning for real time.
class TickingClock : public LinkClock {
public:
    std::int64_t NowMs() override { return ++mNow; }
    // Called by the test's own thread only (fixed waits of the upgrade).
    void SleepMs(std::int64_t ms) override {
        sleeps.push_back(ms);
        mNow += ms;
    }
    bool WaitMs(std::int64_t ms, LinkWake& wake) override {
        ++waitCount;
        waitedMs += ms;
        mNow += ms;
        return wake.IsRaised();
    }
    std::int64_t Peek() const { return mNow; }

    std::vector<std::int64_t> sleeps;
    std::atomic<int> waitCount{0};
    std::atomic<std::int64_t> waitedMs{0};

private:
    std::atomic<std::int64_t> mNow{0};
};

}  // namespace kavelo::test
