#include "device/LinkWake.h"

namespace kavelo {

void LinkWake::Raise() {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mRaised;
    mChanged.notify_all();
}

void LinkWake::Lower() {
    std::lock_guard<std::mutex> lock(mMutex);
    --mRaised;
}

bool LinkWake::IsRaised() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRaised > 0;
}

bool LinkWake::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, timeout, [this] { return mRaised > 0; });
}

}  // namespace kavelo
