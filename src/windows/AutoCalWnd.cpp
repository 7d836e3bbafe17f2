#include "windows/AutoCalWnd.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include "base/Log.h"
#include "controller/EqualizerManager.h"
#include "device/DeviceLink.h"
#include "ui/Prompts.h"
#include "ui/ScreenDpi.h"
#include "ui/WindowMessage.h"

namespace kavelo {

namespace {

static_assert(kCalibrationSpectrumPoints == kSpectrumPoints,
              "the graph draws the spectrum the amplifier measures");

LinkClock* gAutoCalClock = nullptr;

LinkClock& AutoCalClock() { return gAutoCalClock ? *gAutoCalClock : DefaultLinkClock(); }

// The link may post a late record at any time from its reading threads, so the
// sink in its slot lives as long as the process; each window borrows it while open.
QtMessageSink& IrcSink() {
    static QtMessageSink sink(nullptr);
    return sink;
}

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

bool Checked(const QAbstractButton* option) { return option && WindowImplBase::IsSelected(option); }

void Enable(QAbstractButton* button, bool on) {
    if (button) button->setEnabled(on);
}

const QString kTipsTitle = QStringLiteral("${tips}");

}  // namespace

LinkClock* SetAutoCalClock(LinkClock* clock) {
    LinkClock* previous = gAutoCalClock;
    gAutoCalClock = clock;
    return previous;
}

CAutoCalWnd::CAutoCalWnd(QWidget* owner, const DspState& scene, DeviceLink& link, LinkClock& clock)
    : WindowImplBase(owner),
      mLink(link),
      mClock(clock),
      mSelf(std::make_shared<QtMessageSink>(this)) {
    // Draws its own title bar. A window of its own rather than a child of the main
    // window: the main window is minimised meanwhile and must not take it along.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    for (int c = 0; c < kOutputChannels; ++c) mRoles[c] = scene.outputs[c];
}

CAutoCalWnd::~CAutoCalWnd() {
    if (mLink.IrcReceiver == &IrcSink()) mLink.IrcReceiver = nullptr;
    IrcSink().Reset();
    mSelf->Reset();
    if (mWorker.joinable()) {
        LogPrintA("calibration window destroyed: stopping the run\n");
        mRun.RequestStop();
        mRun.Shared().wake.Raise();
        mWorker.join();
    }
}

bool CAutoCalWnd::PollRunning() const { return mWorker.joinable() && mRun.Shared().running; }

void CAutoCalWnd::InitWindow() {
    ApplyDpi(StartupDpiFromScreens());
    BindControls();
    for (int c = 0; c < kOutputChannels; ++c) {
        QAbstractButton* option = mChannelOptions[c];
        if (option) {
            if (c > 0) SetSelected(option, false, false);
            option->setVisible(true);
        }
        mShow[c] = Checked(option) ? 1 : 0;
        ComputeEqCurve(c);
        ComputeSpectrumCurve(c);
        // An output without a speaker is not calibrated and never drawn.
        if (mRoles[c] == 0) {
            if (option) {
                SetSelected(option, false, false);
                option->setEnabled(false);
            }
            mShow[c] = 0;
        }
    }
    ComputeTargetCurves();
    HandOverEq();
    HandOverSpectrum();
    HandOverTarget(false);
    IrcSink().SetReceiver(this);
    mLink.IrcReceiver = &IrcSink();
    mReady = true;
}

void CAutoCalWnd::BindControls() {
    mCloseBtn = FindControl<QAbstractButton>(QStringLiteral("closebtn"));
    mStartBtn = FindControl<QAbstractButton>(QStringLiteral("start_auto_cal"));
    mTips = FindControl<QLabel>(QStringLiteral("tips"));
    mProgress = FindControl<QProgressBar>(QStringLiteral("progress"));
    mGraph = FindControl<UIEqualizerAc>(QStringLiteral("equalizer_ac"));
    for (int c = 0; c < kOutputChannels; ++c)
        mChannelOptions[c] = FindControl<QAbstractButton>(QStringLiteral("ch_checkbox_%1").arg(c));
    for (int t = 0; t < kCalibrationTargets; ++t)
        mTargetOptions[t] = FindControl<QAbstractButton>(QStringLiteral("audio_effect_%1").arg(t));
    // The display options start as the layout shows them.
    mDisplaySpk = Checked(FindControl<QAbstractButton>(QStringLiteral("display_spk")));
    mDisplayEq = Checked(FindControl<QAbstractButton>(QStringLiteral("display_eq")));
    mDisplayTarget = Checked(FindControl<QAbstractButton>(QStringLiteral("display_target")));
    if (mProgress) mProgress->setRange(0, 100);
}

// ---- curves --------------------------------------------------------------------------------

void CAutoCalWnd::ComputeEqCurve(int c) {
    ComputeCalibrationResponse(mTables.Bands(c).data(), kEqBands, mEqCurves[c]);
}

void CAutoCalWnd::ComputeSpectrumCurve(int c) {
    const CalibrationSpectrum& points = mTables.Spectrum(c);
    for (int i = 0; i < kCalibrationSpectrumPoints; ++i) {
        mSpectrumCurves[c].freq[i] = points[i].freq;
        mSpectrumCurves[c].db[i] = points[i].level;
    }
}

void CAutoCalWnd::ComputeTargetCurves() {
    // The presets are the amplifier's; drawn here is the flat line they start from.
    for (int c = 0; c < kOutputChannels; ++c) {
        const CalibrationBands target = FlatCalibrationBands();
        ComputeCalibrationResponse(target.data(), kEqBands, mTargetCurves[c]);
    }
}

std::array<std::uint8_t, kOutputChannels> CAutoCalWnd::Flags(bool displayed) const {
    return displayed ? mShow : std::array<std::uint8_t, kOutputChannels>{};
}

void CAutoCalWnd::HandOverEq() {
    if (mGraph) mGraph->SetEqCurves(mEqCurves.data(), kOutputChannels, Flags(mDisplayEq).data());
}

void CAutoCalWnd::HandOverSpectrum() {
    if (mGraph)
        mGraph->SetSpectrumCurves(mSpectrumCurves.data(), kOutputChannels,
                                  Flags(mDisplaySpk).data());
}

void CAutoCalWnd::HandOverTarget(bool force) {
    if (mGraph)
        mGraph->SetTargetCurves(mTargetCurves.data(), kOutputChannels,
                                Flags(force || mDisplayTarget).data());
}

// ---- notifications -------------------------------------------------------------------------

void CAutoCalWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", Utf8(msg.sType).constData());
    const QString name = msg.pSender ? msg.pSender->objectName() : QString();
    if (msg.sType == QLatin1String("selectchanged") && mReady) {
        LogPrintA("on option %s DUI_MSGTYPE_SELECTCHANGED index ", Utf8(name).constData());
        LogPrintA("%d\n", UserData(msg.pSender));
        OnSelectChanged(qobject_cast<QAbstractButton*>(msg.pSender), name);
    } else if (msg.sType == QLatin1String("click")) {
        if (name.compare(QLatin1String("closebtn"), Qt::CaseInsensitive) == 0) {
            RequestClose();
            return;  // the base would close at once
        }
        if (name == QLatin1String("start_auto_cal")) {
            OnStartStop();
        } else if (name == QLatin1String("irc_save_data")) {
            OnDecision(true);
        } else if (name == QLatin1String("irc_cancel_data")) {
            OnDecision(false);
        }
    }
    WindowImplBase::Notify(msg);
}

