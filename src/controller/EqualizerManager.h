#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "control/EditHistory.h"
#include "control/EqOperations.h"
#include "control/FilterText.h"
#include "control/LinkReport.h"
#include "control/OutputOperations.h"
#include "control/ProfileTransfer.h"
#include "control/ReadBack.h"
#include "device/DeviceLink.h"
#include "graph/Measurement.h"
#include "graph/ResponseCurve.h"
#include "ui/Prompts.h"

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLineEdit;
class QMenu;
class QWidget;

namespace kavelo {

// Longest wait for queued settings to go out when the user closes or disconnects.
inline constexpr int kFinishQueuedMs = 3000;

class QtMessageSink;
class UIEqualizer;
class WindowImplBase;

// The controller between the main window and the amplifier: owns the model and
// the device link and keeps the main window's controls in step with both.
// One class over several files, one per concern; this header lists them all.
//
// Threads: every member is used on the UI thread except the bodies of the
// workers it starts, which touch only the link and post work back to the UI
// thread. The destructor stops and joins them before the link goes away.
// What the scene window does with the row the user picks.
enum class SceneWindowMode { Load = 0, Save = 1, Delete = 2 };

class EqualizerManager {
public:
    // `port` is the amplifier's HID seam (hidapi or the virtual amplifier); it
    // must outlive the controller, as must `clock`, the link's time.
    explicit EqualizerManager(HidPort& port, LinkClock& clock = DefaultLinkClock());
    ~EqualizerManager();
    EqualizerManager(const EqualizerManager&) = delete;
    EqualizerManager& operator=(const EqualizerManager&) = delete;

    // Windows of other parts that the connection closes or defers to. An empty
    // hook means the window does not exist in this build or is not open.
    struct WindowHooks {
        std::function<void()> closeUpdateWindow;
        std::function<void()> closeMixerWindow;
        std::function<void()> closeAutoCalWindow;
        std::function<bool()> forcedUpdateWindowOpen;
        std::function<void()> continueAfterReconnect;
        std::function<void()> showUpdateWindow;
        std::function<void()> startForceUpdate;
        // Runs the forced-update window on the two prepared image files and
        // returns its modal result (1: the update ended with the factory reset).
        std::function<int(const QString& mcuPath, const QString& dspPath)> showForceUpdateWindow;
        // Reads the main volume ten times, once a second (after a source switch).
        std::function<void()> startMainVolumeTimer;
        // Runs the scene window in a mode, modally over the main window.
        std::function<void(SceneWindowMode)> showSceneWindow;
    };
    WindowHooks& Hooks() { return mHooks; }

    // --- connection lifecycle (EqualizerManagerConnection.cpp) ---
    void BindControls(WindowImplBase* window);
    void ConnectDevice(bool userInitiated);
    void OnDeviceConnected();
    void DisconnectDevice();
    // Before the user leaves (closing, disconnecting): lets the settings still
    // queued reach the amplifier, for kFinishQueuedMs at the most.
    void FinishQueuedCommands();
    void DevicePlugin();
    void DevicePlugOut(const QString& deviceName);
    void ReadDspValueCallback(int code, const Payload& value);
    void ReadMcuValueCallback(int code, const Payload& value);
    void ReadSenceValueCallback(int code, const Payload& value);
    // Handshake and full read-back; -1 when the handshake (or the amplifier) failed.
    int PC_UI_Status_Init();
    void UpdateEqualizer(int selectedBand);
    void RefreshBandEditors(int channel);
    void UpdateAllVolumeEdit();

    // --- output channels (EqualizerManagerOutputs.cpp) ---
    void SetCurChannelChange(int n);
    void SetChShow(int n);
    void SetChMute(int n);
    void SetChPhase(int n);
    void SetChSynchronize(int n);
    void RememberSyncVolume(int n, bool on);
    void SetChVolumeSlider(int n);
    void SetChVolumeEdit(int n);
    void SetChVolumeUp(int n, bool up);
    void SetChDelaySlider(int n);
    void SetChDelayEdit(int n);
    void SetChDelayUp(int n, bool up);
    void ShowChDelaySlider(int n);
    void HideChDelaySlider();
    void SetDelayUnit();
    void SetOutputLink();
    void SetOutpuLock();
    void SetOutputReset();
    void SetMainVolumeSlider();
    void SetMainVolumeEdit();
    void SetMainVolumeUp(bool up);
    void SetMainMute();
    void ToggleAmpPower();
    // Shows output n's crossover in the selectors and edits.
    void SetFreqDivider(int n);

