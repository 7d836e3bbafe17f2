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

std::size_t CommandQueue::Size() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRecords.size();
}

}  // namespace kavelo
