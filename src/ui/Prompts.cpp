#include "ui/Prompts.h"

#include "base/Log.h"

namespace kavelo {

namespace {
PromptOpener* gDefault = nullptr;
PromptOpener* gOpener = nullptr;

// The installed opener, else the shell's windows; null when neither exists.
PromptOpener* Current() { return gOpener ? gOpener : gDefault; }

// An operation the current opener leaves to the default, unless that would call
// itself: then there is no window to show.
PromptOpener* Fallback(const PromptOpener* self, const char* what) {
    if (gDefault && gDefault != self) return gDefault;
    LogPrintA("no %s window to show; answered cancel\n", what);
    return nullptr;
}
}  // namespace

void SetDefaultPromptOpener(PromptOpener* opener) { gDefault = opener; }

PromptOpener* SetPromptOpener(PromptOpener* opener) {
    PromptOpener* previous = gOpener;
    gOpener = opener;
    return previous;
}

int PromptOpener::Message(QWidget* parent, const QString& title, const QString& text,
                          const QString labels[3], int count) {
    PromptOpener* next = Fallback(this, "message");
    return next ? next->Message(parent, title, text, labels, count) : 0;
}

int PromptOpener::CheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                                  const QString& option0, const QString& option1) {
    PromptOpener* next = Fallback(this, "check-box message");
    return next ? next->CheckBoxMessage(parent, title, text, option0, option1) : 0;
}

int PromptOpener::NameEntry(QWidget* parent, const QString& title, const QString& text,
                            QString& buffer) {
    PromptOpener* next = Fallback(this, "name entry");
    return next ? next->NameEntry(parent, title, text, buffer) : 0;
}

int PromptOpener::Loading(QWidget* parent) {
    PromptOpener* next = Fallback(this, "loading");
    return next ? next->Loading(parent) : 0;
}

int PromptOpener::About(QWidget* parent, const AboutDeviceInfo& info) {
    PromptOpener* next = Fallback(this, "about");
    return next ? next->About(parent, info) : 0;
}

QString PromptOpener::FileName(QWidget* parent, bool save, const QString& filter,
                               const QString& suffix) {
    PromptOpener* next = Fallback(this, "file");
    return next ? next->FileName(parent, save, filter, suffix) : QString();
}

namespace {
PromptOpener& Opener() {
    static PromptOpener none;
    PromptOpener* current = Current();
    return current ? *current : none;
}
}  // namespace

int ShowMessage(QWidget* parent, const QString& title, const QString& text) {
    const QString none[3];
    return Opener().Message(parent, title, text, none, 0);
}

int ShowMessage(QWidget* parent, const QString& title, const QString& text, const QString labels[3],
                int count) {
    return Opener().Message(parent, title, text, labels, count);
}

int ShowCheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                        const QString options[2]) {
    return Opener().CheckBoxMessage(parent, title, text, options[0], options[1]);
}

int ShowNameEntry(QWidget* parent, const QString& title, const QString& text, QString& buffer) {
    return Opener().NameEntry(parent, title, text, buffer);
}

int ShowLoading(QWidget* parent) { return Opener().Loading(parent); }

int ShowAboutWindow(QWidget* parent, const AboutDeviceInfo& info) {
    return Opener().About(parent, info);
}

QString ShowOpenFileDialog(QWidget* parent, const QString& filter) {
    return Opener().FileName(parent, false, filter, QString());
}

QString ShowSaveFileDialog(QWidget* parent, const QString& filter, const QString& suffix) {
    return Opener().FileName(parent, true, filter, suffix);
}

}  // namespace kavelo
