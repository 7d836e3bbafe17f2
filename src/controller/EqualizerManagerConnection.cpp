// EqualizerManager: binding the main window, connecting, the initial read-back
// and applying what the amplifier reports.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QTimer>
#include <chrono>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "base/Markers.h"
#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "controller/MainMessages.h"
#include "ui/LanguageService.h"
#include "ui/Prompts.h"
#include "ui/WindowImplBase.h"
#include "ui/WindowMessage.h"

namespace kavelo {

using namespace controls;

namespace {

// How long a worker waits for its refresh on the UI thread before giving up.
constexpr int kUiRefreshTimeoutMs = 10000;

// Combo items at a given height for the display scale.
void SetItemHeights(QComboBox* combo, int scalePercent) {
    if (!combo) return;
    const int height = 16 * scalePercent / 100;
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemData(i, QSize(0, height), Qt::SizeHintRole);
}

}  // namespace

EqualizerManager::EqualizerManager(HidPort& port, LinkClock& clock)
    : mPort(port), mLink(port, clock) {
    mLink.SetLinkConfig(MODEL_ID, kOutputChannels, 6, 0, 0);
}

EqualizerManager::~EqualizerManager() {
    // A worker waiting for a silent amplifier's reply is woken by the close
    // instead of being waited out (up to a reply time-out) by the join.
    RaiseWorkerStops();
    if (mLink.IsDeviceOpen()) mLink.CloseHIDDevice(true);
    StopAllWorkers();
    mLink.MainReceiver = nullptr;
    mLink.SceneReceiver = nullptr;
    if (mSink) mSink->Reset();
}

AboutDeviceInfo EqualizerManager::DeviceInfo() const {
    AboutDeviceInfo info;
    info.model = mModel.live.model;
    info.mainVersion = mModel.live.mainVersion;
    info.slaveVersion = mModel.live.slaveVersion;
    return info;
}

bool EqualizerManager::UpgradeOwnsLink() const {
    const int status = mLink.sys_upg_status;
    return status == UPG_ENTER || status == UPG_START;
}

bool EqualizerManager::IsConnected() const {
    return mLink.IsDeviceOpen() && mModel.live.model != -1 && mLink.IsCmdQueueEnabled();
}

// ---------------------------------------------------------------- binding

void EqualizerManager::BindControls(WindowImplBase* window) {
    mWindow = window;
    mSink = std::make_unique<QtMessageSink>(window);
    mLink.MainReceiver = mSink.get();
    auto find = [window](const QString& name) { return window->FindControl(name); };
    auto button = [window](const QString& name) {
        return window->FindControl<QAbstractButton>(name);
    };
    auto slider = [window](const QString& name) {
        return window->FindControl<QAbstractSlider>(name);
    };
    auto edit = [window](const QString& name) { return window->FindControl<QLineEdit>(name); };
    auto combo = [window](const QString& name) { return window->FindControl<QComboBox>(name); };
    auto indexed = [](const char* pattern, int i) { return QString::asprintf(pattern, i); };
    const int scale = window->ScalePercent();

    mUi.btnConnect = button(QStringLiteral("btnConnect"));
    mUi.ampOnOff = button(QStringLiteral("btn_amp_onoff"));
    mUi.debug = find(QStringLiteral("btn_debug"));
    SetVisible(mUi.debug, MarkerFileExists(MARKER_DEBUG));
    mUi.advance = find(QStringLiteral("btn_advance"));
    mUi.inputSource = combo(QStringLiteral("btn_input_source"));
    if (mUi.inputSource) {
        SetItemHeights(mUi.inputSource, scale);
        if (auto* view = qobject_cast<QListView*>(mUi.inputSource->view())) {
            for (int i = 0; i < mUi.inputSource->count() && i < kInputSources; ++i)
                view->setRowHidden(i, !InputSource(i)->visible);
        }
    }
    mUi.equalizer = find(QStringLiteral("equalizer"));
    mUi.mainVolumeEdit = edit(QStringLiteral("edit_main_volume"));
    mUi.mainVolumeSlider = slider(QStringLiteral("slider_main_volume"));
    if (mUi.mainVolumeSlider) {
        mUi.mainVolumeSlider->setRange(0, kMaxMainVolume);
        SetSliderValue(mUi.mainVolumeSlider, 30);
    }
    mUi.mainMute = button(QStringLiteral("main_mute"));

    mUi.unit = combo(QStringLiteral("comb_ch_unit"));
    mUi.hpType = combo(QStringLiteral("hp_type"));
    mUi.lpType = combo(QStringLiteral("lp_type"));
    mUi.hpSlope = combo(QStringLiteral("hp_slop"));
    mUi.lpSlope = combo(QStringLiteral("lp_slop"));
    for (QComboBox* c : {mUi.unit, mUi.hpType, mUi.lpType, mUi.hpSlope, mUi.lpSlope})
        SetItemHeights(c, scale);
    mUi.hpFreq = edit(QStringLiteral("hp_freq"));
    mUi.lpFreq = edit(QStringLiteral("lp_freq"));

    for (int b = 0; b < kEqBands; ++b) {
        mUi.eqFreq[b] = edit(indexed("eq_freq_%d", b));
        mUi.eqQ[b] = edit(indexed("eq_q_%d", b));
        mUi.eqGain[b] = edit(indexed("eq_gain_%d", b));
        mUi.eqSlider[b] = slider(indexed("eq_slider_%d", b));
        mUi.ptEnable[b] = button(indexed("pt_enable_%d", b));
    }

    DspState& live = mModel.live;
    for (int n = 0; n < kOutputChannels; ++n) {
        mUi.chShow[n] = button(indexed("ch_show_%d", n));
        mUi.chEnable[n] = button(indexed("ch_enable_%d", n));
        mUi.chOutputBtn[n] = button(indexed("ch_output_btn_%d", n));
        mUi.chVolumeSlider[n] = slider(indexed("slider_ch_volume_%d", n));
        if (mUi.chVolumeSlider[n]) {
            mUi.chVolumeSlider[n]->setRange(-600, 0);
            mUi.chVolumeSlider[n]->setSingleStep(10);
        }
        QWidget* volumeBg = find(indexed("ch_volume_bg_%d", n));
        mUi.chVolumeEdit[n] = edit(indexed("edit_ch_volume_%d", n));
        mUi.chMute[n] = button(indexed("ch_mute_%d", n));
        mUi.chPhase[n] = button(indexed("ch_phase_%d", n));
        mUi.chSync[n] = button(indexed("ch_synchronize_%d", n));
        for (QWidget* w :
             {static_cast<QWidget*>(mUi.chShow[n]), static_cast<QWidget*>(mUi.chEnable[n]),
              static_cast<QWidget*>(mUi.chOutputBtn[n]),
              static_cast<QWidget*>(mUi.chVolumeSlider[n]), volumeBg,
              static_cast<QWidget*>(mUi.chVolumeEdit[n]), static_cast<QWidget*>(mUi.chMute[n]),
              static_cast<QWidget*>(mUi.chPhase[n]), static_cast<QWidget*>(mUi.chSync[n])})
            SetVisible(w, true);
        live.syncFlags[n] = 0;
        mUi.chDelaySlider[n] = slider(indexed("slider_ch_delay_%d", n));
        SetVisible(mUi.chDelaySlider[n], false);
        SetVisible(find(indexed("delay_lable_%d", n)), true);
        SetVisible(find(indexed("control_empty_%d", n)), true);
        mUi.chDelayEdit[n] = edit(indexed("edit_ch_delay_%d", n));
        SetVisible(mUi.chDelayEdit[n], true);
        for (int k = 0; k < kMaxInputChannels; ++k) {
            QAbstractButton* option = button(QString::asprintf("option_ch_in%d_%d", k + 1, n));
            mUi.chInput[n][k] = option;
            SetVisible(option, true);
        }
        ShowMix(n);
        SetVisible(find(indexed("input_123_%d", n)), false);
        SetVisible(find(indexed("input_456_%d", n)), false);
    }
    for (int k = 1; k <= 24; ++k) {
        QAbstractButton* speaker = button(indexed("speaker_%d", k));
        mUi.speakers[k - 1] = speaker;
        SetText(speaker, QString());
        SetVisible(speaker, false);
    }
    mUi.resetEq = button(QStringLiteral("btn_reset_eq"));
    mUi.bypass = button(QStringLiteral("btn_bypass"));
    mUi.argEq = button(QStringLiteral("btn_arg_eq"));
    WindowImplBase::SetSelected(mUi.argEq, false, false);  // graphic EQ mode
    mUi.resetOutput = button(QStringLiteral("btn_reset_output"));
    mUi.lockOutput = button(QStringLiteral("btn_lock_output"));
    mUi.linkOutput = button(QStringLiteral("btn_link_output"));
    mUi.undo = button(QStringLiteral("btn_undo"));
    mUi.redo = button(QStringLiteral("btn_redo"));
    mUi.abA = button(QStringLiteral("btn_ab_a"));
    mUi.abB = button(QStringLiteral("btn_ab_b"));
    mUi.abCopy = button(QStringLiteral("btn_ab_copy"));

    ShowMainVolume();
    if (mUi.inputSource) WindowImplBase::SelectItem(mUi.inputSource, 5);
    WindowImplBase::Activate(mUi.chEnable[0]);
    ShowRoles();
    ShowConnectState(ButtonState::Disconnected);
    ShowHistoryButtons();
}

// ---------------------------------------------------------------- connecting

void EqualizerManager::ShowConnectState(ButtonState state) {
    QAbstractButton* b = mUi.btnConnect;
    if (!b) return;
    const bool connected = state == ButtonState::Connected;
    SetText(b, connected                          ? QStringLiteral("${btn_connected}")
               : state == ButtonState::Connecting ? QStringLiteral("${btn_connecting}")
                                                  : QStringLiteral("${btn_disconnected}"));
    WindowImplBase::SetSelected(b, connected, false);
    SetTextColour(b, connected ? kWhiteText : kRedText);
    b->update();
}

void EqualizerManager::Post(int id) {
    if (mWindow) PostWindowMessage(mWindow.data(), id);
}

void EqualizerManager::PostProgress(int done, int total) {
    if (mWindow)
        PostWindowMessage(mWindow.data(), WM_LOADING_PROGRESS, static_cast<std::uintptr_t>(done),
                          std::int64_t{total});
}

void EqualizerManager::ConnectDevice(bool userInitiated) {
    if (UpgradeOwnsLink()) return;
    if (mLink.IsDeviceOpen()) {
        FinishQueuedCommands();
        DisconnectDevice();
        return;
    }
    mLink.OpenHIDDevice();
    if (!mLink.IsDeviceOpen()) {
        LogPrintA("Can not conect usb devices, please connect devices again!\n");
        if (userInitiated) ConfirmBox(mWindow.data(), QStringLiteral("${device_connect_fail}"));
        ShowConnectState(ButtonState::Disconnected);
        return;
    }
    if (mHooks.closeUpdateWindow) mHooks.closeUpdateWindow();
    if (mHooks.closeMixerWindow) mHooks.closeMixerWindow();
    LogPrintA("Connect OK\xEF\xBC\x81\n");
    ShowConnectState(ButtonState::Connecting);
    const bool forcedUpdateWaits =
        mForceUpdateFlag && mHooks.forcedUpdateWindowOpen && mHooks.forcedUpdateWindowOpen();
    if (MarkerFileExists(MARKER_NO_FORCE_UPDATE) || !forcedUpdateWaits) {
        StartReadBack();
        return;
    }
    // A forced update waits for the amplifier to come back.
    ShowConnectState(ButtonState::Connected);
    if (mHooks.continueAfterReconnect) mHooks.continueAfterReconnect();
}

void EqualizerManager::StartReadBack() {
    mLink.DisableCmdQueue();
    Post(WM_SHOW_LOADING);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    if (mConnectStop) *mConnectStop = true;  // an earlier read-back is obsolete now
    mConnectStop = stop;
    StartWorker(stop, [this](const std::shared_ptr<std::atomic<bool>>& s) { ConnectionWorker(s); });
}

int EqualizerManager::PC_UI_Status_Init() { return StatusInit(nullptr); }

int EqualizerManager::StatusInit(const std::shared_ptr<std::atomic<bool>>& stop,
                                 const std::function<void(int done, int total)>& progress) {
    ReadBackHooks hooks;
    hooks.progress = progress;
    QObject* window = mWindow.data();
    hooks.afterPcConnect = [window] {
        if (!window) return;
        QMetaObject::invokeMethod(
            window, [window] { static_cast<WindowImplBase*>(window)->SetTimer(STATUS_TIMER, 100); },
            Qt::QueuedConnection);
    };
    hooks.stopRequested = [stop] { return stop && stop->load(); };
    return RunStatusInit(mLink, hooks);
}

void EqualizerManager::ConnectionWorker(const std::shared_ptr<std::atomic<bool>>& stop) {
    LogPrintA("Read mcu value thread start!\n");
    const int result = StatusInit(stop);
    if (*stop) {
        // Disconnected or shutting down meanwhile: nothing failed, just end.
        Post(WM_CLOSE_LOADING);
        return;
    }
    if (result == -1) {
        Post(WM_CLOSE_LOADING);
        Post(WM_CONNECT_FAIL);
        Post(WM_DISCONNECTED);  // closes the link and forgets the model
        return;
    }

    // The value messages posted during the read-back are handled before this
    // refresh, so it sees the whole state; the checks below read its results.
    struct Decision {
        bool wrongModel = false;
        bool forceUpdate = false;
    };
    auto decision = std::make_shared<Decision>();
    const bool refreshed = RunOnUiThreadAndWait(
        [this, decision] {
            ComputeAllCurves();
            UpdateEqualizer(-1);
            const bool normal = mLink.McuNormalMode;
            decision->wrongModel = normal && mModel.live.model != MODEL_ID;
            decision->forceUpdate =
                !MarkerFileExists(MARKER_NO_FORCE_UPDATE) && NeedsForcedUpdate(mModel.live, normal);
        },
        stop);
    if (!refreshed) {
        Post(WM_CLOSE_LOADING);
        if (*stop) return;
        LogPrintA("Read mcu value thread: the window did not take the read-back in time\n");
        Post(WM_CONNECT_FAIL);
        Post(WM_DISCONNECTED);
        return;
    }
    if (decision->wrongModel) {
        // Never shown as connected: the "not match" box is already up.
        Post(WM_CLOSE_LOADING);
        Post(WM_DISCONNECTED);
        return;
    }
    Post(WM_CONNECTED);
    Post(WM_CLOSE_LOADING);
    LogPrintA("Read mcu value thread end!\n");
    DeviceLink::LogDateTime();
    if (decision->forceUpdate) Post(WM_FORCE_UPDATE);
}

bool EqualizerManager::RunOnUiThreadAndWait(const std::function<void()>& work,
                                            const std::shared_ptr<std::atomic<bool>>& stop) {
    struct Rendezvous {
        std::mutex mutex;
        std::condition_variable ran;
        bool done = false;
    };
    auto rendezvous = std::make_shared<Rendezvous>();
    QObject* window = mWindow.data();
    if (!window) return false;
    QMetaObject::invokeMethod(
        window,
        [work, rendezvous] {
            work();
            std::lock_guard<std::mutex> lock(rendezvous->mutex);
            rendezvous->done = true;
            rendezvous->ran.notify_all();
        },
        Qt::QueuedConnection);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kUiRefreshTimeoutMs);
    std::unique_lock<std::mutex> lock(rendezvous->mutex);
    while (!rendezvous->done) {
        if (stop && *stop) return false;
        // Short slices so a stop request is noticed without a second signal.
        const auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        rendezvous->ran.wait_until(lock, std::min(slice, deadline));
        if (!rendezvous->done && std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

void EqualizerManager::StartWorker(
    std::shared_ptr<std::atomic<bool>> stop,
    std::function<void(const std::shared_ptr<std::atomic<bool>>&)> body) {
    ReapWorkers();
    Worker w;
    w.stop = std::move(stop);
    w.done = std::make_shared<std::atomic<bool>>(false);
    w.thread = std::thread([this, body = std::move(body), stop = w.stop, done = w.done] {
        body(stop);
        std::lock_guard<std::mutex> lock(mWorkersMutex);
        *done = true;
        mWorkersChanged.notify_all();
    });
    std::lock_guard<std::mutex> lock(mWorkersMutex);
    mWorkers.push_back(std::move(w));
}

void EqualizerManager::ReapWorkers() {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(mWorkersMutex);
        for (auto it = mWorkers.begin(); it != mWorkers.end();) {
            if (*it->done) {
                finished.splice(finished.end(), mWorkers, it++);
            } else {
                ++it;
            }
        }
    }
    for (Worker& w : finished) w.thread.join();  // already at their last statement
}

bool EqualizerManager::WaitForWorkers(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mWorkersMutex);
    const bool ended = mWorkersChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        for (const Worker& w : mWorkers)
            if (!*w.done) return false;
        return true;
    });
    lock.unlock();
    if (ended) ReapWorkers();
    return ended;
}