void CAutoCalWnd::OnSelectChanged(QAbstractButton* option, const QString& name) {
    const bool on = Checked(option);
    if (name == QLatin1String("display_eq")) {
        mDisplayEq = on;
        HandOverEq();
    } else if (name == QLatin1String("display_spk")) {
        mDisplaySpk = on;
        HandOverSpectrum();
    } else if (name == QLatin1String("display_target")) {
        mDisplayTarget = on;
        HandOverTarget(false);
    } else if (name == QLatin1String("audio_effect_0") ||
               name == QLatin1String("audio_effect_null")) {
        ComputeTargetCurves();
        HandOverTarget(true);
    } else if (name.startsWith(QLatin1String("ch_checkbox_"))) {
        const int c = UserData(option);
        if (c < 0 || c >= kOutputChannels) return;
        mShow[c] = on ? 1 : 0;
        HandOverEq();
        HandOverSpectrum();
    } else if (name == QLatin1String("irc_eq")) {
        mRun.SetModule(kIrcModuleEq, on);
    } else if (name == QLatin1String("irc_delay")) {
        mRun.SetModule(kIrcModuleDelay, on);
    } else if (name == QLatin1String("irc_phase")) {
        mRun.SetModule(kIrcModulePhase, on);
        LogPrintA("mOptionIrcDelay %d\n", on ? 1 : 0);
    }
}

std::array<bool, kOutputChannels> CAutoCalWnd::CheckedChannels() const {
    std::array<bool, kOutputChannels> checked{};
    for (int c = 0; c < kOutputChannels; ++c) checked[c] = Checked(mChannelOptions[c]);
    return checked;
}

std::array<bool, kCalibrationTargets> CAutoCalWnd::CheckedTargets() const {
    std::array<bool, kCalibrationTargets> checked{};
    for (int t = 0; t < kCalibrationTargets; ++t) checked[t] = Checked(mTargetOptions[t]);
    return checked;
}

// ---- start, stop and the worker ------------------------------------------------------------

