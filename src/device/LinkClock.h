#pragma once

#include <cstdint>

#include "device/LinkWake.h"

// Time source and fixed waits of the link, replaceable in tests so that a long
// wait (for example the amplifier's restart) does not cost real time.
namespace kavelo {

class LinkClock {
public:
    virtual ~LinkClock() = default;
    // Milliseconds since an arbitrary start; only differences are used.
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t milliseconds) = 0;
    // Waits up to `milliseconds`, less when `wake` is raised meanwhile.
    // Returns whether it was raised.
    virtual bool WaitMs(std::int64_t milliseconds, LinkWake& wake) = 0;
};

// Steady wall time and real sleeps.
class RealLinkClock : public LinkClock {
public:
    std::int64_t NowMs() override;
    void SleepMs(std::int64_t milliseconds) override;
    bool WaitMs(std::int64_t milliseconds, LinkWake& wake) override;
};

// The process-wide real clock, the default of every link.
LinkClock& DefaultLinkClock();

}  // namespace kavelo