void EqualizerManager::RaiseWorkerStops() {
    std::lock_guard<std::mutex> lock(mWorkersMutex);
    for (Worker& w : mWorkers) *w.stop = true;
}

void EqualizerManager::StopAllWorkers() {
    RaiseWorkerStops();
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(mWorkersMutex);
        all.swap(mWorkers);
    }
    for (Worker& w : all) w.thread.join();
}

void EqualizerManager::RequestMainVolume() {
    if (!mLink.IsDeviceOpen()) return;
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this](const std::shared_ptr<std::atomic<bool>>& stop) {
                    if (!*stop) mLink.Get_Main_Volume();
                });
}

void EqualizerManager::OnDeviceConnected() {
    if (UpgradeOwnsLink() || !mLink.McuNormalMode) return;
    if (!mLink.IsDeviceOpen() || mModel.live.model == -1) {
        DisconnectDevice();
        return;
    }
    ShowConnectState(ButtonState::Connected);
    mLink.EnableCmdQueue();
    UpdateEqualizer(-1);
    ResetEditHistory();
}

void EqualizerManager::DisconnectDevice() {
    if (UpgradeOwnsLink()) return;
    if (mHooks.closeMixerWindow) mHooks.closeMixerWindow();
    if (mHooks.closeAutoCalWindow) mHooks.closeAutoCalWindow();
    if (mWindow) mWindow->KillTimer(STATUS_TIMER);
    mLink.DisableCmdQueue();
    // A read-back still running belongs to the connection that ends here.
    if (mConnectStop) *mConnectStop = true;
    mLink.CloseHIDDevice(true);
    ShowConnectState(ButtonState::Disconnected);
    mModel.live.model = -1;
    ShowHistoryButtons();
}

