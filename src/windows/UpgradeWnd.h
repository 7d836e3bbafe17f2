#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ui/WindowImplBase.h"

namespace kavelo {

class DeviceLink;
class QtMessageSink;

// Messages the update windows' workers post to their own window. The forced
// update's factory reset reports with WM_DEVICE_REBOOT (1240).
enum UpgradeWindowMessage : int {
    WM_UPG_PROGRESS = 1255,  // wParam: percent 0..100
    WM_UPG_DONE = 1256,
    WM_UPG_FAILED = 1257,
    WM_UPG_NOT_LOADED = 1258,  // UpgradeStart refused the file or the amplifier
    WM_UPG_MCU_STAGE = 1259,
    WM_UPG_DSP_STAGE = 1260,
};

// What the two update windows share: the device link, one worker at a time
// (a transfer, or the forced update's factory reset), and the rule that the
// window does not close while that worker runs. An interrupted transfer can
// leave an amplifier that does not start, so Esc, the window manager's close,
// the buttons and Close() are refused meanwhile, a quit ending the modal loop
// keeps the window up until the work has ended, and CloseWhenIdle defers.
//
// A worker's last act is posting the message that ends its work; the handler
// of that message calls EndWork(), which joins it.
class CUpgradeWnd : public WindowImplBase {
    Q_OBJECT
public:
    CUpgradeWnd(QWidget* owner, DeviceLink& link);
    // Raises the cancel flag and waits for a worker still running: a transfer
    // goes on to its end, even when the window is destroyed by a quit.
    ~CUpgradeWnd() override;

    // A worker of this window runs (from its start until its last message was handled).
    bool Busy() const { return mWorker.joinable(); }
    // Closes now, or once the running work has ended.
    void CloseWhenIdle(int result);
    // ShowModal, except that the window outlives a quit while it works.
    int RunModal();
    // Told on the UI thread when a worker starts (true) and when it has ended (false).
    void SetWorkObserver(std::function<void(bool running)> observer) {
        mWorkObserver = std::move(observer);
    }
    // Closed or closing: no new work starts.
    bool Closing() const { return mClosing; }

signals:
    // The work has ended and the window may close.
    void WorkEnded();

protected:
    void InitWindow() override;
    // Logs every notification and offers it to OnWindowNotify; what that
    // leaves, closebtn and cancel_btn close the window.
    void Notify(TNotifyUI& msg) final;
    // The window's own controls; true when the notification was handled.
    virtual bool OnWindowNotify(TNotifyUI& msg) = 0;
    void done(int result) override;

    // Runs `body` on the worker thread. The body may use the link, the cancel
    // flag and PostToSelf; it must capture anything else by value, since the
    // window may be destroyed while it runs.
    void StartWork(std::function<void()> body);
    void EndWork();
    // From the worker: dropped once the window is going away.
    void PostToSelf(int id, std::uintptr_t wParam = 0);
    // The status line under the progress (a language key or a ready text).
    void ShowTips(const QString& text);
    // The transfer of one file, on the worker: UpgradeStart, then (posting
    // `startedMessage` when non-zero) steps to the end, posting the progress
    // and WM_UPG_DONE or WM_UPG_FAILED; WM_UPG_NOT_LOADED with UpgradeStart's
    // code in wParam when it did not start.
    void RunTransfer(const std::string& path, int startedMessage);
    // Closes the command queue for a transfer, remembering whether it was open.
    void CloseQueueForTransfer();
    // After WM_UPG_NOT_LOADED: a file refused before anything was sent leaves
    // the amplifier as it was, so a queue that was open opens again.
    void ReopenQueueIfUntouched(std::uintptr_t startCode);

    DeviceLink& mLink;
    // Set when the window goes away: work not yet started is skipped.
    std::atomic<bool> mCancel{false};

private:
    std::thread mWorker;
    std::shared_ptr<QtMessageSink> mSelf;
    std::function<void(bool)> mWorkObserver;
    int mPendingClose = -1;
    bool mClosing = false;
    bool mQueueWasOpen = false;
};

// The path of a chosen file as the engine opens it.
std::string UpgradeFilePath(const QString& path);

}  // namespace kavelo
