#pragma once

#include <QString>

#include "windows/UpgradeWnd.h"

namespace kavelo {

// The firmware update window: the user picks one upgrade file and writes it
// into the amplifier, with progress.
class CUpdateFwWnd : public CUpgradeWnd {
    Q_OBJECT
public:
    using CUpgradeWnd::CUpgradeWnd;
    QString GetSkinFile() const override { return QStringLiteral("XML_UPDATE_FW"); }
    QString GetWindowClassName() const override { return QStringLiteral("UpdateFwWnd"); }

    // Writes the chosen file; does nothing without an amplifier.
    void BeginUpdate();
    // The file chosen last (empty: none).
    const QString& FilePath() const { return mFilePath; }

protected:
    void InitWindow() override;
    bool OnWindowNotify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;

private:
    void ChooseFile();
    void EnableControls(bool enabled);

    QString mFilePath;
    bool mChoosing = false;
};

}  // namespace kavelo