void EqualizerManager::FinishQueuedCommands() {
    if (!mLink.IsDeviceOpen() || !mLink.IsCmdQueueEnabled()) return;
    // A silent amplifier makes each command wait for its reply: the user's
    // close must not wait for all of them.
    if (!mLink.WaitCmdQueueIdle(std::chrono::milliseconds(kFinishQueuedMs))) {
        LogPrintA("disconnecting with %zu queued command(s) not sent\n",
                  mLink.QueuedCommandCount());
    }
}

void EqualizerManager::DevicePlugin() {
    LogPrintA("DevicePlugin\n");
    if (UpgradeOwnsLink()) {
        LogPrintA("sys_upg_status UPG_ENTER or UPG_START\n");
        return;
    }
    if (DeferPlugEvent(true, QString())) return;
    ConnectDevice(false);
}

void EqualizerManager::DevicePlugOut(const QString& deviceName) {
    LogPrintA("DevicePlugOut\n");
    if (UpgradeOwnsLink()) {
        LogPrintA("sys_upg_status UPG_ENTER or UPG_START\n");
        return;
    }
    if (DeferPlugEvent(false, deviceName)) return;
    DisconnectDevice();
    if (mForceUpdateFlag || mManualUpdateFlag || !mWindow) return;
    // The box runs from the event loop, so the caller returns at once.
    QPointer<WindowImplBase> window = mWindow;
    QTimer::singleShot(0, window.data(), [window] {
        LogPrintA("DisconnectMsgThread start!\n");
        ConfirmBox(window.data(), QStringLiteral("${device_plugout}"));
        LogPrintA("DisconnectMsgThread end!\n");
    });
}

