#include "device/LinkClock.h"

#include <chrono>
#include <thread>

namespace kavelo {

std::int64_t RealLinkClock::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RealLinkClock::SleepMs(std::int64_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool RealLinkClock::WaitMs(std::int64_t milliseconds, LinkWake& wake) {
    return wake.WaitFor(std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0));
}

LinkClock& DefaultLinkClock() {
    static RealLinkClock clock;
    return clock;
}

}  // namespace kavelo
