// Reading and presetting the virtual amplifier's settings from outside the
// protocol: for tests that start from a rich state and for the demo mode's
// persistence.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

AmpLiveState VirtualAmplifier::LiveState() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mLive;
}

void VirtualAmplifier::SetLiveState(const AmpLiveState& live) {
    std::lock_guard<std::mutex> lock(mMutex);
    mLive = live;
}

AmpStoredScene VirtualAmplifier::StoredSceneState(int k) const {
    std::lock_guard<std::mutex> lock(mMutex);
    return k >= 1 && k <= kAmpScenes ? mScenes[k - 1] : ErasedScene();
}

void VirtualAmplifier::SetStoredScene(int k, const AmpStoredScene& scene) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (k < 1 || k > kAmpScenes) return;
    mScenes[k - 1] = scene;
    mSceneEdits[k - 1] = scene.settings;
}

int VirtualAmplifier::CurrentSceneId() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCurrentScene;
}

void VirtualAmplifier::SetMemoryWord(std::uint32_t address, std::uint32_t data) {
    std::lock_guard<std::mutex> lock(mMutex);
    mMemory[address] = data;
}

AmplifierSnapshot VirtualAmplifier::SnapshotLocked() const {
    AmplifierSnapshot s;
    s.identity.model = mModel;
    s.identity.masterVersion = mMasterVersion;
    s.identity.slaveVersion = mSlaveVersion;
    s.identity.loaderMode = mLoaderMode;
    s.identity.flashVersion = mFlashVersion;
    s.live = mLive;
    s.scenes = mScenes;
    s.currentScene = mCurrentScene;
    s.memory = mMemory;
    return s;
}

AmplifierSnapshot VirtualAmplifier::Snapshot() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return SnapshotLocked();
}

void VirtualAmplifier::Restore(const AmplifierSnapshot& s) {
    std::lock_guard<std::mutex> lock(mMutex);
    mModel = s.identity.model;
    mMasterVersion = s.identity.masterVersion;
    mSlaveVersion = s.identity.slaveVersion;
    mLoaderMode = s.identity.loaderMode;
    mFlashVersion = s.identity.flashVersion;
    mLive = s.live;
    mScenes = s.scenes;
    for (int i = 0; i < kAmpScenes; ++i) mSceneEdits[i] = mScenes[i].settings;
    mCurrentScene = s.currentScene;
    mMemory = s.memory;
}

void VirtualAmplifier::SetSceneStoreObserver(
    std::function<void(const AmplifierSnapshot&)> observer) {
    std::lock_guard<std::mutex> lock(mMutex);
    mSceneStoreObserver = std::move(observer);
}

void VirtualAmplifier::SendDspStatus(std::uint8_t on) {
    SendPacket(CMD_DSP, 0x46, OP_UPDATE, {on});
}

void VirtualAmplifier::SendInputThreshold(std::int8_t threshold) {
    const auto value = static_cast<std::uint8_t>(threshold);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mLive.inputThreshold = value;
    }
    SendPacket(CMD_DSP, 0x26, OP_UPDATE, {value});
}

}  // namespace kavelo
