#include "windows/UpdateFwWnd.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "device/DeviceLink.h"
#include "ui/LanguageService.h"

namespace kavelo {

namespace {

const char* const kControlNames[] = {"closebtn", "cancel_btn", "file_btn", "update_btn",
                                     "file_path_edt"};

// Only the two files of this model, by their full names.
QString FileFilter() {
    const QString mcu = QStringLiteral("%1_MCU_UPG.bin").arg(QLatin1String(MODEL_NAME));
    const QString flash = QStringLiteral("%1_FLASH_UPG.bin").arg(QLatin1String(MODEL_NAME));
    return QStringLiteral("%1,%2 (%1 %2)").arg(mcu, flash);
}

}  // namespace

void CUpdateFwWnd::InitWindow() {
    CUpgradeWnd::InitWindow();
    if (auto* edit = FindControl<QLineEdit>(QStringLiteral("file_path_edt"))) {
        // The path shown is the dialog's choice; typing would only mislead.
        edit->setReadOnly(true);
        // Not the first focus of the window: taking the focus opens the dialog.
        edit->setFocusPolicy(Qt::ClickFocus);
    }
    if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progress"))) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
}

bool CUpdateFwWnd::OnWindowNotify(TNotifyUI& msg) {
    const QString name = msg.pSender ? msg.pSender->objectName() : QString();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("file_btn")) {
            ChooseFile();
            return true;
        }
        if (name == QLatin1String("update_btn")) {
            BeginUpdate();
            return true;
        }
    } else if (msg.sType == QLatin1String("setfocus") && name == QLatin1String("file_path_edt")) {
        auto* edit = qobject_cast<QLineEdit*>(msg.pSender);
        if (edit && edit->text().isEmpty() && !mChoosing) {
            // Not from inside the focus change itself.
            mChoosing = true;
            QTimer::singleShot(0, this, [this] { ChooseFile(); });
        }
        return true;
    }
    return false;
}

void CUpdateFwWnd::ChooseFile() {
    mChoosing = true;
    QFileDialog dialog(this, GetText(QStringLiteral("${ui_choose_firmware}")), QDir::currentPath(),
                       FileFilter());
    dialog.setObjectName(QStringLiteral("firmware_file_dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        mFilePath = dialog.selectedFiles().constFirst();
        LogPrintA("Upg_GetOpenFileName %s ok\n", mFilePath.toUtf8().constData());
        if (auto* edit = FindControl<QLineEdit>(QStringLiteral("file_path_edt")))
            edit->setText(QDir::toNativeSeparators(mFilePath));
    }
    // The focus must not fall back to an empty path field: that would open the
    // dialog again at once.
    if (QWidget* browse = FindControl(QStringLiteral("file_btn"))) browse->setFocus();
    mChoosing = false;
}

void CUpdateFwWnd::BeginUpdate() {
    LogPrintA("CUpdateFwWnd::BeginUpdate\n");
    if (!mLink.IsDeviceOpen() || Busy() || Closing()) return;
    CloseQueueForTransfer();
    mCancel = false;
    ShowTips(QStringLiteral("${loading_fw}"));
    const std::string path = UpgradeFilePath(mFilePath);
    StartWork([this, path] { RunTransfer(path, 0); });
    EnableControls(false);
}

void CUpdateFwWnd::EnableControls(bool enabled) {
    for (const char* name : kControlNames)
        if (QWidget* control = FindControl(QLatin1String(name))) control->setEnabled(enabled);
}

bool CUpdateFwWnd::HandleCustomMessage(int id, std::uintptr_t wParam, const Payload&,
                                       const QString&) {
    switch (id) {
        case WM_UPG_PROGRESS: {
            const int percent = static_cast<int>(wParam);
            ShowTips(QStringLiteral("%1%").arg(percent));
            if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progress")))
                bar->setValue(percent);
            return true;
        }
        case WM_UPG_DONE:
        case WM_UPG_FAILED:
        case WM_UPG_NOT_LOADED:
            EnableControls(true);
            ShowTips(id == WM_UPG_DONE     ? QStringLiteral("${update_ok}")
                     : id == WM_UPG_FAILED ? QStringLiteral("${update_fail}")
                                           : QStringLiteral("${load_fw_fail}"));
            if (id == WM_UPG_NOT_LOADED) ReopenQueueIfUntouched(wParam);
            EndWork();
            return true;
        default:
            return false;
    }
}

}  // namespace kavelo
