#include "windows/UpgradeWnd.h"

#include <QCoreApplication>
#include <QFile>

#include "base/Log.h"
#include "device/DeviceLink.h"
#include "firmware/UpgradeImage.h"
#include "firmware/UpgradeTransfer.h"
#include "ui/ScreenDpi.h"
#include "ui/WindowMessage.h"

namespace kavelo {

std::string UpgradeFilePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

CUpgradeWnd::CUpgradeWnd(QWidget* owner, DeviceLink& link)
    : WindowImplBase(owner), mLink(link), mSelf(std::make_shared<QtMessageSink>(this)) {
    // Pop-ups draw their own title bar from the layout.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

CUpgradeWnd::~CUpgradeWnd() {
    mCancel = true;
    mSelf->Reset();
    if (mWorker.joinable()) {
        LogPrintA("update window destroyed: waiting for its work to end\n");
        mWorker.join();
    }
}

void CUpgradeWnd::InitWindow() { ApplyDpi(StartupDpiFromScreens()); }

void CUpgradeWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", msg.sType.toUtf8().constData());
    if (OnWindowNotify(msg)) return;
    if (msg.sType == QLatin1String("click") && msg.pSender &&
        msg.pSender->objectName().toLower() == QLatin1String("cancel_btn")) {
        Close(0);
        return;
    }
    WindowImplBase::Notify(msg);
}

void CUpgradeWnd::done(int result) {
    // Every way of closing ends here: Esc, the window manager, the buttons, Close().
    if (Busy()) {
        LogPrintA("%s: not closed while a transfer or reset runs\n",
                  GetWindowClassName().toUtf8().constData());
        return;
    }
    mClosing = true;
    WindowImplBase::done(result);
}

void CUpgradeWnd::CloseWhenIdle(int result) {
    if (Busy()) {
        mPendingClose = result;
        return;
    }
    Close(result);
}

int CUpgradeWnd::RunModal() {
    int result = ShowModal();
    if (!Busy()) return result;
    // A quit ended the modal loop in the middle of a transfer. The window stays
    // (modal, with its progress) until the work has ended; the quit goes on
    // afterwards. The transfer is bounded, so this ends.
    LogPrintA("%s: quit deferred until the work has ended\n",
              GetWindowClassName().toUtf8().constData());
    setWindowModality(Qt::ApplicationModal);
    show();
    while (Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    hide();
    return 0;
}

void CUpgradeWnd::StartWork(std::function<void()> body) {
    if (mWorker.joinable()) mWorker.join();  // defensive: callers start only when idle
    mCancel = false;
    if (mWorkObserver) mWorkObserver(true);
    mWorker = std::thread(std::move(body));
}

void CUpgradeWnd::EndWork() {
    if (mWorker.joinable()) mWorker.join();  // it ends right after posting what brought us here
    // A close asked for meanwhile goes first, so that nothing the observer
    // sets off (the forced update's next step) starts in a window about to go.
    if (mPendingClose >= 0) {
        const int result = mPendingClose;
        mPendingClose = -1;
        if (!mClosing) Close(result);
    }
    if (mWorkObserver) mWorkObserver(false);
    emit WorkEnded();
}

void CUpgradeWnd::PostToSelf(int id, std::uintptr_t wParam) {
    mSelf->Post(DeviceMessage{id, wParam, {}});
}

void CUpgradeWnd::ShowTips(const QString& text) {
    SetControlText(FindControl(QStringLiteral("update_tips")), text);
}

void CUpgradeWnd::CloseQueueForTransfer() {
    mQueueWasOpen = mLink.IsCmdQueueEnabled();
    mLink.DisableCmdQueue();
}

void CUpgradeWnd::ReopenQueueIfUntouched(std::uintptr_t startCode) {
    const bool untouched = startCode == UPG_FILE_OPEN_FAIL || startCode == UPG_FILE_INVALID;
    if (!untouched || !mQueueWasOpen) return;
    LogPrintA("upgrade file refused before anything was sent: commands flow again\n");
    mLink.EnableCmdQueue();
}

void CUpgradeWnd::RunTransfer(const std::string& path, int startedMessage) {
    if (mCancel) {
        PostToSelf(WM_UPG_NOT_LOADED, UPG_FILE_OPEN_FAIL);  // nothing sent
        return;
    }
    const int started = mLink.UpgradeStart(path);
    if (started != UPG_FILE_VALID) {
        LogPrintA("UpgradeStart %s returned %d\n", path.c_str(), started);
        PostToSelf(WM_UPG_NOT_LOADED, static_cast<std::uintptr_t>(started));
        return;
    }
    if (startedMessage != 0) PostToSelf(startedMessage);
    // Once started, the transfer runs to its end whatever happens to the window.
    std::uint8_t step = 0;
    int shown = -1;
    for (;;) {
        step = mLink.UpgradeStep();
        if (step > 100) break;
        if (mLink.sys_upg_status == UPG_IDLE) {
            // The engine stopped without an ending; stepping on would spin for ever.
            LogPrintA("upgrade failed: the engine went idle at %d%%\n", step);
            step = kUpgradeStepFailed;
            break;
        }
        if (step != shown) {  // one message per percent, not per block
            shown = step;
            PostToSelf(WM_UPG_PROGRESS, step);
        }
    }
    PostToSelf(step == kUpgradeStepFailed ? WM_UPG_FAILED : WM_UPG_DONE);
}

}  // namespace kavelo
