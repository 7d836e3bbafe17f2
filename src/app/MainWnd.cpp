#include "app/MainWnd.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QTimer>
#include <map>

#include "base/BuildConstants.h"
#include "app/ConfigFile.h"
#include "base/Log.h"
#include "controller/MainMessages.h"
#include "app/PromptWindows.h"
#include "ui/Prompts.h"
#include "ui/LanguageService.h"
#include "ui/ScreenDpi.h"
#include "controller/ControlAccess.h"
#include "windows/AutoCalWnd.h"
#include "windows/MixerWnd.h"
#include "windows/SceneWnd.h"
#include "windows/UpgradeWindows.h"

namespace kavelo {

using controls::ConfirmBox;

namespace {

struct LanguageItem {
    const char* item;
    const char* name;
    const char* index;
};
const LanguageItem kLanguageItems[] = {
    {"option_item_language_en", "en", "0"},
    {"option_item_language_cn", "cn_zh", "1"},
    {"option_item_language_ru", "ru", "2"},
};

}  // namespace

void RegisterLanguages() {
    LanguageService& service = LanguageService::Instance();
    service.Clear();
    const QString root = SkinRoot() + QStringLiteral("/lan/");
    service.AddLanguage(root + QStringLiteral("lan_en.xml"), QStringLiteral("en"));
    service.AddLanguage(root + QStringLiteral("lan_cn.xml"), QStringLiteral("cn_zh"));
    service.AddLanguage(root + QStringLiteral("lan_ru.xml"), QStringLiteral("ru"));
}

void SelectConfiguredLanguage(int lan) {
    static const char* const kNames[] = {"en", "cn_zh", "ru"};
    if (lan >= 0 && lan < 3) LanguageService::Instance().SetLanguage(QLatin1String(kNames[lan]));
}

QString InstanceLockName() {
    return QStringLiteral("KAVELO4TO8_%1").arg(QLatin1String(MODEL_NAME));
}

bool CMainWnd::IsAmplifierInterface(const QString& interfaceName) {
    const QString product = QString::asprintf("%04x", 0x5750);
    const QString vendor = QString::asprintf("%04x", 0x0483);
    return interfaceName.contains(QLatin1String("HID")) && interfaceName.contains(product) &&
           interfaceName.contains(vendor);
}

CMainWnd::Options CMainWnd::DetachedOptions(const QString& lockDir) {
    Options options;
    options.monitor = std::make_unique<DeviceMonitor>();
    options.lockDir = lockDir;
    return options;
}

CMainWnd::CMainWnd(HidPort& port, Options options)
    : mEqualizer(port, options.clock ? *options.clock : DefaultLinkClock()),
      mOptions(std::move(options)) {
    InstallPromptWindows();
    InstallUpgradeWindows(this, mEqualizer);
    mEqualizer.Hooks().startMainVolumeTimer = [this] { StartMainVolumeTimer(); };
    mEqualizer.Hooks().showSceneWindow = [this](SceneWindowMode mode) {
        ShowSceneWindow(mEqualizer, this, mode);
    };
    mMonitor = std::move(mOptions.monitor);
    if (!mMonitor) mMonitor = std::make_unique<UdevDeviceMonitor>();
    connect(mMonitor.get(), &DeviceMonitor::DeviceChanged, this,
            [this](DeviceMonitor::Change change, const QString& name, int code) {
                OnDeviceChange(change, name, code);
            });
}

CMainWnd::~CMainWnd() = default;

QWidget* CMainWnd::CreateCustomControl(const QString& className, QWidget* parent) {
    return WindowImplBase::CreateCustomControl(className, parent);
}

void CMainWnd::InitWindow() {
    BuildSubLayout(QStringLiteral("channel_settings"),
                   QStringLiteral("xml/channel_settings_6in_mixer.xml"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    RegisterLanguages();
    SelectConfiguredLanguage(ConfigFile().GetInt(QStringLiteral("lan")));
    ApplyDpi(StartupDpiFromScreens());
    // Never smaller than the design at the chosen scale.
    setMinimumSize(LayoutSize().width() * ScalePercent() / 100,
                   LayoutSize().height() * ScalePercent() / 100);
    mEqualizer.BindControls(this);

    if (!AcquireInstanceLock()) {
        ConfirmBox(this, QStringLiteral("${mutex_tips}"));
        QTimer::singleShot(0, this, [this] { Close(0); });
        return;
    }
    mEqualizer.ConnectDevice(false);
    if (!mMonitor->Start()) LogPrintA("RegisterDeviceNotification");
}

bool CMainWnd::AcquireInstanceLock() {
    QString dir = mOptions.lockDir;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    mInstanceLock = std::make_unique<QLockFile>(dir + QLatin1Char('/') + InstanceLockName());
    mInstanceLock->setStaleLockTime(0);  // only a living process holds it
    if (mInstanceLock->tryLock(0)) return true;
    // Only another living instance is a reason to stop; a lock that cannot be
    // created at all leaves this one running, as without the check.
    return mInstanceLock->error() != QLockFile::LockFailedError;
}

void CMainWnd::changeEvent(QEvent* event) {
    WindowImplBase::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // The title bar offers "maximise" or "restore", whichever applies now.
    const bool maximized = isMaximized();
    if (QWidget* max = FindControl(QStringLiteral("maxbtn"))) max->setVisible(!maximized);
    if (QWidget* restore = FindControl(QStringLiteral("restorebtn")))
        restore->setVisible(maximized);
}

void CMainWnd::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Esc; the main window closes only when asked to.
    if (event->matches(QKeySequence::Cancel)) {
        event->ignore();
        return;
    }
    if (HandleTuningKey(event)) return;
    WindowImplBase::keyPressEvent(event);
}

bool CMainWnd::HandleTuningKey(const QKeyEvent* key) {
    const bool ctrl = key->modifiers() == Qt::ControlModifier;
    if (key->matches(QKeySequence::Undo)) {
        // Typing not committed yet is undone first, and alone.
        if (!RevertTyping(focusWidget())) mEqualizer.Undo();
    } else if (key->matches(QKeySequence::Redo) || (ctrl && key->key() == Qt::Key_Y)) {
        mEqualizer.Redo();
    } else if (ctrl && key->key() == Qt::Key_B) {
        mEqualizer.SwitchAbSlot(1 - mEqualizer.ActiveAbSlot());
    } else {
        return false;
    }
    return true;
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
    // The tuning's keys win over an edit's own text undo: the edits hold one
    // number each, and the whole tuning is what the user means.
    if (event->type() == QEvent::KeyPress && HandleTuningKey(static_cast<QKeyEvent*>(event)))
        return true;
    // A drag ends with the button's release; its step closes once the control
    // has handled it.
    if (event->type() == QEvent::MouseButtonRelease) {
        QMetaObject::invokeMethod(
            this, [this] { mEqualizer.RecordUserEdit(); }, Qt::QueuedConnection);
    }
    return WindowImplBase::eventFilter(watched, event);
}

void CMainWnd::done(int result) {
    // A firmware transfer must run to its end: the close asks, then waits for it.
    if (!mClosing && HoldCloseForUpgrade(this, [this, result] { Close(result); })) return;
    // Every way of closing ends here: the amplifier is told that we leave.
    if (!mClosing) {
        mClosing = true;
        mEqualizer.FinishQueuedCommands();
        mEqualizer.DisconnectDevice();
    }
    WindowImplBase::done(result);
}

void CMainWnd::OnDeviceChange(DeviceMonitor::Change change, const QString& name, int eventCode) {
    switch (change) {
        case DeviceMonitor::Change::Arrival:
            LogPrintA("Message DBT_DEVICEARRIVAL\n");
            if (!IsAmplifierInterface(name)) return;
            CloseOpenMessageBox();
            mEqualizer.DevicePlugin();
            return;
        case DeviceMonitor::Change::Removal:
            LogPrintA("Message DBT_DEVICEREMOVECOMPLETE\n");
            if (!IsAmplifierInterface(name)) return;
            CloseOpenMessageBox();
            mEqualizer.DevicePlugOut(name);
            return;
        case DeviceMonitor::Change::Other:
            LogPrintA("Message %d\n", eventCode);
            return;
    }
}

void CMainWnd::CloseOpenMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() &&
            w->windowTitle().compare(QLatin1String("MsgWnd"), Qt::CaseInsensitive) == 0) {
            QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
            return;
        }
    }
}

