// EqualizerManager: scene and whole-configuration profile files, their writes
// into the amplifier, the redraw of every control, and the factory reset.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaObject>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/SpeakerRoles.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "controller/MainMessages.h"
#include "ui/LanguageService.h"

namespace kavelo {

using namespace controls;

namespace {

// The dialogs' filters follow the interface language.
QString ProfileFilter(bool whole) {
    const bool chinese = LanguageService::Instance().GetLanguage() == QLatin1String("cn_zh");
    if (whole)
        return chinese ? QStringLiteral("整机配置文件(*.wpf);;所有文件(*.*)")
                       : QStringLiteral("Whole Config Profile(*.wpf);;All Files(*.*)");
    return chinese ? QStringLiteral("场景配置文件(*.spf);;所有文件(*.*)")
                   : QStringLiteral("Scene Profile(*.spf);;All Files(*.*)");
}

QString KeyOf(ProfileResult result, bool writing) {
    return QString::fromLatin1(ProfileMessageKey(result, writing));
}

TransferStop StopOf(const std::shared_ptr<std::atomic<bool>>& stop) {
    return [stop] { return stop->load(); };
}

}  // namespace

void EqualizerManager::ShowBoxLater(const QString& text) {
    if (!mWindow) return;
    QPointer<WindowImplBase> window = mWindow;
    QMetaObject::invokeMethod(
        window.data(), [window, text] { ConfirmBox(window.data(), text); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- scene profile

void EqualizerManager::SaveSenceConfigToFile() {
    LogPrintA("%s\n", "EqualizerManager::SaveSenceConfigToFile");
    const QString path = ShowSaveFileDialog(mWindow.data(), ProfileFilter(false), "spf");
    if (path.isEmpty()) return;
    LogPrintA("GetSaveFileName %s ok\n", path.toUtf8().constData());
    const ProfileResult result = WriteSceneProfile(mModel.live, path.toStdString());
    ConfirmBox(mWindow.data(), KeyOf(result, true));
}

void EqualizerManager::LoadSenceConfigFromFile() {
    LogPrintA("%s\n", "EqualizerManager::LoadSenceConfigFromFile");
    const QString path = ShowOpenFileDialog(mWindow.data(), ProfileFilter(false));
    if (path.isEmpty()) return;
    LogPrintA("GetOpenFileName %s ok\n", path.toUtf8().constData());
    // Read into a copy: a refused file leaves the model as it was.
    DspState state = mModel.live;
    const ProfileResult result = ReadSceneProfile(path.toStdString(), state);
    if (result != ProfileResult::Ok) {
        LogPrintA("read profile file error! error1\n");
        ConfirmBox(mWindow.data(), KeyOf(result, false));
        return;
    }
    LogPrintA("read profile file ok\n");
    mModel.live = state;
    Post(WM_SHOW_LOADING);
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, state](const std::shared_ptr<std::atomic<bool>>& stop) {
                    LogPrintA("SetCurSceneThread start!\n");
                    const TransferResult result = SetReadCurProfileToMCU(
                        mLink, state, [this](int done, int total) { PostProgress(done, total); },
                        StopOf(stop));
                    FinishProfileWrite(result, stop);
                    LogPrintA("SetCurSceneThread end!\n");
                });
}

// ---------------------------------------------------------------- whole configuration

void EqualizerManager::SaveWholeConfigToFile() {
    LogPrintA("%s\n", "EqualizerManager::SaveWholeConfigToFile");
    const QString path = ShowSaveFileDialog(mWindow.data(), ProfileFilter(true), "wpf");
    if (path.isEmpty()) return;
    LogPrintA("GetSaveFileName %s ok\n", path.toUtf8().constData());
    Post(WM_SHOW_LOADING);
    StartWorker(
        std::make_shared<std::atomic<bool>>(false),
        [this, path](const std::shared_ptr<std::atomic<bool>>& stop) {
            LogPrintA("SaveWholeSceneThread start!\n");
            // One count over the ten scene reads, the copy back to scene 0 and
            // the read-back; the scene reads' size is known from the first.
            int offset = 0;
            int total = 0;
            bool answered = true;
            for (int k = 1; k <= kSceneSlots && answered && !*stop; ++k) {
                int sceneCommands = 0;
                const TransferResult r = ReadSceneIntoSlot(
                    mLink, k,
                    [&](int done, int commands) {
                        sceneCommands = commands;
                        total = kSceneSlots * commands + 1 + ReadBackExchangeCount();
                        PostProgress(offset + done, total);
                    },
                    StopOf(stop));
                offset += sceneCommands;
                answered = !r.abandoned;
            }
            answered = answered && !*stop && mLink.ReadScene(0, 0);
            const int status =
                answered ? StatusInit(
                               stop, [&](int done, int) { PostProgress(offset + 1 + done, total); })
                         : -1;
            // The replies are applied on the UI thread; take the model once
            // everything posted before has been.
            WholeProfile whole;
            const bool taken =
                status == 0 && RunOnUiThreadAndWait([this, &whole] { whole = mModel; }, stop);
            Post(WM_CLOSE_LOADING);
            if (taken) {
                ShowBoxLater(KeyOf(WriteWholeProfile(whole, path.toStdString()), true));
            } else if (!*stop) {
                // Saving what did not come back would write a wrong file.
                ShowBoxLater(QStringLiteral("${device_connect_fail}"));
            }
            LogPrintA("SaveWholeSceneThread end!\n");
        });
}

void EqualizerManager::LoadWholeConfigFromFile() {
    LogPrintA("%s\n", "EqualizerManager::LoadWholeConfigFromFile");
    const QString path = ShowOpenFileDialog(mWindow.data(), ProfileFilter(true));
    if (path.isEmpty()) return;
    LogPrintA("GetOpenFileName %s ok\n", path.toUtf8().constData());
    WholeProfile whole = mModel;
    const ProfileResult result = ReadWholeProfile(path.toStdString(), whole);
    if (result != ProfileResult::Ok) {
        LogPrintA("read profile file error! error1\n");
        ConfirmBox(mWindow.data(), KeyOf(result, false));
        return;
    }
    LogPrintA("read profile file ok\n");
    static_cast<WholeProfile&>(mModel) = whole;
    Post(WM_SHOW_LOADING);
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, whole](const std::shared_ptr<std::atomic<bool>>& stop) {
                    LogPrintA("SetWholeProfileThread start!\n");
                    const TransferResult result = SetReadWholeProfileToMCU(
                        mLink, whole, [this](int done, int total) { PostProgress(done, total); },
                        StopOf(stop));
                    FinishProfileWrite(result, stop);
                    LogPrintA("SetWholeProfileThread end!\n");
                });
}

