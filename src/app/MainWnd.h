#pragma once

#include <QLockFile>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "app/DeviceMonitor.h"
#include "controller/EqualizerManager.h"
#include "ui/LoadingWnd.h"
#include "ui/WindowImplBase.h"

namespace kavelo {

class HidPort;

// The main window: the tuning screen, the owner of the controller, and the hub
// for device notifications, private messages, timers, menus and the language.
class CMainWnd : public WindowImplBase {
    Q_OBJECT
public:
    struct Options {
        // Where the single-instance lock lives; empty = the runtime folder.
        QString lockDir;
        // Device arrival and removal; null = the system's udev monitor.
        std::unique_ptr<DeviceMonitor> monitor;
        // The link's time; null = the real clock. Must outlive the window.
        LinkClock* clock = nullptr;
    };

    // Options for a window that sees no plug events and locks in `lockDir`
    // (tools, tests, benchmarks).
    static Options DetachedOptions(const QString& lockDir);

    CMainWnd(HidPort& port, Options options);
    explicit CMainWnd(HidPort& port) : CMainWnd(port, Options{}) {}
    ~CMainWnd() override;

    QString GetSkinFile() const override { return QStringLiteral("XML_MAIN"); }
    QString GetWindowClassName() const override { return QStringLiteral("MainWnd"); }

    EqualizerManager& Controller() { return mEqualizer; }
    DeviceMonitor* Monitor() const { return mMonitor.get(); }
    // Whether this process holds the single-instance lock.
    bool OwnsInstanceLock() const { return mInstanceLock && mInstanceLock->isLocked(); }
    bool LoadingWindowOpen() const { return mLoading.IsOpen(); }

    void done(int result) override;

    // Asks for the main volume ten times, once a second.
    void StartMainVolumeTimer();
    void ChangeLanguage(const QString& name, const QString& index);

    // The amplifier's interface test on a device interface name.
    static bool IsAmplifierInterface(const QString& interfaceName);

protected:
    void InitWindow() override;
    bool IsMainWindow() const override { return true; }
    // The typed value is a tuning step of its own, before the click's.
    void TypingCommittedByPress() override { mEqualizer.RecordUserEdit(true); }
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Notify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;
    void OnTimer(int id) override;
    QWidget* CreateCustomControl(const QString& className, QWidget* parent) override;

private:
    void OnDeviceChange(DeviceMonitor::Change change, const QString& name, int eventCode);
    void CloseOpenMessageBox();
    // Undo, redo and the A/B switch from the keyboard; true when `key` was one.
    bool HandleTuningKey(const QKeyEvent* key);
    void OnMenuCommand(const QString& item);
    bool AcquireInstanceLock();
    // The notification tables by type (MainWndDispatch.cpp).
    void OnClick(const QString& name, int index, QWidget* sender);
    void OnSelectChanged(const QString& name, int index);
    void OnSliderValue(const QString& name, int index, QWidget* sender);
    void OnStep(const QString& name, int index, bool up);
    void OnCommit(const QString& name, int index, bool enter);
    void OnSetFocus(const QString& name, int index);
    void OnItemSelect(const QString& name);
    // Moves the keyboard focus along the edit ring (left/right arrows).
    void MoveFocusAlongRing(const QString& name, int index, bool forward);
    void FocusEdit(const std::string& name);

    EqualizerManager mEqualizer;
    Options mOptions;
    std::unique_ptr<DeviceMonitor> mMonitor;
    std::unique_ptr<QLockFile> mInstanceLock;
    LoadingSlot mLoading{this};
    int mMainVolumeCount = 0;
    // The output whose menu was opened last; its role items apply to it.
    int mOutputMenuChannel = 0;
    bool mClosing = false;
};

// Registers "en", "cn_zh" and "ru" (in that order) and selects the language stored
// under "lan" (0, 1, 2; anything else leaves the last table current).
void RegisterLanguages();
void SelectConfiguredLanguage(int lan);

// Name of the single-instance lock file ("KAVELO4TO8_" + the model name).
QString InstanceLockName();

}  // namespace kavelo