bool CMainWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                                   const QString& text) {
    const int code = static_cast<int>(wParam);
    switch (id) {
        case WM_MENU_COMMAND:
            OnMenuCommand(text);
            mEqualizer.RecordUserEdit();
            return true;
        case WM_READ_DSP_VALUE:
            mEqualizer.ReadDspValueCallback(code, lParam);
            return true;
        case WM_READ_MCU_VALUE:
            mEqualizer.ReadMcuValueCallback(code, lParam);
            return true;
        case WM_READ_SCENE_VALUE:
            mEqualizer.ReadSenceValueCallback(code, lParam);
            return true;
        case WM_DEVICE_ABNORMAL:
            ConfirmBox(this, QStringLiteral("${device_status_unnormal}"));
            if (mEqualizer.Hooks().showUpdateWindow) mEqualizer.Hooks().showUpdateWindow();
            return true;
        case WM_DEVICE_REBOOT:
            mLoading.Close();
            ConfirmBox(this, QStringLiteral("${device_reboot}"));
            return true;
        case WM_CONNECT_FAIL:
            ConfirmBox(this, QStringLiteral("${device_connect_fail}"));
            return true;
        case WM_CONNECTED:
            mEqualizer.OnDeviceConnected();
            return true;
        case WM_DISCONNECTED:
            mEqualizer.DisconnectDevice();
            return true;
        case WM_FORCE_UPDATE:
            LogPrintA("on WM_FORCE_UPDATE\n");
            if (mEqualizer.Hooks().startForceUpdate) mEqualizer.Hooks().startForceUpdate();
            return true;
        case WM_SHOW_LOADING:
            mLoading.Show();
            return true;
        case WM_LOADING_PROGRESS:
            if (const auto* total = std::get_if<std::int64_t>(&lParam))
                mLoading.SetProgress(code, static_cast<int>(*total));
            return true;
        case WM_CLOSE_LOADING:
            mLoading.Close();
            return true;
        default:
            return false;
    }
}

