#include "windows/UpgradeWindows.h"

#include <QPointer>

#include "base/Log.h"
#include "controller/EqualizerManager.h"
#include "ui/Prompts.h"
#include "windows/ForceUpdateWnd.h"
#include "windows/UpdateFwWnd.h"

namespace kavelo {

namespace {

QPointer<CUpdateFwWnd> gUpdateWindow;
QPointer<CForceUpdateWnd> gForceUpdateWindow;

// The amplifier is given a moment after its restart before it is reset.
constexpr int kFactoryResetDelayMs = 1000;

// Runs an update window modally while `slot` points at it; `finish` turns the
// close code into the opener's result while the window still exists.
template <class Window, class Finish>
int RunUpgradeWindow(Window* window, QPointer<Window>& slot, EqualizerManager& controller,
                     Finish finish) {
    QPointer<Window> guard(window);
    const QPointer<Window> previous = slot;
    slot = window;
    window->SetWorkObserver([&controller](bool running) { controller.SetUpgradeWork(running); });
    int result = 0;
    if (window->Create(QStringLiteral("updatefwwnd"))) result = finish(*window, window->RunModal());
    slot = previous;
    delete guard.data();
    return result;
}

template <class Window>
Window* IfOpen(const QPointer<Window>& slot) {
    return slot && !slot->Closing() ? slot.data() : nullptr;
}

}  // namespace

int ShowUpdateWindow(QWidget* parent, EqualizerManager& controller) {
    return RunUpgradeWindow(new CUpdateFwWnd(parent, controller.Link()), gUpdateWindow, controller,
                            [](CUpdateFwWnd&, int result) { return result; });
}

int ShowForceUpdateWindow(QWidget* parent, EqualizerManager& controller, const QString& mcuPath,
                          const QString& dspPath) {
    auto reset = [&controller](const std::atomic<bool>& cancel, const std::function<void()>& done) {
        controller.FactoryResetSequence(kFactoryResetDelayMs, cancel, done);
    };
    auto* window = new CForceUpdateWnd(parent, controller.Link(), mcuPath, dspPath, reset);
    return RunUpgradeWindow(
        window, gForceUpdateWindow, controller,
        [](CForceUpdateWnd& w, int result) { return w.Succeeded() ? 1 : result; });
}

CForceUpdateWnd* OpenForceUpdateWindow() { return IfOpen(gForceUpdateWindow); }

CUpgradeWnd* OpenUpgradeWindow() {
    if (CForceUpdateWnd* forced = IfOpen(gForceUpdateWindow)) return forced;
    return IfOpen(gUpdateWindow);
}

void InstallUpgradeWindows(QWidget* parent, EqualizerManager& controller) {
    EqualizerManager::WindowHooks& hooks = controller.Hooks();
    hooks.showUpdateWindow = [parent, &controller] { ShowUpdateWindow(parent, controller); };
    // A reconnection closes the update window, but never under a transfer.
    hooks.closeUpdateWindow = [] {
        if (CUpdateFwWnd* window = IfOpen(gUpdateWindow)) window->CloseWhenIdle(0);
    };
    hooks.forcedUpdateWindowOpen = [] { return OpenForceUpdateWindow() != nullptr; };
    hooks.continueAfterReconnect = [] {
        if (CForceUpdateWnd* window = OpenForceUpdateWindow()) window->ContinueAfterReconnect();
    };
    hooks.showForceUpdateWindow = [parent, &controller](const QString& mcu, const QString& dsp) {
        return ShowForceUpdateWindow(parent, controller, mcu, dsp);
    };
    hooks.startForceUpdate = [&controller] { controller.StartForceUpdate(); };
}

bool HoldCloseForUpgrade(QWidget* owner, std::function<void()> closeLater) {
    QPointer<CUpgradeWnd> window = OpenUpgradeWindow();
    if (!window || !window->Busy()) return false;
    LogPrintA("close asked while a firmware update runs\n");
    // Asked on top of the update window, which holds the modal loop.
    if (ShowMessage(window.data(), QStringLiteral("${tips}"),
                    QStringLiteral("${update_running_close}")) != 1)
        return true;
    if (!window) return false;
    if (!window->Busy()) {  // it ended while the question was open
        window->CloseWhenIdle(0);
        return false;
    }
    QObject::connect(
        window.data(), &CUpgradeWnd::WorkEnded, owner, [closeLater] { closeLater(); },
        Qt::SingleShotConnection);
    window->CloseWhenIdle(0);
    return true;
}

}  // namespace kavelo
