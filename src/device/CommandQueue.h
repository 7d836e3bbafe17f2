#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace kavelo {

// One queued command. The record owns its payload bytes.
struct CommandRecord {
    std::uint8_t cmd = 0;
    std::uint8_t subcmd = 0;
    std::uint8_t optype = 0;
    std::vector<std::uint8_t> payload;
    std::uint8_t len = 0;
};

// First-in first-out hand-over from any number of producers to the one worker.
// Unbounded: adding fails only when memory runs out.
class CommandQueue {
public:
    // Returns false when the record could not be stored.
    bool Push(CommandRecord record);
    // The oldest record, or none when the queue is empty.
    std::optional<CommandRecord> TryPop();
    // The worker's take: waits until a record is available or `stop` returns
    // true (checked under the queue lock whenever the queue is woken). Returns
    // the oldest record, or none when stopped with the queue empty. A record
    // taken here counts as in hand until Finished().
    template <typename StopPredicate>
    std::optional<CommandRecord> WaitPop(StopPredicate stop) {
        std::unique_lock<std::mutex> lock(mMutex);
        mReady.wait(lock, [&] { return !mRecords.empty() || stop(); });
        if (stop() || mRecords.empty()) return std::nullopt;
        mInHand = true;
        return PopLocked();
    }
    // The worker is done with the record WaitPop gave it.
    void Finished();
    // Waits up to `timeout` until nothing is queued or in hand; returns whether
    // that came.
    bool WaitIdle(std::chrono::milliseconds timeout);
    // Wakes a waiting consumer so it re-checks its stop condition.
    void Wake();
    std::size_t Size() const;

private:
    std::optional<CommandRecord> PopLocked();

    mutable std::mutex mMutex;
    std::condition_variable mReady;
    std::condition_variable mIdle;
    std::deque<CommandRecord> mRecords;
    bool mInHand = false;
};

}  // namespace kavelo
