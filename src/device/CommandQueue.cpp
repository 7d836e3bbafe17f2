#include "device/CommandQueue.h"

#include <new>

namespace kavelo {

bool CommandQueue::Push(CommandRecord record) {
    try {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
        return false;
    }
    mReady.notify_one();
    return true;
}

std::optional<CommandRecord> CommandQueue::PopLocked() {
    if (mRecords.empty()) return std::nullopt;
    CommandRecord record = std::move(mRecords.front());
    mRecords.pop_front();
    return record;
}

std::optional<CommandRecord> CommandQueue::TryPop() {
    std::lock_guard<std::mutex> lock(mMutex);
    return PopLocked();
}

void CommandQueue::Wake() {
    { std::lock_guard<std::mutex> lock(mMutex); }
    mReady.notify_all();
}

void CommandQueue::Finished() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mInHand = false;
    }
    mIdle.notify_all();
}

bool CommandQueue::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mIdle.wait_for(lock, timeout, [&] { return mRecords.empty() && !mInHand; });
}

std::size_t CommandQueue::Size() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRecords.size();
}

}  // namespace kavelo
