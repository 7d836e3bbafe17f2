#pragma once

#include <QPointer>

#include "ui/WindowImplBase.h"

namespace kavelo {

// The "please wait" window of the long amplifier operations, with the
// operation's progress when it is known.
class CLoadingWnd : public WindowImplBase {
    Q_OBJECT
public:
    explicit CLoadingWnd(QWidget* owner = nullptr);
    QString GetSkinFile() const override { return QStringLiteral("XML_LOADING"); }
    QString GetWindowClassName() const override { return QStringLiteral("LoadingWnd"); }
    // Commands done of commands to do; a total of 0 or less shows a busy bar.
    void SetProgress(int done, int total);

protected:
    void InitWindow() override;
};

// The loading window a window owns between "show loading" and "close
// loading": shown modally (a nested loop) and closed from a later message.
class LoadingSlot {
public:
    explicit LoadingSlot(QWidget* owner) : mOwner(owner) {}
    // Replaces an open one and returns when it is closed.
    void Show();
    // Ends the nested loop with result 1; nothing when none is open.
    void Close();
    void SetProgress(int done, int total);
    bool IsOpen() const { return !mWindow.isNull(); }

private:
    QWidget* mOwner;
    QPointer<CLoadingWnd> mWindow;
};

}  // namespace kavelo
