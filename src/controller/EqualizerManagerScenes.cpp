// EqualizerManager: the amplifier's ten stored scenes. The scene window asks
// the questions; these workers talk to the amplifier and report back to it.
#include "base/Log.h"
#include "controller/EqualizerManager.h"
#include "controller/MainMessages.h"
#include "ui/WindowMessage.h"

namespace kavelo {

void EqualizerManager::LoadSenceConfigFromDSP() {
    LogPrintA("%s\n", "EqualizerManager::LoadSenceConfigFromDSP");
    if (mHooks.showSceneWindow) mHooks.showSceneWindow(SceneWindowMode::Load);
}

void EqualizerManager::SaveSenceConfigToDSP() {
    LogPrintA("%s\n", "EqualizerManager::SaveSenceConfigToDSP");
    if (mHooks.showSceneWindow) mHooks.showSceneWindow(SceneWindowMode::Save);
}

void EqualizerManager::DeleteDSPSenceConfig() {
    LogPrintA("%s\n", "EqualizerManager::DeleteDSPSenceConfig");
    if (mHooks.showSceneWindow) mHooks.showSceneWindow(SceneWindowMode::Delete);
}

void EqualizerManager::InstallSceneReceiver(QObject* window) {
    if (!mSceneSink) mSceneSink = std::make_unique<QtMessageSink>(window);
    mSceneSink->SetReceiver(window);
    mLink.SceneReceiver = mSceneSink.get();
}

void EqualizerManager::PostToSceneWindow(int id) {
    if (mSceneSink) mSceneSink->Post(DeviceMessage{id, 0, {}});
}

void EqualizerManager::RequestSceneId() {
    if (!mLink.IsDeviceOpen()) return;
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this](const std::shared_ptr<std::atomic<bool>>& stop) {
                    if (!*stop) mLink.Get_Scene_ID();
                });
}

void EqualizerManager::LoadSenceThread() {
    const auto scene = static_cast<std::uint8_t>(mCurrentScene);
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, scene](const std::shared_ptr<std::atomic<bool>>& stop) {
                    LogPrintA("LoadSenceThread start!\n");
                    // The read-back moves the controls; none of that may echo back.
                    mLink.DisableCmdQueue();
                    const bool copied = mLink.ReadScene(scene, 0);
                    const int status = copied && !*stop ? StatusInit(stop) : -1;
                    RunOnUiThreadAndWait(
                        [this] {
                            ShowRoles();
                            ComputeAllCurves();
                            UpdateEqualizer(-1);
                            ResetEditHistory();
                        },
                        stop);
                    mLink.EnableCmdQueue();
                    PostToSceneWindow(WM_CLOSE_LOADING);
                    if (status != 0 && !*stop) {
                        LogPrintA("LoadSenceThread: scene %d was not read back\n", scene);
                        ShowBoxLater(QStringLiteral("${device_connect_fail}"));
                    }
                    LogPrintA("LoadSenceThread end!\n");
                });
}

void EqualizerManager::SaveSenceThread() {
    const auto scene = static_cast<std::uint8_t>(mCurrentScene);
    const std::vector<std::uint8_t> name(mPendingSceneName.begin(), mPendingSceneName.end());
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, scene, name](const std::shared_ptr<std::atomic<bool>>& stop) {
                    LogPrintA("SaveSenceThread start!\n");
                    // What is stored is the amplifier's live state as it stands.
                    const bool named = mLink.SetSceneName(scene, name);
                    const bool saved = named && !*stop && mLink.SaveScene(scene, 0);
                    PostToSceneWindow(WM_CLOSE_LOADING);
                    if (!saved && !*stop) {
                        LogPrintA("SaveSenceThread: scene %d was not stored\n", scene);
                        ShowBoxLater(QStringLiteral("${device_connect_fail}"));
                    }
                    LogPrintA("SaveSenceThread end!\n");
                });
}

void EqualizerManager::DeleteSenceThread() {
    const auto scene = static_cast<std::uint8_t>(mCurrentScene);
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, scene](const std::shared_ptr<std::atomic<bool>>& stop) {
                    LogPrintA("DeleteSenceThread start!\n");
                    // The acknowledgement closes the scene window's loading window;
                    // without one it is closed here, so nothing waits forever.
                    if (!mLink.DeleteScene(scene) && !*stop) {
                        LogPrintA("DeleteSenceThread: scene %d was not deleted\n", scene);
                        PostToSceneWindow(WM_CLOSE_LOADING);
                        ShowBoxLater(QStringLiteral("${device_connect_fail}"));
                    }
                    LogPrintA("DeleteSenceThread end!\n");
                });
}

}  // namespace kavelo