    // --- crossover and EQ of the current output (EqualizerManagerEq.cpp) ---
    void SetHpFreq();
    void SetLpFreq();
    void SetHpFreqUp(bool up);
    void SetLpFreqUp(bool up);
    void SetHpSlope();
    void SetLpSlope();
    void SetHpType();
    void SetLpType();
    void SetChEqEdit(int b);
    void SetEqSlider(int b);
    void SetEqFreqUp(int b, bool up);
    void SetEqQUp(int b, bool up);
    void SetEqGainUp(int b, bool up);
    void OnEqEnable(int b);
    // A drag on the curve: kind 0 band b, 1 the high-pass corner, 2 the low-pass.
    void EqualizerCallback(int b, int kind);
    void SetOutputBypass();
    void SetOutputEqReset();
    void ToggleGeqPeqMode();

    // --- speaker roles, routing and the menus (EqualizerManagerRoles.cpp) ---
    // The pop-up menus open at their button; an open menu of the same kind closes.
    void ShowOutputMenu(QWidget* button, int n);
    void ShowOptionMenu(QWidget* button);
    void ShowSceneMenu(QWidget* button);
    void ShowAdvanceMenu(QWidget* button);
    void SetOutputValue(int n, const QString& itemName);
    void SetSpeakerFocus(int role);
    void SetChInput(int n, int k);
    void SetInputSource();
    // The outputs' input options show the model's routing again (the mixer changed it).
    void ShowInputRouting();

    // --- stored scenes (EqualizerManagerScenes.cpp) ---
    void LoadSenceConfigFromDSP();
    void SaveSenceConfigToDSP();
    void DeleteDSPSenceConfig();
    // The scene window's workers for the current scene (1 ... 10). Load and save
    // post WM_CLOSE_LOADING to the scene receiver when done; delete leaves that
    // to the amplifier's acknowledgement. A failure also closes it and tells the user.
    void LoadSenceThread();
    void SaveSenceThread();
    void DeleteSenceThread();
    // The scene the amplifier runs (1 ... 10, 0 = none known).
    int CurrentScene() const { return mCurrentScene; }
    void SetCurrentScene(int scene) { mCurrentScene = scene; }
    // The name the save worker stores with the scene: 16 bytes as the amplifier keeps it.
    void SetPendingSceneName(const std::array<std::uint8_t, kSceneNameBytes>& name) {
        mPendingSceneName = name;
    }
    // Makes `window` the receiver of the link's scene replies and of the scene
    // workers' messages; a window that goes away simply stops receiving them.
    void InstallSceneReceiver(QObject* window);
    // Asks which scene the amplifier runs; the answer reaches the scene receiver.
    void RequestSceneId();

    // --- undo, redo and the A/B comparison (EqualizerManagerHistory.cpp) ---
    // After each user action: when the amplifier's settings changed since the
    // last step, they become one step. While a mouse button is held the step
    // stays open, so a drag is one step; `evenWhilePressed` closes it anyway (a
    // typed value committed by the press of a button is not part of its click).
    void RecordUserEdit(bool evenWhilePressed = false);
    // The settings came from elsewhere (a read-back, a scene or profile load, a
    // factory reset): nothing before them can be undone.
    void ResetEditHistory();
    void Undo();
    void Redo();
    std::size_t UndoSteps() const { return mHistory.UndoCount(); }
    std::size_t RedoSteps() const { return mHistory.RedoCount(); }
    // Two tunings to compare: each slot keeps its tuning and its own undo
    // history; switching sends only what differs. 0 is A, 1 is B.
    int ActiveAbSlot() const { return mAbActive; }
    void SwitchAbSlot(int slot);
    // The tuning being edited becomes the other slot's.
    void CopyAbSlot();

