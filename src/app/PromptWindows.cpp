#include "app/PromptWindows.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "ui/LanguageService.h"
#include "ui/LoadingWnd.h"
#include "ui/ScreenDpi.h"

namespace kavelo {

void CPromptWnd::InitWindow() {
    ApplyDpi(StartupDpiFromScreens());
    // The keyboard starts on the answer, not on the title bar's close button
    // (Esc closes the box already).
    if (QWidget* close = FindControl("closebtn")) close->setFocusPolicy(Qt::NoFocus);
    if (QWidget* confirm = FindControl("confirm_btn")) confirm->setFocus();
}

void CPromptWnd::SetTitle(const QString& title) {
    if (!title.isEmpty()) SetControlText(FindControl("MessageTitle"), title);
}

void CPromptWnd::SetMsg(const QString& text) {
    if (!text.isEmpty()) SetControlText(FindControl("MessageText"), text);
}

void CPromptWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click") && msg.pSender) {
        const QString name = msg.pSender->objectName().toLower();
        if (name == QLatin1String("confirm_btn")) return Close(1);
        if (name == QLatin1String("cancel_btn")) return Close(0);
        if (name == QLatin1String("third_btn")) return Close(2);
    }
    WindowImplBase::Notify(msg);
}

void CPromptWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused && focused->isVisible() && focused->isEnabled()
                                  ? focused
                                  : FindControl<QPushButton>("confirm_btn");
        if (target && target->isVisible() && target->isEnabled()) {
            target->click();
            return;
        }
    }
    WindowImplBase::keyPressEvent(event);
}

void CMsgWnd::SetButtons(const QString labels[3], int count) {
    auto* confirm = FindControl<QPushButton>("confirm_btn");
    auto* cancel = FindControl<QPushButton>("cancel_btn");
    auto* third = FindControl<QPushButton>("third_btn");
    if (confirm && !labels[0].isEmpty()) SetControlText(confirm, labels[0]);
    if (cancel) {
        cancel->setVisible(count >= 2);
        if (count >= 2 && !labels[1].isEmpty()) SetControlText(cancel, labels[1]);
    }
    if (third) {
        third->setVisible(count >= 3);
        if (count >= 3 && !labels[2].isEmpty()) SetControlText(third, labels[2]);
    }
}

void CMsgCheckBoxWnd::SetOptions(const QString& first, const QString& second) {
    if (first.isEmpty() || second.isEmpty()) return;
    SetControlText(FindControl("check_box_0"), first);
    SetControlText(FindControl("check_box_1"), second);
}

void CMsgCheckBoxWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click") && msg.pSender &&
        msg.pSender->objectName().toLower() == QLatin1String("confirm_btn")) {
        auto* first = FindControl<QRadioButton>("check_box_0");
        auto* second = FindControl<QRadioButton>("check_box_1");
        if (first && first->isChecked()) return Close(1);
        if (second && second->isChecked()) return Close(2);
        return;  // no choice yet: the box stays open
    }
    CPromptWnd::Notify(msg);
}

void CNameMsgWnd::InitWindow() {
    CPromptWnd::InitWindow();
    if (auto* edit = FindControl<QLineEdit>("name_edt")) {
        edit->setMaxLength(kMaxNameLength);
        if (mBuffer) SetControlText(edit, mBuffer->left(kMaxNameLength));
        edit->setFocus();
    }
}

void CNameMsgWnd::SetButtonTexts(const QString& confirm, const QString& cancel) {
    if (!confirm.isEmpty()) SetControlText(FindControl("confirm_btn"), confirm);
    if (!cancel.isEmpty()) SetControlText(FindControl("cancel_btn"), cancel);
}

void CNameMsgWnd::Accept() {
    if (auto* edit = FindControl<QLineEdit>("name_edt"); edit && mBuffer) *mBuffer = edit->text();
    Close(1);
}

void CNameMsgWnd::Notify(TNotifyUI& msg) {
    const QString name = msg.pSender ? msg.pSender->objectName().toLower() : QString();
    if (msg.sType == QLatin1String("return") && name == QLatin1String("name_edt")) return Accept();
    if (msg.sType == QLatin1String("click") && name == QLatin1String("confirm_btn"))
        return Accept();
    CPromptWnd::Notify(msg);
}

void CNameMsgWnd::keyPressEvent(QKeyEvent* event) {
    // Typing anywhere in the box goes to the name field.
    if (auto* edit = FindControl<QLineEdit>("name_edt"); edit && !edit->hasFocus()) {
        edit->setFocus();
        if (!event->text().isEmpty() && event->key() != Qt::Key_Escape &&
            event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            edit->insert(event->text());
            return;
        }
    }
    CPromptWnd::keyPressEvent(event);
}

