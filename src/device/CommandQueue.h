#pragma once

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
    // Waits until a record is available or `stop` returns true (checked under
    // the queue lock whenever the queue is woken). Returns the oldest record, or
    // none when stopped with the queue empty.
    template <typename StopPredicate>
    std::optional<CommandRecord> WaitPop(StopPredicate stop) {
        std::unique_lock<std::mutex> lock(mMutex);
        mReady.wait(lock, [&] { return !mRecords.empty() || stop(); });
        if (stop() || mRecords.empty()) return std::nullopt;
        return PopLocked();
    }
    // Wakes a waiting consumer so it re-checks its stop condition.
    void Wake();
    std::size_t Size() const;

private:
    std::optional<CommandRecord> PopLocked();

    mutable std::mutex mMutex;
    std::condition_variable mReady;
    std::deque<CommandRecord> mRecords;
};

}  // namespace kavelo
