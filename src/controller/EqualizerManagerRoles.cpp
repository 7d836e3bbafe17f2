// EqualizerManager: speaker roles, the car diagram, input routing, the input
// source and the pop-up menus of the main window.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QMenu>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/RoleOperations.h"
#include "control/SpeakerRoles.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"

namespace kavelo {

using namespace controls;

// ---------------------------------------------------------------- menus

QMenu* EqualizerManager::OpenMenu(QPointer<QMenu>& slot, const QString& file) {
    if (QMenu* open = slot.data()) {
        open->close();
        open->deleteLater();
    }
    slot = nullptr;
    if (!mWindow) return nullptr;
    QMenu* menu = mWindow->LoadMenu(file, mWindow.data());
    if (!menu) return nullptr;
    slot = menu;
    return menu;
}

namespace {
void EnableItem(QMenu* menu, const char* name, bool on) {
    if (QAction* item = WindowImplBase::FindMenuItem(menu, QLatin1String(name)))
        item->setEnabled(on);
}
void HideItem(QMenu* menu, const char* name) {
    if (QAction* item = WindowImplBase::FindMenuItem(menu, QLatin1String(name)))
        item->setVisible(false);
}
}  // namespace

void EqualizerManager::ShowOutputMenu(QWidget* button, int n) {
    QMenu* menu = OpenMenu(mOutputMenu, QStringLiteral("xml/output_menu.xml"));
    if (!menu) return;
    for (int role = 1; role < kSpeakerRoles; ++role) {
        QAction* item =
            WindowImplBase::FindMenuItem(menu, QLatin1String(SpeakerRole(role).menuItem));
        if (!item) continue;
        LogPrintA("on %s\n", "EqualizerManager::SetSubMenu");
        // A checked role is in use somewhere; a disabled one would cover the same
        // part of a speaker position as another output.
        WindowImplBase::SetMenuItemImage(
            item, IsRoleUsed(mModel.live, role) ? QStringLiteral("right.png") : QString());
        item->setEnabled(IsRoleAvailable(mModel.live, n, role));
    }
    mWindow->PopupMenu(menu, button, false);
}

void EqualizerManager::ShowOptionMenu(QWidget* button) {
    QMenu* menu = OpenMenu(mOptionMenu, QStringLiteral("xml/option_menu.xml"));
    if (!menu) return;
    EnableItem(menu, "option_item_reset_default", mLink.IsDeviceOpen());
    mWindow->PopupMenu(menu, button, true);
}

void EqualizerManager::ShowSceneMenu(QWidget* button) {
    QMenu* menu = OpenMenu(mSceneMenu, QStringLiteral("xml/scene_menu.xml"));
    if (!menu) return;
    const bool open = mLink.IsDeviceOpen();
    for (const char* item :
         {"scene_item_load_scene", "scene_item_saveas_scene", "scene_item_delete_scene"})
        EnableItem(menu, item, open);
    mWindow->PopupMenu(menu, button, true);
}

void EqualizerManager::ShowAdvanceMenu(QWidget* button) {
    QMenu* menu = OpenMenu(mAdvanceMenu, QStringLiteral("xml/advance_menu.xml"));
    if (!menu) return;
    EnableItem(menu, "advance_item_autocal", true);
    for (const char* item :
         {"advance_item_noise_threshold", "advance_item_poweroff_delay", "advance_item_ktv"})
        HideItem(menu, item);
    mWindow->PopupMenu(menu, button, false);
}

// ---------------------------------------------------------------- roles

void EqualizerManager::SetOutputValue(int n, const QString& itemName) {
    const int role = RoleFromMenuItem(itemName.toStdString());
    if (role < 0 || n < 0 || n >= kOutputChannels) {
        // Not a role: storing it would send the amplifier a role it does not have.
        LogPrintA("SetOutputValue channel %d selected value %s: not a role, ignored\n", n,
                  itemName.toUtf8().constData());
        return;
    }
    const OutputEdit edit = kavelo::SetOutputValue(mModel.live, n, role);
    if (n == mModel.live.currChannel) SetFreqDivider(n);
    ShowRoles();
    UpdateEqualizer(-1);
    if (mUi.chEnable[n]) {
        WindowImplBase::Activate(mUi.chEnable[n]);
    } else {
        SetCurChannelChange(n);
    }
    Send(edit.commands);
}

void EqualizerManager::SetSpeakerFocus(int role) {
    LogPrintA("on %s index %d\n", "EqualizerManager::SetSpeakerFocus", role);
    if (role < 1 || role > 24) return;
    WindowImplBase::SetSelected(mUi.speakers[role - 1], true, false);
    for (int n = 0; n < kOutputChannels; ++n)
        if (mModel.live.outputs[n] == role) WindowImplBase::Activate(mUi.chEnable[n]);
}

// ---------------------------------------------------------------- routing and source

void EqualizerManager::SetChInput(int n, int k) {
    if (n < 0 || n >= kOutputChannels || k < 1 || k > kMaxInputChannels) return;
    const bool selected = WindowImplBase::IsSelected(mUi.chInput[n][k - 1]);
    Send(kavelo::SetChInput(mModel.live, n, k, selected).commands);
}

void EqualizerManager::ShowInputOptions() {
    const DspState& live = mModel.live;
    const InputOptionLooks looks = InputOptionLooksFor(live.inputSource);
    for (int n = 0; n < kOutputChannels; ++n) {
        ShowMix(n);
        if (!looks.changes) continue;
        for (int k = 0; k < kMaxInputChannels; ++k) {
            SetEnabled(mUi.chInput[n][k], looks.option[k].enabled);
            SetVisible(mUi.chInput[n][k], looks.option[k].visible);
        }
    }
}

void EqualizerManager::ShowInputRouting() {
    for (int n = 0; n < kOutputChannels; ++n) ShowMix(n);
}

void EqualizerManager::SetInputSource() {
    if (!mUi.inputSource) return;
    const int s = mUi.inputSource->currentIndex();
    LogPrintA("on %s index %d\n", "EqualizerManager::SetInputSource", s);
    const std::optional<SourceSwitchCmd> command = kavelo::SetInputSource(mModel.live, s);
    if (!command) return;
    ShowInputOptions();
    if (!WindowImplBase::IsSelected(mUi.btnConnect)) return;
    // Sent at once, not queued; on a worker so a silent amplifier never holds the window.
    const SourceSwitchCmd now = *command;
    StartWorker(std::make_shared<std::atomic<bool>>(false),
                [this, now](const std::shared_ptr<std::atomic<bool>>& stop) {
                    if (!*stop) SendDspCommand(mLink, now, true);
                });
    if (mHooks.startMainVolumeTimer) mHooks.startMainVolumeTimer();
}

}  // namespace kavelo