void EqualizerManager::FinishProfileWrite(const TransferResult& result,
                                          const std::shared_ptr<std::atomic<bool>>& stop) {
    RunOnUiThreadAndWait(
        [this] {
            ApplyStateToControls();
            ResetEditHistory();
        },
        stop);
    Post(WM_CLOSE_LOADING);
    if (!result.ok() && !*stop) {
        LogPrintA("profile write: %d of %d commands got no reply%s\n", result.failed,
                  result.commands, result.abandoned ? " (the amplifier stopped answering)" : "");
        ShowBoxLater(QStringLiteral("${profile_write_incomplete}"));
    }
}

// ---------------------------------------------------------------- redraw

void EqualizerManager::ApplyStateToControls() {
    DspState& live = mModel.live;
    ShowMainVolume();
    WindowImplBase::SetSelected(mUi.mainMute, live.mainVolumeMute != 0, false);
    const int current =
        live.currChannel >= 0 && live.currChannel < kOutputChannels ? live.currChannel : 0;
    SetFreqDivider(current);
    RefreshBandEditors(current);
    ShowRoles();
    for (int n = 0; n < kOutputChannels; ++n) {
        ShowChannelVolume(n);
        WindowImplBase::SetSelected(mUi.chMute[n], live.channels[n].mute != 0, false);
        ShowPhase(n);
        // Distances keep their decimals: the edit commits on leaving it, so a rounded
        // text would become the delay.
        ShowChannelDelay(n);
    }
    // Undo and the A/B switch bring the source and the power back as well.
    WindowImplBase::SelectItem(mUi.inputSource, live.inputSource, false);
    ShowInputOptions();
    ShowAmpPower();
    if (live.linkMode == 1) {
        live.lockMode = 1;
        ComputeLinkPairs(live);
    } else {
        live.linkOutputs.fill(-1);
    }
    ShowModes();
    ActivateCurrentChannel();
    ComputeAllCurves();
    UpdateEqualizer(-1);
}

// ---------------------------------------------------------------- factory reset

void EqualizerManager::ResetMcuFactoryDefault() {
    LogPrintA("%s\n", "EqualizerManager::ResetMcuFactoryDefault");
    if (ShowMessage(mWindow.data(), QStringLiteral("${tips}"),
                    QStringLiteral("${factory_default_tips}")) != 1)
        return;
    Post(WM_SHOW_LOADING);
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this](const std::shared_ptr<std::atomic<bool>>& stop) {
                    FactoryResetSequence(0, *stop, [this] { Post(WM_DEVICE_REBOOT); });
                });
}

}  // namespace kavelo
