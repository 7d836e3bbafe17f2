#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "device/DeviceMessage.h"

namespace kavelo::test {

// Collects posted device messages; tests wait on it with a bound.
class RecordingSink : public MessageSink {
public:
    void Post(DeviceMessage message) override {
        std::lock_guard<std::mutex> lock(mMutex);
        mMessages.push_back(std::move(message));
        mChanged.notify_all();
    }
    std::vector<DeviceMessage> Messages() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mMessages;
    }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, timeout, [&] { return mMessages.size() >= n; });
    }

private:
    mutable std::mutex mMutex;
    mutable std::condition_variable mChanged;
    std::vector<DeviceMessage> mMessages;
};

}  // namespace kavelo::test
