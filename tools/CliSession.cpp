#include "CliSession.h"

#include <string>

#include "base/BuildConstants.h"

namespace kavelo::cli {

void CollectingSink::Post(DeviceMessage message) {
    std::lock_guard<std::mutex> lock(mMutex);
    mMessages.push_back(std::move(message));
}

std::vector<DeviceMessage> CollectingSink::Take() {
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<DeviceMessage> out;
    out.swap(mMessages);
    return out;
}

CliSession::CliSession(const CliOptions& options, const CliEnvironment& env, std::ostream& err)
    : mErr(err), mShowProgress(env.showProgress) {
    mPort = env.portFactory ? env.portFactory(options.demo) : nullptr;
    if (mPort) {
        mTracePort = std::make_unique<TracePort>(*mPort, options.trace ? &err : nullptr,
                                                 options.replyTimeoutMs);
        mLink =
            std::make_unique<DeviceLink>(*mTracePort, env.clock ? *env.clock : DefaultLinkClock());
    }
    if (mLink) {
        mLink->SetLinkConfig(MODEL_ID, 8, 6, 0, 0);
        mLink->MainReceiver = &mMain;
        mLink->SceneReceiver = &mScenes;
        mLink->MemReceiver = &mMemory;
    }
}

CliSession::~CliSession() {
    if (!mLink) return;
    if (mLink->IsDeviceOpen()) mLink->CloseHIDDevice(true);
    mLink->RequestStop();
    mLink->MainReceiver = nullptr;
    mLink->SceneReceiver = nullptr;
    mLink->MemReceiver = nullptr;
}

int CliSession::Connect(Need need) {
    if (!mLink) return Fail(mErr, kExitDevice, "no device port available");
    const int initError = mLink->OpenHIDDevice();
    if (initError != 0) {
        return Fail(mErr, kExitDevice,
                    "the HID library could not start (error " + std::to_string(initError) + ")");
    }
    if (!mLink->IsDeviceOpen()) {
        return Fail(mErr, kExitDevice,
                    "no amplifier found (USB 0483:5750): check the cable and the permission to "
                    "open it (packaging/ has the udev rule)");
    }
    mLink->PC_Connect(1);
    if (!mLink->Hand_Connect()) {
        return Fail(mErr, kExitDevice, "the amplifier does not answer the handshake");
    }
    if (mLink->McuNormalMode) {
        const int model = mLink->DeviceModel;
        if (model != MODEL_ID) {
            return Fail(mErr, kExitInput,
                        "wrong model: the amplifier reports model " + std::to_string(model) +
                            ", this tool serves model " + std::to_string(MODEL_ID) + " (" +
                            MODEL_NAME + ")");
        }
    } else if (need == Need::Application) {
        return Fail(mErr, kExitRefused,
                    "the amplifier runs its loader, not its application; only 'info' and "
                    "'fw flash' work now");
    }
    return kExitOk;
}

void CliSession::Progress(const char* what, int done, int total) {
    if (!mShowProgress || total <= 0) return;
    const int percent = done * 100 / total;
    if (percent == mLastPercent) return;
    mLastPercent = percent;
    mErr << '\r' << what << ' ' << percent << '%' << std::flush;
}

void CliSession::ProgressDone() {
    if (mShowProgress && mLastPercent >= 0) mErr << '\n' << std::flush;
    mLastPercent = -1;
}

int Fail(std::ostream& err, int code, const std::string& message) {
    err << "kavelo-cli: " << message << '\n' << std::flush;
    return code;
}

}  // namespace kavelo::cli
