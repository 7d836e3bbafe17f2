#include "windows/ForceUpdateWnd.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <utility>

#include "base/Log.h"
#include "controller/MainMessages.h"
#include "device/DeviceLink.h"
#include "ui/LanguageService.h"

namespace kavelo {

CForceUpdateWnd::CForceUpdateWnd(QWidget* owner, DeviceLink& link, QString mcuPath, QString dspPath,
                                 FactoryReset factoryReset)
    : CUpgradeWnd(owner, link),
      mMcuPath(std::move(mcuPath)),
      mDspPath(std::move(dspPath)),
      mFactoryReset(std::move(factoryReset)) {}

void CForceUpdateWnd::InitWindow() {
    CUpgradeWnd::InitWindow();
    const std::pair<const char*, const QString*> files[] = {{"mcu_file", &mMcuPath},
                                                            {"flash_file", &mDspPath}};
    for (const auto& [name, path] : files) {
        if (auto* edit = FindControl<QLineEdit>(QLatin1String(name))) {
            edit->setReadOnly(true);
            edit->setText(QDir::toNativeSeparators(*path));
        }
    }
    SetProgress("mcu_progress", 0);
    SetProgress("flash_progress", 0);
}

bool CForceUpdateWnd::OnWindowNotify(TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || !msg.pSender ||
        msg.pSender->objectName() != QLatin1String("update_btn"))
        return false;
    BeginUpdate();
    return true;
}

void CForceUpdateWnd::SetProgress(const char* name, int percent) {
    if (auto* bar = FindControl<QProgressBar>(QLatin1String(name))) {
        bar->setRange(0, 100);
        bar->setValue(percent);
    }
}

void CForceUpdateWnd::EnableButtons(bool update, bool close) {
    if (QWidget* button = FindControl(QStringLiteral("update_btn"))) button->setEnabled(update);
    for (const char* name : {"cancel_btn", "closebtn"})
        if (QWidget* button = FindControl(QLatin1String(name))) button->setEnabled(close);
}

void CForceUpdateWnd::BeginUpdate() {
    LogPrintA("CForceUpdateWnd::BeginUpdate\n");
    if (!mLink.IsDeviceOpen() || Busy() || Closing()) return;
    mCancel = false;
    if (mStage == STAGE_IDLE && !mMcuPath.isEmpty()) {
        mStage = STAGE_MCU;
        SetProgress("mcu_progress", 0);
        SetProgress("flash_progress", 0);
        EnableButtons(false, false);
    } else if (mStage == STAGE_MCU && !mDspPath.isEmpty()) {
        mStage = STAGE_DSP;
    } else {
        ShowTips(QStringLiteral("${update_no_file}"));
        SetProgress("mcu_progress", 0);
        SetProgress("flash_progress", 0);
        return;
    }
    // Only now: with nothing to write, the queue stays as it was.
    CloseQueueForTransfer();
    const bool mcu = mStage == STAGE_MCU;
    ShowTips(mcu ? QStringLiteral("${update_check_mcu}") : QStringLiteral("${update_check_flash}"));
    const std::string path = UpgradeFilePath(mcu ? mMcuPath : mDspPath);
    const int started = mcu ? WM_UPG_MCU_STAGE : WM_UPG_DSP_STAGE;
    StartWork([this, path, started] { RunTransfer(path, started); });
}

void CForceUpdateWnd::ContinueAfterReconnect() {
    LogPrintA("CForceUpdateWnd::ContinueAfterReconnect stage %d\n", mStage);
    if (Busy() || Closing()) return;
    if (mStage == STAGE_MCU && !mDspPath.isEmpty()) {
        BeginUpdate();
        return;
    }
    if (mStage == STAGE_MCU || mStage == STAGE_DSP) {
        if (IsSelected(FindControl<QAbstractButton>(QStringLiteral("check_box_facotry")))) {
            ShowTips(QStringLiteral("${update_factory}"));
            mStage = STAGE_FACTORY_RESET;
            LogPrintA("CForceUpdateWnd::ResetMcuFactoryDefault\n");
            StartWork([this, reset = mFactoryReset] {
                auto done = [this] { PostToSelf(WM_DEVICE_REBOOT); };
                if (reset) {
                    reset(mCancel, done);
                } else {
                    LogPrintA("CForceUpdateWnd: no factory reset in this build\n");
                    done();
                }
            });
            return;
        }
        ShowTips(QStringLiteral("${update_finish}"));
    } else {
        mSucceeded = true;
        if (mStage == STAGE_FACTORY_RESET) ShowTips(QStringLiteral("${update_finish}"));
    }
    EnableButtons(true, true);
    mStage = STAGE_IDLE;
}

bool CForceUpdateWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload&,
                                          const QString&) {
    const bool mcu = mStage == STAGE_MCU;
    switch (id) {
        case WM_UPG_PROGRESS: {
            if (mStage != STAGE_MCU && mStage != STAGE_DSP) return true;
            const int percent = static_cast<int>(wParam);
            ShowTips(FormatNumbers(mcu ? QStringLiteral("${update_progress_mcu}")
                                       : QStringLiteral("${update_progress_flash}"),
                                   {percent}));
            SetProgress(mcu ? "mcu_progress" : "flash_progress", percent);
            return true;
        }
        case WM_UPG_DONE:
            // The amplifier restarts; ContinueAfterReconnect goes on when it is back.
            ShowTips(mcu ? QStringLiteral("${update_reboot_mcu}")
                         : QStringLiteral("${update_reboot_flash}"));
            EndWork();
            return true;
        case WM_UPG_FAILED:
        case WM_UPG_NOT_LOADED:
            ShowTips(id == WM_UPG_FAILED ? QStringLiteral("${update_fail}")
                                         : QStringLiteral("${load_fw_fail}"));
            // The next step needs the amplifier back; leaving must stay possible
            // even when it never comes.
            EnableButtons(false, true);
            if (id == WM_UPG_NOT_LOADED) ReopenQueueIfUntouched(wParam);
            EndWork();
            return true;
        case WM_UPG_MCU_STAGE:
            ShowTips(QStringLiteral("${update_start_mcu}"));
            return true;
        case WM_UPG_DSP_STAGE:
            ShowTips(QStringLiteral("${update_start_flash}"));
            return true;
        case WM_DEVICE_REBOOT:
            ShowTips(QStringLiteral("${update_factory_reboot}"));
            EndWork();
            return true;
        default:
            return false;
    }
}

}  // namespace kavelo
