#include "app/Prompts.h"

#include <QPointer>

namespace kavelo {

namespace {
PromptOpener& DefaultOpener() {
    static PromptOpener opener;
    return opener;
}
PromptOpener* gOpener = nullptr;
PromptOpener& Current() { return gOpener ? *gOpener : DefaultOpener(); }

// Runs a prompt modally and disposes of it; a window whose layout failed answers 0.
template <class Window>
int RunPrompt(Window* window, const QString& title) {
    QPointer<Window> guard(window);
    int result = 0;
    if (window->Create(title)) result = window->ShowModal();
    delete guard.data();
    return result;
}
}  // namespace

PromptOpener* SetPromptOpener(PromptOpener* opener) {
    PromptOpener* previous = gOpener;
    gOpener = opener;
    return previous;
}

int PromptOpener::Message(QWidget* parent, const QString& title, const QString& text,
                          const QString labels[3], int count) {
    auto* window = new CMsgWnd(parent);
    QPointer<CMsgWnd> guard(window);
    int result = 0;
    if (window->Create(QStringLiteral("msgwnd"))) {
        window->SetTitle(title);
        window->SetMsg(text);
        if (count >= 1) window->SetButtons(labels, count);
        result = window->ShowModal();
    }
    delete guard.data();
    return result;
}

int PromptOpener::CheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
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

int PromptOpener::NameEntry(QWidget* parent, const QString& title, const QString& text,
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

int PromptOpener::Loading(QWidget* parent) {
    return RunPrompt(new CLoadingWnd(parent), QStringLiteral("loadingwnd"));
}

int PromptOpener::About(QWidget* parent, const AboutDeviceInfo& info) {
    return RunPrompt(new CAboutWnd(parent, info), QStringLiteral("msgwnd"));
}

int ShowMessage(QWidget* parent, const QString& title, const QString& text) {
    const QString none[3];
    return Current().Message(parent, title, text, none, 0);
}

int ShowMessage(QWidget* parent, const QString& title, const QString& text, const QString labels[3],
                int count) {
    return Current().Message(parent, title, text, labels, count);
}

int ShowCheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                        const QString options[2]) {
    return Current().CheckBoxMessage(parent, title, text, options[0], options[1]);
}

int ShowNameEntry(QWidget* parent, const QString& title, const QString& text, QString& buffer) {
    return Current().NameEntry(parent, title, text, buffer);
}

int ShowLoading(QWidget* parent) { return Current().Loading(parent); }

int ShowAboutWindow(QWidget* parent, const AboutDeviceInfo& info) {
    return Current().About(parent, info);
}

}  // namespace kavelo