    // --- profile files and the factory reset (EqualizerManagerProfiles.cpp) ---
    void SaveSenceConfigToFile();
    void LoadSenceConfigFromFile();
    void SaveWholeConfigToFile();
    void LoadWholeConfigFromFile();
    // Redraws every control from the live state (after a profile was written).
    void ApplyStateToControls();
    void ResetMcuFactoryDefault();

    // --- filter lists and measurements (EqualizerManagerMeasurement.cpp) ---
    // The current output's EQ from a REW or Equalizer APO filter list (in PEQ
    // mode, through the band update) or into one.
    void ImportFilterFile();
    void ExportFilterFile(FilterTextFormat format);
    // A measured response of the current output, shown under its curve with the
    // predicted result; its level offset automatic or typed; hidden again.
    void LoadMeasurementFile();
    void SetMeasurementOffset();
    void ClearMeasurement();
    struct Measurement {
        ResponseArray levels{};  // on the response grid, as measured
        double autoOffset = 0;
        std::optional<double> userOffset;
        double Offset() const { return userOffset ? *userOffset : autoOffset; }
    };
    const std::optional<Measurement>& MeasurementOf(int n) const {
        return mMeasurements[static_cast<std::size_t>(n)];
    }

    // Asks for the main volume on a worker (the reply arrives as a message), so a
    // silent amplifier never holds the UI thread.
    void RequestMainVolume();

    // --- firmware update (EqualizerManagerFirmware.cpp) ---
    // Where the firmware carried for the forced update is found (Qt resources).
    struct CarriedImages {
        QString mcu = QStringLiteral(":/firmware/IDR_MCU_BIN");
        QString flash = QStringLiteral(":/firmware/IDR_FLASH_BIN");
    };
    void SetCarriedImages(const CarriedImages& images) { mCarriedImages = images; }
    // Offers the update to an amplifier with older firmware, writes the carried
    // images to the temporary folder and runs the forced-update window; reads
    // the amplifier back afterwards. On the UI thread; blocks in the window.
    void StartForceUpdate();
    // The factory reset as a worker runs it: waits `delayMs` (cut short by
    // `cancel`, which also skips the reset), sends MCU_Factory_Reset_Ctrl, then
    // calls `done`. Returns whether the reset was sent and answered.
    bool FactoryResetSequence(int delayMs, const std::atomic<bool>& cancel,
                              const std::function<void()>& done);
    // An update window's worker starts (true) or has ended (false). While it
    // runs, device arrival and removal wait and are applied when it has ended:
    // the transfer makes the amplifier restart, and a reconnection in the
    // middle of it would cut it off.
    void SetUpgradeWork(bool running);

    // --- state ---
    DeviceLink& Link() { return mLink; }
    ControllerModel& Model() { return mModel; }
    DspState& Live() { return mModel.live; }
    const std::array<ResponseCurve, kOutputChannels>& Curves() const { return mCurves; }
    AboutDeviceInfo DeviceInfo() const;
    // What the curve control was given last: bands as drawn (gain 0 where the
    // band or the channel's EQ is off), corners, curves' channel and visibility.
    struct CurveView {
        std::array<EqBand, kEqBands> bands{};
        int count = 0;
        int selected = -1;
        int hp = 0;
        int lp = 0;
        int channel = 0;
        std::array<std::uint8_t, kOutputChannels> show{};
    };
    const CurveView& LastCurveView() const { return mCurveView; }
    // A firmware upgrade owns the link: the connection entry points keep out.
    bool UpgradeOwnsLink() const;
    bool IsConnected() const;

    std::atomic<bool> mForceUpdateFlag{false};
    std::atomic<bool> mManualUpdateFlag{false};

