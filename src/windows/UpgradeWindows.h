#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kavelo {

class CForceUpdateWnd;
class CUpgradeWnd;
class EqualizerManager;

// Openers of the update windows, modal on `parent`. While a window is open, a
// process-wide pointer reaches it; the controller is told when the window's
// work starts and ends (SetUpgradeWork).
int ShowUpdateWindow(QWidget* parent, EqualizerManager& controller);
// Returns 1 when the forced update ended with the factory reset, else the close code.
int ShowForceUpdateWindow(QWidget* parent, EqualizerManager& controller, const QString& mcuPath,
                          const QString& dspPath);

// The update or forced-update window that is open and not closing, or null.
CUpgradeWnd* OpenUpgradeWindow();
CForceUpdateWnd* OpenForceUpdateWindow();

// Sets the controller's window hooks to these windows, owned by `parent` (the
// main window, which outlives the controller's use of them).
void InstallUpgradeWindows(QWidget* parent, EqualizerManager& controller);

// For a window that is about to close (the main window): while an update
// window's transfer runs, asks whether to close once it has ended. Returns
// true when the caller must not close now; `closeLater` then runs when the
// transfer has ended (if the user agreed).
bool HoldCloseForUpgrade(QWidget* owner, std::function<void()> closeLater);

}  // namespace kavelo
