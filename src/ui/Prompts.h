#pragma once

#include <QString>

class QWidget;

namespace kavelo {

// What the About window shows of the attached amplifier; model -1 = none answered.
struct AboutDeviceInfo {
    int model = -1;
    int mainVersion = 0;
    int slaveVersion = 0;
};

// The seam every prompt goes through. The shell installs the real modal windows
// as the default; tests install their own to script the answers. An operation
// a subclass does not override goes to the default.
class PromptOpener {
public:
    virtual ~PromptOpener() = default;
    // labels: three slots (empty = the layout's text); count < 1: confirm and cancel with
    // the layout's texts.
    virtual int Message(QWidget* parent, const QString& title, const QString& text,
                        const QString labels[3], int count);
    virtual int CheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                                const QString& option0, const QString& option1);
    virtual int NameEntry(QWidget* parent, const QString& title, const QString& text,
                          QString& buffer);
    virtual int Loading(QWidget* parent);
    virtual int About(QWidget* parent, const AboutDeviceInfo& info);
    // A file to open (an existing one) or to save into, starting in the current
    // folder; `filter` in Qt's form ("Name (*.ext);;..."), `suffix` added to a saved
    // name without one. Empty when the user cancelled.
    virtual QString FileName(QWidget* parent, bool save, const QString& filter,
                             const QString& suffix);
};

// The windows the shell offers (null: none; every prompt then answers 0 = cancel
// and logs that no window could be shown).
void SetDefaultPromptOpener(PromptOpener* opener);
// Installs `opener` (nullptr restores the default) and returns the previous one.
PromptOpener* SetPromptOpener(PromptOpener* opener);

// Modal prompts; 1 confirm, 0 cancel or close, 2 third button.
int ShowMessage(QWidget* parent, const QString& title, const QString& text);
int ShowMessage(QWidget* parent, const QString& title, const QString& text, const QString labels[3],
                int count);
int ShowCheckBoxMessage(QWidget* parent, const QString& title, const QString& text,
                        const QString options[2]);
// `buffer` gives the initial name and receives the accepted one (at most 7 characters).
int ShowNameEntry(QWidget* parent, const QString& title, const QString& text, QString& buffer);
int ShowLoading(QWidget* parent);
int ShowAboutWindow(QWidget* parent, const AboutDeviceInfo& info);
QString ShowOpenFileDialog(QWidget* parent, const QString& filter);
QString ShowSaveFileDialog(QWidget* parent, const QString& filter, const QString& suffix);

}  // namespace kavelo
