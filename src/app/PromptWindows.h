#pragma once

#include <QString>

#include "ui/Prompts.h"
#include "ui/WindowImplBase.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kavelo {

// Shared base of the prompts: title and text fields, standard buttons, the DPI.
class CPromptWnd : public WindowImplBase {
    Q_OBJECT
public:
    // Pop-ups draw their own title bar from the layout.
    explicit CPromptWnd(QWidget* owner = nullptr) : WindowImplBase(owner) {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    }
    // An empty text leaves the layout's text in place.
    void SetTitle(const QString& title);
    void SetMsg(const QString& text);

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    // Enter presses the focused button, else the confirm button.
    void keyPressEvent(QKeyEvent* event) override;
};

class CMsgWnd : public CPromptWnd {
    Q_OBJECT
public:
    using CPromptWnd::CPromptWnd;
    QString GetSkinFile() const override { return QStringLiteral("XML_MSG"); }
    QString GetWindowClassName() const override { return QStringLiteral("MsgWnd"); }
    // 1 to 3 buttons labelled from `labels` (unused slots may be empty).
    void SetButtons(const QString labels[3], int count);
};

class CMsgCheckBoxWnd : public CPromptWnd {
    Q_OBJECT
public:
    using CPromptWnd::CPromptWnd;
    QString GetSkinFile() const override { return QStringLiteral("XML_CHECKBOX_MSG"); }
    QString GetWindowClassName() const override { return QStringLiteral("MsgCheckBoxWnd"); }
    // Applied only when both texts are non-empty.
    void SetOptions(const QString& first, const QString& second);

protected:
    void Notify(TNotifyUI& msg) override;
};

class CNameMsgWnd : public CPromptWnd {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 7;
    CNameMsgWnd(QWidget* owner, QString* buffer) : CPromptWnd(owner), mBuffer(buffer) {}
    QString GetSkinFile() const override { return QStringLiteral("XML_MSG_NAME"); }
    QString GetWindowClassName() const override { return QStringLiteral("NameMsgWnd"); }
    void SetButtonTexts(const QString& confirm, const QString& cancel);

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Accept();
    QString* mBuffer;
};

class CAboutWnd : public CPromptWnd {
    Q_OBJECT
public:
    CAboutWnd(QWidget* owner, const AboutDeviceInfo& info) : CPromptWnd(owner), mInfo(info) {}
    QString GetSkinFile() const override { return QStringLiteral("XML_ABOUT"); }
    QString GetWindowClassName() const override { return QStringLiteral("AboutWnd"); }

protected:
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;

private:
    void FillTexts();
    AboutDeviceInfo mInfo;
};

// Makes the windows above the default answer of every prompt (idempotent).
void InstallPromptWindows();

}  // namespace kavelo