    // Waits (bounded) until no worker of this controller runs; for shutdown
    // paths and tests. Returns whether they all ended.
    bool WaitForWorkers(int timeoutMs);

private:
    enum class ButtonState { Disconnected, Connecting, Connected };
    void ShowConnectState(ButtonState state);
    void ConnectionWorker(const std::shared_ptr<std::atomic<bool>>& stop);
    // Closes the queue gate, shows the loading window and reads the amplifier back.
    void StartReadBack();
    // Keeps a plug event for later while an update window's work runs.
    bool DeferPlugEvent(bool arrival, const QString& deviceName);
    // Runs `work` on the UI thread after everything posted before it and waits
    // for it (bounded; false when it did not run in time or a stop came).
    bool RunOnUiThreadAndWait(const std::function<void()>& work,
                              const std::shared_ptr<std::atomic<bool>>& stop);
    void StartWorker(std::shared_ptr<std::atomic<bool>> stop,
                     std::function<void(const std::shared_ptr<std::atomic<bool>>&)> body);
    void ReapWorkers();
    void RaiseWorkerStops();
    void StopAllWorkers();
    void Post(int id);
    void ComputeAllCurves();
    void ShowCurveControl(const std::array<EqBand, kEqBands>& bands, int count, int selected,
                          int channel);
    int StatusInit(const std::shared_ptr<std::atomic<bool>>& stop,
                   const std::function<void(int done, int total)>& progress = {});
    void PostToSceneWindow(int id);
    void AbsorbReportedSettings();
    void GoToTuning(const DspState& target, const char* why);
    void ShowHistoryButtons();
    // Shows "done of total" in the loading window (from any thread).
    void PostProgress(int done, int total);
    void ShowRoles();
    // Link, lock and synchronisation buttons as the modes allow.
    void ShowModes();
    // What a switched-on link linked and left out, in a message box.
    void ShowLinkReport(const LinkReport& report);
    void ShowAmpPower();
    void ShowCurves();
    void ShowOutputEdit(const OutputEdit& edit);
    void Send(const DspCommands& commands);
    VolumeControls ReadVolumeControls() const;
    DelayUnit CurrentDelayUnit() const;
    // The number an edit stands for: its whole dB, or -60 for the "off" text;
    // empty when it holds no number.
    static std::optional<int> VolumeEditNumber(const QLineEdit* edit);
    void ShowInputOptions();
    UIEqualizer* Curve() const;
    // The band sliders' range in dB.
    float BandGainLimit(int b, bool maximum) const;
    // Redraws the curves of the outputs the commands touch, then sends them.
    void SendAndRedraw(const OutputEdit& edit, int selectedBand);
    void SetFilterFrequency(int filter, int fs);
    // The frequency typed into a crossover edit; empty (the edit shows the stored
    // corner again) when it holds no number.
    std::optional<int> TypedCorner(int filter);
    // A type (`type`) or slope selector of one filter changed.
    void SetFilterSelector(int filter, bool type);
    void ShowFilterSlopes(int n);
    void ApplyBand(int b, const BandValues& values, BandPath path);
    // The GEQ/PEQ button, the band editors and the curve's drag mode.
    void ShowEqMode(bool peq);
    // Output n's measurement moved by its offset, or null when it has none.
    const ResponseArray* ShownMeasurement(int channel);
    // The end of a profile write on its worker: the controls show the live state,
    // the loading window closes, and a command without a reply is reported.
    void FinishProfileWrite(const TransferResult& result,
                            const std::shared_ptr<std::atomic<bool>>& stop);
    void ShowBoxLater(const QString& text);
    // Closes the open menu of a kind and loads a new one from its layout file.
    QMenu* OpenMenu(QPointer<QMenu>& slot, const QString& file);
    void ShowMainVolume();
    void ShowChannelVolume(int channel);
    void ShowChannelDelay(int channel);
    void ShowPhase(int channel);
    void ShowMix(int output);
    void ShowFilter(int channel);
    void ShowBandEditor(int channel, int band);
    void ShowBypassButton();
    void ActivateCurrentChannel();
    bool PeqMode() const;

