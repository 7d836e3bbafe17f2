#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kavelo {

// Raised by a close while it waits for the exchange lock. A read that retries
// on a failing handle pauses on it between attempts and gives up as soon as it
// is raised, so the close is not held up for the read's whole time-out.
// Raises nest: of two closes racing each other, the first to finish does not
// lower it for the second.
class LinkWake {
public:
    void Raise();
    void Lower();
    bool IsRaised() const;
    // Blocks until raised or until `timeout` has passed; returns IsRaised().
    bool WaitFor(std::chrono::milliseconds timeout);

    // Keeps the wake raised for its own lifetime.
    class Raised {
    public:
        explicit Raised(LinkWake& wake) : mWake(wake) { mWake.Raise(); }
        ~Raised() { mWake.Lower(); }
        Raised(const Raised&) = delete;
        Raised& operator=(const Raised&) = delete;

    private:
        LinkWake& mWake;
    };

private:
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    int mRaised = 0;
};

}  // namespace kavelo
