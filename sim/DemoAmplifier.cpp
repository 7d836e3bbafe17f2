#include "sim/DemoAmplifier.h"

#include <cstdlib>

#include "base/Log.h"
#include "sim/VirtualAmplifierState.h"

namespace kavelo {

namespace {
constexpr const char* kStateFile = "kavelo/demo-amplifier.json";
}  // namespace

std::string DemoAmplifier::DefaultStatePath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) return std::string(dataHome) + "/" + kStateFile;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/" + kStateFile;
    return kStateFile;
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