    HidPort& mPort;
    DeviceLink mLink;
    CarriedImages mCarriedImages;
    // Plug events held back while an update window's worker runs (UI thread).
    struct DeferredPlugEvents {
        bool working = false;
        bool removal = false;
        bool arrival = false;  // after the last removal
        QString deviceName;
    };
    DeferredPlugEvents mDeferredPlug;
    ControllerModel mModel;
    std::array<ResponseCurve, kOutputChannels> mCurves{};
    WindowHooks mHooks;
    CurveView mCurveView;
    std::array<std::optional<Measurement>, kOutputChannels> mMeasurements;
    ResponseArray mShownMeasurement{};
    // The open pop-up menu of each kind (null when none).
    QPointer<QMenu> mOutputMenu;
    QPointer<QMenu> mOptionMenu;
    QPointer<QMenu> mSceneMenu;
    QPointer<QMenu> mAdvanceMenu;
    std::unique_ptr<QtMessageSink> mSink;
    // Lives as long as the controller: the link keeps pointing at it after the
    // scene window has gone.
    std::unique_ptr<QtMessageSink> mSceneSink;
    int mCurrentScene = 0;
    EditHistory mHistory;
    // The settings when the last step closed (or the history was reset).
    DspState mCheckpoint;
    struct AbSlot {
        bool filled = false;
        DspState state;
        EditHistory history;
    };
    std::array<AbSlot, 2> mAbSlots;
    int mAbActive = 0;
    std::array<std::uint8_t, kSceneNameBytes> mPendingSceneName{};
    QPointer<WindowImplBase> mWindow;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> stop;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mWorkersMutex;
    std::condition_variable mWorkersChanged;
    std::list<Worker> mWorkers;
    // Stop flag of the connection worker currently running (null when none).
    std::shared_ptr<std::atomic<bool>> mConnectStop;

    // Controls of the main layout, bound once. Any of them may be missing.
    struct Controls {
        QAbstractButton* btnConnect = nullptr;
        QAbstractButton* ampOnOff = nullptr;
        QWidget* debug = nullptr;
        QWidget* advance = nullptr;
        QComboBox* inputSource = nullptr;
        QWidget* equalizer = nullptr;
        QLineEdit* mainVolumeEdit = nullptr;
        QAbstractSlider* mainVolumeSlider = nullptr;
        QAbstractButton* mainMute = nullptr;
        QComboBox* unit = nullptr;
        QComboBox* hpType = nullptr;
        QComboBox* lpType = nullptr;
        QComboBox* hpSlope = nullptr;
        QComboBox* lpSlope = nullptr;
        QLineEdit* hpFreq = nullptr;
        QLineEdit* lpFreq = nullptr;
        std::array<QLineEdit*, kEqBands> eqFreq{};
        std::array<QLineEdit*, kEqBands> eqQ{};
        std::array<QLineEdit*, kEqBands> eqGain{};
        std::array<QAbstractSlider*, kEqBands> eqSlider{};
        std::array<QAbstractButton*, kEqBands> ptEnable{};
        std::array<QAbstractButton*, kOutputChannels> chShow{};
        std::array<QAbstractButton*, kOutputChannels> chEnable{};
        std::array<QAbstractButton*, kOutputChannels> chOutputBtn{};
        std::array<QAbstractSlider*, kOutputChannels> chVolumeSlider{};
        std::array<QLineEdit*, kOutputChannels> chVolumeEdit{};
        std::array<QAbstractButton*, kOutputChannels> chMute{};
        std::array<QAbstractButton*, kOutputChannels> chPhase{};
        std::array<QAbstractButton*, kOutputChannels> chSync{};
        std::array<QAbstractSlider*, kOutputChannels> chDelaySlider{};
        std::array<QLineEdit*, kOutputChannels> chDelayEdit{};
        std::array<std::array<QAbstractButton*, kMaxInputChannels>, kOutputChannels> chInput{};
        std::array<QAbstractButton*, 24> speakers{};
        QAbstractButton* resetEq = nullptr;
        QAbstractButton* bypass = nullptr;
        QAbstractButton* argEq = nullptr;
        QAbstractButton* resetOutput = nullptr;
        QAbstractButton* lockOutput = nullptr;
        QAbstractButton* linkOutput = nullptr;
        QAbstractButton* undo = nullptr;
        QAbstractButton* redo = nullptr;
        QAbstractButton* abA = nullptr;
        QAbstractButton* abB = nullptr;
        QAbstractButton* abCopy = nullptr;
    };
    Controls mUi;
};

}  // namespace kavelo