void CAutoCalWnd::OnStartStop() {
    // Stopping needs no module: whatever the options say now, a run is told to stop.
    if (mRun.GetPhase() == AutoCalibration::Phase::Running) {
        LogPrintA("calibration: stop requested\n");
        mRun.RequestStop();
        // It ends once the amplifier has been told; the worker reports that.
        Enable(mStartBtn, false);
        return;
    }
    if (mRun.GetPhase() == AutoCalibration::Phase::Stopping) return;
    if (mRun.Module() == 0) {
        const QString labels[3] = {QStringLiteral("${confirm}"), QString(), QString()};
        ShowMessage(this, kTipsTitle, QStringLiteral("${irc_option_warning_tips}"), labels, 1);
        return;
    }
    const CalibrationRequest request = mRun.Prepare(CheckedChannels(), CheckedTargets());
    const QString labels[3] = {QStringLiteral("${confirm}"), QStringLiteral("${cancel}"),
                               QString()};
    if (ShowMessage(this, kTipsTitle, QStringLiteral("${irc_warning_tips}"), labels, 2) != 1)
        return;
    if (mClosing || mCloseForDisconnect) return;  // the window went away under the question
    StartRun(request);
}

void CAutoCalWnd::StartRun(const CalibrationRequest& request) {
    JoinWorker();
    mRun.Begin();
    SetControlText(mStartBtn, QStringLiteral("${stop}"));
    SetControlText(mTips, QStringLiteral("${start_irc_tips}"));
    Enable(mCloseBtn, false);
    const std::shared_ptr<CalibrationShared> shared = mRun.SharedPtr();
    const std::shared_ptr<QtMessageSink> self = mSelf;
    const std::int64_t run = ++mRunNumber;
    DeviceLink& link = mLink;
    LinkClock& clock = mClock;
    mWorker = std::thread([&link, &clock, shared, self, request, run] {
        const PollEnd end = RunCalibrationPoll(link, clock, *shared, request, [&self](int p) {
            self->Post(DeviceMessage{WM_IRC_PROGRESS, static_cast<std::uintptr_t>(p), {}});
        });
        self->Post(DeviceMessage{WM_IRC_POLL_ENDED, static_cast<std::uintptr_t>(end), run});
    });
}

void CAutoCalWnd::JoinWorker() {
    if (!mWorker.joinable()) return;
    // Its loop is over or about to be: a final status arrived or a stop was asked.
    mRun.Shared().wake.Raise();
    mWorker.join();
}

void CAutoCalWnd::OnPollEnded(PollEnd end, std::int64_t run) {
    if (run != mRunNumber) return;  // a run already joined before the next began
    JoinWorker();
    ShowView(mRun.OnPollEnded(end));
    Enable(mStartBtn, true);
    if (mCloseForDisconnect) {
        mClosing = true;
        WindowImplBase::done(0);
    }
}

void CAutoCalWnd::CloseForDisconnect() {
    LogPrintA("calibration window closed: the amplifier is disconnected\n");
    mCloseForDisconnect = true;
    if (Busy()) {
        mRun.RequestStop();
        return;  // closes when the worker reports its end
    }
    JoinWorker();
    mClosing = true;
    WindowImplBase::done(0);
}

// ---- what the amplifier reports ------------------------------------------------------------

bool CAutoCalWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                                      const QString&) {
    switch (id) {
        case WM_READ_IRC_VALUE:
            OnIrcValue(static_cast<int>(wParam), lParam);
            return true;
        case WM_IRC_PROGRESS:
            if (mProgress) mProgress->setValue(static_cast<int>(wParam));
            return true;
        case WM_IRC_POLL_ENDED: {
            const auto* run = std::get_if<std::int64_t>(&lParam);
            OnPollEnded(static_cast<PollEnd>(wParam), run ? *run : -1);
            return true;
        }
        default:
            return false;
    }
}

void CAutoCalWnd::OnIrcValue(int wParam, const Payload& value) {
    if (!mRun.Accept(wParam)) return;
    switch (wParam) {
        case IRC_DISTANCE_RECORD:
            if (const auto* r = std::get_if<IrcValueRecord>(&value)) ShowDistance(*r);
            return;
        case IRC_EQ_RECORD:
            if (const auto* r = std::get_if<IrcEqBandRecord>(&value)) StoreEqBand(*r);
            return;
        case IRC_SPECTRUM_RECORD:
            if (const auto* r = std::get_if<IrcSpectrumRecord>(&value)) StoreSpectrumPoint(*r);
            return;
        default:
            break;
    }
    if (wParam < IRC_RET_START_TEST || wParam > IRC_RET_TEST_EXIT) return;
    const auto* number = std::get_if<std::int64_t>(&value);
    ShowView(mRun.OnStatus(wParam, number ? *number : 0));
}