void CMainWnd::StartMainVolumeTimer() {
    mMainVolumeCount = 10;
    SetTimer(GET_MAIN_VOLUME_TIMER, 1000);
}

void CMainWnd::OnTimer(int id) {
    if (id != GET_MAIN_VOLUME_TIMER) return;  // the status timer has no action here
    LogPrintA("GET_MAIN_VOLUME_TIMER, getMainVolumeTimer=%d\n", mMainVolumeCount);
    if (mMainVolumeCount > 0) {
        mEqualizer.RequestMainVolume();
        --mMainVolumeCount;
    } else {
        KillTimer(GET_MAIN_VOLUME_TIMER);
    }
}

void CMainWnd::OnMenuCommand(const QString& item) {
    LogPrintA("on menu click %s\n", item.toUtf8().constData());
    const QString current = LanguageService::Instance().GetLanguage();
    if (item.startsWith(QLatin1String("output_menu")) ||
        item.startsWith(QLatin1String("output_item"))) {
        mEqualizer.SetOutputValue(mOutputMenuChannel, item);
        return;
    }
    if (item.startsWith(QLatin1String("option_item_firmware_upgrade"))) {
        // Keeps the controller from reconnecting on its own while the update runs.
        mEqualizer.mManualUpdateFlag = true;
        if (mEqualizer.Hooks().showUpdateWindow) mEqualizer.Hooks().showUpdateWindow();
        mEqualizer.mManualUpdateFlag = false;
        return;
    }
    if (item.startsWith(QLatin1String("option_item_reset_default"))) {
        mEqualizer.ResetMcuFactoryDefault();
        return;
    }
    if (item.startsWith(QLatin1String("option_item_about"))) {
        ShowAboutWindow(this, mEqualizer.DeviceInfo());
        return;
    }
    if (item.compare(QLatin1String("option_item_language"), Qt::CaseInsensitive) == 0) {
        if (current == QLatin1String("cn_zh"))
            ChangeLanguage(QStringLiteral("en"), QStringLiteral("0"));
        else
            ChangeLanguage(QStringLiteral("cn_zh"), QStringLiteral("1"));
        return;
    }
    for (const LanguageItem& l : kLanguageItems) {
        if (item.compare(QLatin1String(l.item), Qt::CaseInsensitive) != 0) continue;
        if (current != QLatin1String(l.name))
            ChangeLanguage(QLatin1String(l.name), QLatin1String(l.index));
        return;
    }
    using Command = void (*)(CMainWnd&, EqualizerManager&);
    static const std::map<QString, Command> kCommands = {
        {QStringLiteral("advance_item_mixer"),
         [](CMainWnd& w, EqualizerManager& c) { ShowMixerWindow(c, &w); }},
        {QStringLiteral("advance_item_autocal"),
         [](CMainWnd& w, EqualizerManager& c) { RunAutoCalibration(&w, c); }},
        {QStringLiteral("scene_item_load_file"),
         [](CMainWnd&, EqualizerManager& c) { c.LoadSenceConfigFromFile(); }},
        {QStringLiteral("scene_item_save_file"),
         [](CMainWnd&, EqualizerManager& c) { c.SaveSenceConfigToFile(); }},
        {QStringLiteral("scene_item_load_whole"),
         [](CMainWnd&, EqualizerManager& c) { c.LoadWholeConfigFromFile(); }},
        {QStringLiteral("scene_item_save_whole"),
         [](CMainWnd&, EqualizerManager& c) { c.SaveWholeConfigToFile(); }},
        {QStringLiteral("scene_item_load_scene"),
         [](CMainWnd&, EqualizerManager& c) { c.LoadSenceConfigFromDSP(); }},
        {QStringLiteral("scene_item_saveas_scene"),
         [](CMainWnd&, EqualizerManager& c) { c.SaveSenceConfigToDSP(); }},
        {QStringLiteral("scene_item_delete_scene"),
         [](CMainWnd&, EqualizerManager& c) { c.DeleteDSPSenceConfig(); }},
        {QStringLiteral("scene_item_import_filters"),
         [](CMainWnd&, EqualizerManager& c) { c.ImportFilterFile(); }},
        {QStringLiteral("scene_item_export_rew"),
         [](CMainWnd&, EqualizerManager& c) { c.ExportFilterFile(FilterTextFormat::Rew); }},
        {QStringLiteral("scene_item_export_apo"),
         [](CMainWnd&, EqualizerManager& c) { c.ExportFilterFile(FilterTextFormat::Apo); }},
        {QStringLiteral("scene_item_load_measurement"),
         [](CMainWnd&, EqualizerManager& c) { c.LoadMeasurementFile(); }},
        {QStringLiteral("scene_item_measurement_offset"),
         [](CMainWnd&, EqualizerManager& c) { c.SetMeasurementOffset(); }},
        {QStringLiteral("scene_item_clear_measurement"),
         [](CMainWnd&, EqualizerManager& c) { c.ClearMeasurement(); }},
    };
    const auto command = kCommands.find(item);
    if (command != kCommands.end()) command->second(*this, mEqualizer);
}

void CMainWnd::ChangeLanguage(const QString& name, const QString& index) {
    LogPrintA("change language to %s - %s\n", name.toUtf8().constData(),
              index.toUtf8().constData());
    LanguageService::Instance().SetLanguage(name);
    ConfigFile().SetInt(QStringLiteral("lan"), index.toInt());
    update();
    LogPrintA("change language finish\n");
    mEqualizer.UpdateAllVolumeEdit();
}

}  // namespace kavelo
