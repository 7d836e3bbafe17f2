#pragma once

#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "CliTypes.h"
#include "TracePort.h"
#include "device/DeviceLink.h"
#include "device/DeviceMessage.h"

// One connection of kavelo-cli to an amplifier: the port (traced when asked),
// the device link, and sinks that keep what the link posts.
namespace kavelo::cli {

// Keeps posted messages until taken. Posts arrive on the thread that read the
// reply, which for the CLI's immediate requests is its own.
class CollectingSink : public MessageSink {
public:
    void Post(DeviceMessage message) override;
    std::vector<DeviceMessage> Take();

private:
    std::mutex mMutex;
    std::vector<DeviceMessage> mMessages;
};

class CliSession {
public:
    CliSession(const CliOptions& options, const CliEnvironment& env, std::ostream& err);
    // Tells the amplifier the host leaves and closes the interface.
    ~CliSession();

    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    enum class Need { Application, AnyMode };

    // Opens the amplifier and shakes hands. Returns kExitOk, or the exit code
    // after printing the reason: no amplifier or no answer (2), another model
    // (3), the loader running where the application is needed (4).
    int Connect(Need need);

    DeviceLink& Link() { return *mLink; }
    CollectingSink& Main() { return mMain; }
    CollectingSink& Scenes() { return mScenes; }
    CollectingSink& Memory() { return mMemory; }

    // Progress on the error stream when the environment asks for it: one
    // line, rewritten in place, ended by Done.
    void Progress(const char* what, int done, int total);
    void ProgressDone();

    std::ostream& Err() { return mErr; }
    // Replies that never came since the session started.
    int MissedReplies() const { return mTracePort ? mTracePort->MissedReplies() : 0; }

private:
    std::ostream& mErr;
    bool mShowProgress;
    std::shared_ptr<HidPort> mPort;
    std::unique_ptr<TracePort> mTracePort;
    std::unique_ptr<DeviceLink> mLink;
    CollectingSink mMain, mScenes, mMemory;
    int mLastPercent = -1;
};

}  // namespace kavelo::cli