void CAboutWnd::InitWindow() {
    CPromptWnd::InitWindow();
    FillTexts();
    connect(&LanguageService::Instance(), &LanguageService::LanguageChanged, this,
            &CAboutWnd::FillTexts);
}

void CAboutWnd::FillTexts() {
    if (auto* company = FindControl("company_title")) company->hide();
    if (auto* fw = FindControl<QLabel>("fw_version")) {
        if (mInfo.model == -1)
            fw->setText(QString::fromLatin1(MODEL_NAME));
        else
            fw->setText(QStringLiteral("%1 %2 v%3.%4")
                            .arg(QString::fromLatin1(MODEL_NAME), GetText("${version}"))
                            .arg(mInfo.mainVersion)
                            .arg(mInfo.slaveVersion));
    }
    if (auto* soft = FindControl<QLabel>("soft_version"))
        soft->setText(
            QStringLiteral("%1 %2").arg(GetText("${soft_version}"), QString::fromLatin1(VERSION)));
    if (auto* inner = FindControl<QLabel>("inner_fw_version")) {
        inner->setVisible(true);
        inner->setText(QStringLiteral("%1 v%2.%3")
                           .arg(GetText("${inner_fw_version}"))
                           .arg(INNER_FW.major)
                           .arg(INNER_FW.minor));
    }
}

void CAboutWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", msg.sType.toUtf8().constData());
    if (msg.sType == QLatin1String("click") && msg.pSender &&
        msg.pSender->objectName().startsWith(QLatin1String("web_btn"))) {
        if (auto* button = qobject_cast<QAbstractButton*>(msg.pSender)) {
            const QUrl url = QUrl::fromUserInput(button->text());
            if (!url.isValid() || !QDesktopServices::openUrl(url))
                LogPrintA("cannot open %s\n", button->text().toUtf8().constData());
        }
        return;
    }
    CPromptWnd::Notify(msg);
}

namespace {
// The real modal windows behind the prompt seam.
class WindowPrompts : public PromptOpener {
public:
    int Message(QWidget* parent, const QString& title, const QString& text, const QString labels[3],
                int count) override;
    int CheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                        const QString& option0, const QString& option1) override;
    int NameEntry(QWidget* parent, const QString& title, const QString& text,
                  QString& buffer) override;
    int Loading(QWidget* parent) override;
    int About(QWidget* parent, const AboutDeviceInfo& info) override;
    QString FileName(QWidget* parent, bool save, const QString& filter,
                     const QString& suffix) override;
};
}  // namespace


int WindowPrompts::Message(QWidget* parent, const QString& title, const QString& text,
                           const QString labels[3], int count) {
    auto* window = new CMsgWnd(parent);
    QPointer<CMsgWnd> guard(window);
    int result = 0;
    if (window->Create(QStringLiteral("msgwnd"))) {
        window->SetTitle(title);
        window->SetMsg(text);
        // The plain form asks yes or no: confirm and cancel with the layout's texts.
        window->SetButtons(labels, count >= 1 ? count : 2);
        result = window->ShowModal();
    }
    delete guard.data();
    return result;
}

int WindowPrompts::CheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                                   const QString& option0, const QString& option1) {
    auto* window = new CMsgCheckBoxWnd(parent);
    QPointer<CMsgCheckBoxWnd> guard(window);
    int result = 0;
    if (window->Create(QStringLiteral("msgcbwnd"))) {
        window->SetTitle(title);
        window->SetMsg(text);
        window->SetOptions(option0, option1);
        result = window->ShowModal();
    }
    delete guard.data();
    return result;
}

int WindowPrompts::NameEntry(QWidget* parent, const QString& title, const QString& text,
                             QString& buffer) {
    auto* window = new CNameMsgWnd(parent, &buffer);
    QPointer<CNameMsgWnd> guard(window);
    int result = 0;
    if (window->Create(QStringLiteral("namemsgwnd"))) {
        window->SetTitle(title);
        window->SetMsg(text);
        result = window->ShowModal();
    }
    delete guard.data();
    return result;
}

int WindowPrompts::Loading(QWidget* parent) {
    return RunModalWindow(new CLoadingWnd(parent), QStringLiteral("loadingwnd"));
}

int WindowPrompts::About(QWidget* parent, const AboutDeviceInfo& info) {
    return RunModalWindow(new CAboutWnd(parent, info), QStringLiteral("msgwnd"));
}

QString WindowPrompts::FileName(QWidget* parent, bool save, const QString& filter,
                                const QString& suffix) {
    QFileDialog dialog(parent, QString(), QDir::currentPath(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void InstallPromptWindows() {
    static WindowPrompts windows;
    SetDefaultPromptOpener(&windows);
}

}  // namespace kavelo
