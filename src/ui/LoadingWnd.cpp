#include "ui/LoadingWnd.h"

#include <QProgressBar>

#include "ui/ScreenDpi.h"

namespace kavelo {

CLoadingWnd::CLoadingWnd(QWidget* owner) : WindowImplBase(owner) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void CLoadingWnd::InitWindow() { ApplyDpi(StartupDpiFromScreens()); }

void CLoadingWnd::SetProgress(int done, int total) {
    auto* bar = FindControl<QProgressBar>(QStringLiteral("loading_progress"));
    if (!bar) return;
    if (total <= 0) {
        bar->setRange(0, 0);
        bar->setTextVisible(false);
        return;
    }
    bar->setRange(0, total);
    bar->setValue(qBound(0, done, total));
    bar->setFormat(QStringLiteral("%v / %m"));
    bar->setTextVisible(true);
}

void LoadingSlot::Show() {
    Close();
    auto* window = new CLoadingWnd(mOwner);
    mWindow = window;
    if (window->Create(QStringLiteral("loadingwnd"))) window->ShowModal();
    // The nested loop ran until Close (or the window went away).
    if (mWindow == window) mWindow = nullptr;
    delete window;
}

void LoadingSlot::Close() {
    if (CLoadingWnd* window = mWindow.data()) {
        mWindow = nullptr;
        window->Close(1);
    }
}

void LoadingSlot::SetProgress(int done, int total) {
    if (CLoadingWnd* window = mWindow.data()) window->SetProgress(done, total);
}

}  // namespace kavelo
