#pragma once

#include "ui/WindowImplBase.h"

namespace kavelo {

// The main window. For now it loads its layout, registers the language tables and
// selects the configured language; the tuning surface is added on top of it.
class CMainWnd : public WindowImplBase {
    Q_OBJECT
public:
    using WindowImplBase::WindowImplBase;
    QString GetSkinFile() const override { return QStringLiteral("XML_MAIN"); }
    QString GetWindowClassName() const override { return QStringLiteral("MainWnd"); }

protected:
    void InitWindow() override;
    bool IsMainWindow() const override { return true; }
    void changeEvent(QEvent* event) override;
    void Notify(TNotifyUI& msg) override;
    bool HandleCustomMessage(int id, std::uintptr_t wParam, const Payload& lParam,
                             const QString& text) override;
};

// Registers "en", "cn_zh" and "ru" (in that order) and selects the language stored
// under "lan" (0, 1, 2; anything else leaves the last table current).
void RegisterLanguages();
void SelectConfiguredLanguage(int lan);

}  // namespace kavelo