// ---------------------------------------------------------------- reported values

void EqualizerManager::ReadDspValueCallback(int code, const Payload& value) {
    const ValueUpdate u = ApplyDspValue(mModel, code, value);
    if (!u.live()) return;
    AbsorbReportedSettings();
    DspState& live = mModel.live;
    const bool current = u.channel == live.currChannel;
    switch (u.kind) {
        case UpdateKind::SourceSelector:
            // Shown without running the selector's handler: the amplifier is not
            // told back what it just reported.
            WindowImplBase::SelectItem(mUi.inputSource, live.inputSource, false);
            ShowInputOptions();
            break;
        case UpdateKind::MainVolume:
            if (mWindow) mWindow->KillTimer(GET_MAIN_VOLUME_TIMER);
            ShowMainVolume();
            break;
        case UpdateKind::MainMute:
            WindowImplBase::SetSelected(mUi.mainMute, live.mainVolumeMute != 0, false);
            break;
        case UpdateKind::Filter:
            if (current) ShowFilter(u.channel);
            break;
        case UpdateKind::EqBand:
            if (current) ShowBandEditor(u.channel, u.band);
            break;
        case UpdateKind::Delay:
            ShowChannelDelay(u.channel);
            LogPrintA("update UI ch_delay->ch = %d, Delay %.3f\n", u.channel,
                      static_cast<double>(live.channels[u.channel].delay));
            break;
        case UpdateKind::Trim:
            ShowChannelVolume(u.channel);
            break;
        case UpdateKind::ChannelMute:
            WindowImplBase::SetSelected(mUi.chMute[u.channel], live.channels[u.channel].mute != 0,
                                        false);
            break;
        case UpdateKind::Phase:
            ShowPhase(u.channel);
            break;
        case UpdateKind::Mix:
            if (u.source == live.inputSource) {
                LogPrintA("set mix source = %d, ch = %d, mix_in = 0x%x\n", u.source, u.channel,
                          u.value);
                ShowMix(u.channel);
            }
            break;
        case UpdateKind::Roles:
            LogPrintA("DSP_CH_TYPE ch(%d), type(%d)\n", u.channel, live.outputs[u.channel]);
            ShowRoles();
            break;
        case UpdateKind::Link:
        case UpdateKind::Lock:
            if (u.unlinked) Send({LinkCmd{0, {}}});
            ShowModes();
            ActivateCurrentChannel();
            break;
        case UpdateKind::EqBypass:
            if (current) ShowBypassButton();
            break;
        case UpdateKind::AmpPower:
            ShowAmpPower();
            break;
        case UpdateKind::DspStatus:
            DisconnectDevice();
            if (u.value == 0) ConfirmBox(mWindow.data(), QStringLiteral("${dsp_is_off}"));
            break;
        default:
            break;
    }
}

void EqualizerManager::ReadMcuValueCallback(int code, const Payload& value) {
    const ValueUpdate u = ApplyMcuValue(mModel, code, value, mLink.McuNormalMode);
    if (u.kind == UpdateKind::Handshake && u.modelMismatch) {
        ConfirmBox(mWindow.data(), QStringLiteral("%1 %2")
                                       .arg(GetText(QStringLiteral("${device_not_match}")))
                                       .arg(u.value));
    }
}

void EqualizerManager::ReadSenceValueCallback(int code, const Payload& value) {
    ApplySceneValue(mModel, code, value);
}

}  // namespace kavelo
