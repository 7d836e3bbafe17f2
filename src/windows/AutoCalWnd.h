#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <thread>

#include "control/AutoCalibration.h"
#include "graph/ResponseCurve.h"
#include "graph/UIEqualizerAc.h"
#include "ui/WindowImplBase.h"

class QAbstractButton;
class QLabel;
class QProgressBar;

namespace kavelo {

class DeviceLink;
class EqualizerManager;
class LinkClock;
class QtMessageSink;

// Messages AutoCalThread posts to its window.
enum AutoCalMessage : int {
    WM_IRC_PROGRESS = 1268,    // wParam: progress value
    WM_IRC_POLL_ENDED = 1269,  // wParam: PollEnd; lParam: the run it ends
};

// The automatic calibration: chooses what is calibrated on which outputs, runs
// the amplifier's calibration on a worker thread (AutoCalThread), shows its
// steps, draws the measured spectrum and the computed EQ, and keeps or discards
// the result. The window does not close while a run or its stop is going,
// whichever way the close is asked for.
class CAutoCalWnd : public WindowImplBase {
    Q_OBJECT
public:
    // `scene` gives the outputs' speaker roles; `link` and `clock` outlive the window.
    CAutoCalWnd(QWidget* owner, const DspState& scene, DeviceLink& link, LinkClock& clock);
    // Stops a run still going and waits for the worker: the amplifier is told to stop.
    ~CAutoCalWnd() override;

    QString GetSkinFile() const override { return QStringLiteral("XML_AUTO_CAL"); }
    QString GetWindowClassName() const override { return QStringLiteral("AutoCalWnd"); }

    // A run or its stop is going: closing is refused.
    bool Busy() const { return mRun.GetPhase() != AutoCalibration::Phase::Idle; }
    const AutoCalibration& Run() const { return mRun; }
    // Whether AutoCalThread is inside its poll loop.
    bool PollRunning() const;
    // The link is about to close: a run is stopped and the window closes (0)
    // once the worker has ended, without keeping or discarding anything.
    void CloseForDisconnect();

    void done(int result) override;

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;
    // Esc and the window manager's close (Alt+F4, the title bar): as "closebtn".
    void reject() override;

private:
    void BindControls();
    void OnSelectChanged(QAbstractButton* option, const QString& name);
    void OnStartStop();
    void StartRun(const CalibrationRequest& request);
    void OnDecision(bool keep);
    // The closing sequence of "closebtn"; refused during a run.
    void RequestClose();
    // Waits for a worker whose loop has ended (or is told to end now).
    void JoinWorker();
    void OnPollEnded(PollEnd end, std::int64_t run);
    void OnIrcValue(int wParam, const Payload& value);
    void ShowDistance(const IrcValueRecord& record);
    void StoreEqBand(const IrcEqBandRecord& record);
    void StoreSpectrumPoint(const IrcSpectrumRecord& record);
    void ShowView(const AutoCalibration::View& view);
    // Sends IRC_Ctrl for a keep or discard; false when the amplifier did not answer.
    bool SendDecision(const AutoCalibration::Command& command);

    void ComputeEqCurve(int channel);
    void ComputeSpectrumCurve(int channel);
    void ComputeTargetCurves();
    // Hands one curve set to the graph: the channels' show flags when its
    // display option is on (or `force`), none otherwise.
    void HandOverEq();
    void HandOverSpectrum();
    void HandOverTarget(bool force);
    std::array<std::uint8_t, kOutputChannels> Flags(bool displayed) const;

    std::array<bool, kOutputChannels> CheckedChannels() const;
    std::array<bool, kCalibrationTargets> CheckedTargets() const;

    DeviceLink& mLink;
    LinkClock& mClock;
    std::array<int, kOutputChannels> mRoles{};
    AutoCalibration mRun;
    CalibrationTables mTables;
    std::array<ResponseCurve, kOutputChannels> mEqCurves{};
    std::array<ResponseCurve, kOutputChannels> mTargetCurves{};
    std::array<SpectrumCurve, kOutputChannels> mSpectrumCurves{};
    std::array<std::uint8_t, kOutputChannels> mShow{};
    bool mDisplaySpk = false;
    bool mDisplayEq = false;
    bool mDisplayTarget = false;

    std::thread mWorker;
    std::int64_t mRunNumber = 0;
    std::shared_ptr<QtMessageSink> mSelf;
    bool mReady = false;
    bool mCloseForDisconnect = false;
    bool mClosing = false;

    QAbstractButton* mCloseBtn = nullptr;
    QAbstractButton* mStartBtn = nullptr;
    QLabel* mTips = nullptr;
    QProgressBar* mProgress = nullptr;
    UIEqualizerAc* mGraph = nullptr;
    std::array<QAbstractButton*, kOutputChannels> mChannelOptions{};
    std::array<QAbstractButton*, kCalibrationTargets> mTargetOptions{};
};

// The clock AutoCalThread's waits run on; nullptr restores the real one.
// Returns the previous clock (tests drive their own).
LinkClock* SetAutoCalClock(LinkClock* clock);

// Opens the calibration window modally for the controller's amplifier. The
// main window `parent` is minimised meanwhile and shown normally afterwards;
// the calibration window stands on its own so that it stays visible. Returns
// the window's result: 1 when the amplifier's data changed and must be read again.
int ShowAutoCalWindow(QWidget* parent, EqualizerManager& controller);
// ShowAutoCalWindow, then the main window's resynchronisation after result 1.
void RunAutoCalibration(QWidget* parent, EqualizerManager& controller);

}  // namespace kavelo
