#pragma once

#include <QString>
#include <atomic>
#include <functional>

#include "windows/UpgradeWnd.h"

namespace kavelo {

// The forced update: writes the MCU image, then (after the amplifier is back)
// the DSP image, then optionally resets the amplifier to its factory settings.
// Each step waits for the amplifier to restart; the controller calls
// ContinueAfterReconnect when it is back.
class CForceUpdateWnd : public CUpgradeWnd {
    Q_OBJECT
public:
    // The factory reset as a worker runs it (cancel, then a callback when done);
    // the controller's FactoryResetSequence.
    using FactoryReset =
        std::function<void(const std::atomic<bool>& cancel, const std::function<void()>& done)>;

    enum Stage { STAGE_IDLE = 0, STAGE_MCU = 1, STAGE_DSP = 2, STAGE_FACTORY_RESET = 3 };

    CForceUpdateWnd(QWidget* owner, DeviceLink& link, QString mcuPath, QString dspPath,
                    FactoryReset factoryReset);
    QString GetSkinFile() const override { return QStringLiteral("XML_FORCE_UPDATE"); }
    QString GetWindowClassName() const override { return QStringLiteral("ForceUpdateWnd"); }

    // Starts the next image's transfer; does nothing without an amplifier.
    void BeginUpdate();
    // The amplifier is back after a restart: the next step, or the end.
    void ContinueAfterReconnect();
    int Stage() const { return mStage; }
    // The update ended with the factory reset; the modal result is then 1.
    bool Succeeded() const { return mSucceeded; }

protected:
    void InitWindow() override;
    bool OnWindowNotify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;

private:
    void SetProgress(const char* name, int percent);
    void EnableButtons(bool update, bool close);

    QString mMcuPath;
    QString mDspPath;
    FactoryReset mFactoryReset;
    int mStage = STAGE_IDLE;
    bool mSucceeded = false;
};

}  // namespace kavelo