void CAutoCalWnd::ShowDistance(const IrcValueRecord& r) {
    auto* label = FindControl<QLabel>(QStringLiteral("ch_%1: ").arg(r.channel));
    if (!label) return;
    label->setVisible(true);
    SetControlText(label, QString::asprintf("%f", r.value));
}

void CAutoCalWnd::StoreEqBand(const IrcEqBandRecord& r) {
    LogPrintA("message DSP_IRC_EQ\n");
    const bool complete = mTables.StoreEqBand(r);
    LogPrintA("ch(%d), band(%d), freq=%d, Q=%1.2f, Gain=%.2f\n", r.channel, r.band, r.frequency,
              r.q, r.gain);
    if (!complete) return;
    LogPrintA("update EQ response\n");
    ComputeEqCurve(r.channel);
    HandOverEq();
    LogPrintA("update EQ response end\n");
}

void CAutoCalWnd::StoreSpectrumPoint(const IrcSpectrumRecord& r) {
    if (!mTables.StoreSpectrumPoint(r)) return;
    ComputeSpectrumCurve(r.channel);
    HandOverSpectrum();
}

void CAutoCalWnd::ShowView(const AutoCalibration::View& view) {
    if (view.tips) SetControlText(mTips, QLatin1String(view.tips));
    if (view.progress >= 0 && mProgress) mProgress->setValue(view.progress);
    if (!view.runOver) return;
    SetControlText(mStartBtn, QStringLiteral("${start_irc}"));
    Enable(mStartBtn, true);
    Enable(mCloseBtn, true);
}

// ---- the result and closing ----------------------------------------------------------------

bool CAutoCalWnd::SendDecision(const AutoCalibration::Command& command) {
    if (mLink.IRC_Ctrl(command.mode, 0, command.eqMode, true)) return true;
    LogPrintA("IRC_Ctrl(%d) got no answer from the amplifier\n", command.mode);
    return false;
}

void CAutoCalWnd::OnDecision(bool keep) {
    const AutoCalibration::Command command = keep ? mRun.Keep() : mRun.Discard();
    if (!command.send) {
        SetControlText(mTips, QStringLiteral("${irc_start_tips}"));
        return;
    }
    if (!SendDecision(command)) {
        // Not told as done: the user may try again, and closing asks again.
        mRun.DecisionUnanswered();
        SetControlText(mTips, QStringLiteral("${irc_no_answer}"));
        return;
    }
    SetControlText(mTips,
                   keep ? QStringLiteral("${irc_applyed}") : QStringLiteral("${irc_canceled}"));
}

void CAutoCalWnd::reject() { RequestClose(); }

void CAutoCalWnd::RequestClose() {
    if (mClosing) return;
    if (Busy()) {
        LogPrintA("AutoCalWnd: not closed while a calibration runs\n");
        return;
    }
    JoinWorker();
    bool keep = false;
    if (mRun.AskApplyOnClose())
        keep = ShowMessage(this, kTipsTitle, QStringLiteral("${irc_apply_tips}")) == 1;
    if (mClosing || Busy()) return;  // closed or restarted under the question
    const AutoCalibration::Command command = mRun.CloseCommand(keep);
    if (command.send) SendDecision(command);
    mClosing = true;
    WindowImplBase::done(mRun.CloseResult(keep));
}

void CAutoCalWnd::done(int result) {
    // Every close ends here; none while a run or its stop is going.
    if (Busy()) {
        LogPrintA("AutoCalWnd: not closed while a calibration runs\n");
        return;
    }
    mClosing = true;
    WindowImplBase::done(result);
}

// ---- openers -------------------------------------------------------------------------------

int ShowAutoCalWindow(QWidget* parent, EqualizerManager& controller) {
    auto* window = new CAutoCalWnd(nullptr, controller.Live(), controller.Link(), AutoCalClock());
    QPointer<CAutoCalWnd> guard(window);
    int result = 0;
    if (window->Create(QStringLiteral("updatefwwnd"))) {
        controller.Hooks().closeAutoCalWindow = [guard] {
            if (guard) guard->CloseForDisconnect();
        };
        if (parent) {
            window->setScreen(parent->screen());
            parent->showMinimized();
        }
        // Once shown, it is the window in front and takes the keyboard.
        QTimer::singleShot(0, window, [window] {
            window->raise();
            window->activateWindow();
        });
        result = window->ShowModal();
        controller.Hooks().closeAutoCalWindow = nullptr;
        if (parent) {
            parent->showNormal();
            parent->activateWindow();
        }
    }
    delete guard.data();
    return result;
}

void RunAutoCalibration(QWidget* parent, EqualizerManager& controller) {
    if (ShowAutoCalWindow(parent, controller) != 1) return;
    LogPrintA("Auto cal finished, need to sync data from dsp again!\n");
    controller.DisconnectDevice();
    controller.ConnectDevice(false);
}

}  // namespace kavelo
