#include "CliReadBack.h"

#include <mutex>
#include <string>

#include "control/ProfileTransfer.h"

namespace kavelo::cli {

// Applies what the link reports to a model, as the application's callbacks
// do, without any control.
class ModelSink : public MessageSink {
public:
    void Post(DeviceMessage m) override {
        std::lock_guard<std::mutex> lock(mMutex);
        switch (m.id) {
            case WM_READ_DSP_VALUE:
                ApplyDspValue(mModel, static_cast<int>(m.wParam), m.lParam);
                break;
            case WM_READ_MCU_VALUE:
                ApplyMcuValue(mModel, static_cast<int>(m.wParam), m.lParam, true);
                break;
            case WM_READ_SCENE_VALUE:
                ApplySceneValue(mModel, static_cast<int>(m.wParam), m.lParam);
                break;
            default:
                break;
        }
    }
    ControllerModel Model() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mModel;
    }

private:
    std::mutex mMutex;
    ControllerModel mModel;
};

ModelReceiver::ModelReceiver(DeviceLink& link) : mLink(link), mSink(std::make_unique<ModelSink>()) {
    mLink.MainReceiver = mSink.get();
}

ModelReceiver::~ModelReceiver() { mLink.MainReceiver = nullptr; }

ControllerModel ModelReceiver::Model() { return mSink->Model(); }

namespace {

int MissedReplies(CliSession& s, int before, const std::string& what) {
    const int missed = s.MissedReplies() - before;
    if (missed <= 0) return kExitOk;
    return Fail(s.Err(), kExitDevice,
                std::to_string(missed) + " request(s) of the " + what +
                    " got no reply; nothing was written");
}

}  // namespace

int ReadLive(CliSession& s, const char* label) {
    const int total = ReadBackExchangeCount();
    int done = 0;
    ReadBackHooks hooks;
    hooks.stopRequested = [&] {
        s.Progress(label, ++done, total);
        return false;
    };
    const int before = s.MissedReplies();
    const int result = RunStatusInit(s.Link(), hooks);
    s.ProgressDone();
    if (result != 0) {
        return Fail(s.Err(), kExitDevice, "the amplifier stopped answering during the read-back");
    }
    return MissedReplies(s, before, "read-back");
}

int ReadWhole(CliSession& s, const char* label) {
    for (int k = 1; k <= kSceneSlots; ++k) {
        const std::string what = std::string(label) + " scene " + std::to_string(k);
        const TransferResult r = ReadSceneIntoSlot(
            s.Link(), k, [&](int done, int total) { s.Progress(what.c_str(), done, total); });
        s.ProgressDone();
        // Requests that were not even written count too: the amplifier went away.
        if (!r.ok()) {
            return Fail(s.Err(), kExitDevice,
                        std::to_string(r.failed) + " of " + std::to_string(r.commands) +
                            " requests of the scene " + std::to_string(k) +
                            " read-back got no reply; nothing was written");
        }
    }
    s.Link().ReadScene(0, 0);
    return ReadLive(s, label);
}

int ReadAmplifierSettings(CliContext& ctx, bool whole, ControllerModel& model) {
    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    ModelReceiver receiver(s.Link());
    const int read = whole ? ReadWhole(s, "reading") : ReadLive(s, "reading");
    if (read != kExitOk) return read;
    model = receiver.Model();
    return kExitOk;
}

}  // namespace kavelo::cli
