#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>

#include "device/HidPort.h"

// A HidPort decorator for kavelo-cli: prints every report written ("> ") and
// read ("< ") as hex, one per line, and can cap the wait for a reply so that a
// silent amplifier costs a bounded time.
namespace kavelo::cli {

// Upper-case hex of `size` bytes, separated by single spaces ("00 AA 55").
std::string HexLine(const std::uint8_t* data, std::size_t size);

class TracePort : public HidPort {
public:
    // `inner` must outlive this port and every device it opens. `trace` may be
    // null (no trace); `maxWaitMs` 0 leaves the waits as asked.
    TracePort(HidPort& inner, std::ostream* trace, int maxWaitMs);

    int Init() override { return mInner.Init(); }
    // Writes that failed and reads that ended without a report: each is a
    // reply that never came.
    int MissedReplies() const { return *mMissed; }
    std::unique_ptr<HidDevice> Open(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    class Device;
    HidPort& mInner;
    std::ostream* mTrace;
    int mMaxWaitMs;
    std::shared_ptr<std::mutex> mTraceMutex = std::make_shared<std::mutex>();
    std::shared_ptr<std::atomic<int>> mMissed = std::make_shared<std::atomic<int>>(0);
};

}  // namespace kavelo::cli
