#include "sim/DemoAmplifier.h"

#include "base/Log.h"
#include "base/Platform.h"
#include "sim/VirtualAmplifierState.h"

namespace kavelo {

std::string DemoAmplifier::DefaultStatePath() {
    return JoinPath(JoinPath(UserDataFolder(), "kavelo"), "demo-amplifier.json");
}

DemoAmplifier::DemoAmplifier(std::string statePath)
    : mPath(statePath.empty() ? DefaultStatePath() : std::move(statePath)),
      mAmp(std::make_unique<VirtualAmplifier>()) {
    mAmp->SetReportLatency(std::chrono::milliseconds(1));
    AmplifierSnapshot snapshot = FactorySnapshot();
    mLoadError = LoadAmplifierState(mPath, snapshot);
    if (mLoadError.empty()) {
        mAmp->Restore(snapshot);
        LogPrintA("Demo amplifier: state loaded from %s\n", mPath.c_str());
    } else {
        LogPrintA("Demo amplifier: factory settings (%s)\n", mLoadError.c_str());
    }
    mAmp->SetSceneStoreObserver([this](const AmplifierSnapshot& s) { Store(s); });
}

DemoAmplifier::~DemoAmplifier() {
    mAmp->SetSceneStoreObserver(nullptr);
    Save();
}

void DemoAmplifier::Store(const AmplifierSnapshot& snapshot) {
    std::lock_guard<std::mutex> lock(mSaveMutex);
    mSaveError = SaveAmplifierState(snapshot, mPath);
    if (!mSaveError.empty()) LogPrintA("Demo amplifier: state not saved: %s\n", mSaveError.c_str());
}

std::string DemoAmplifier::Save() {
    Store(mAmp->Snapshot());
    return LastSaveError();
}

std::string DemoAmplifier::LastSaveError() const {
    std::lock_guard<std::mutex> lock(mSaveMutex);
    return mSaveError;
}

}  // namespace kavelo
