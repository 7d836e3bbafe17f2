#pragma once

// Small null-safe setters the controller's files share: any control of the main
// layout may be missing, and a value set from code must not notify.
#include <QAbstractSlider>
#include <QSignalBlocker>
#include <QString>
#include <QWidget>

#include "base/Log.h"
#include "ui/Prompts.h"
#include "ui/WindowImplBase.h"

namespace kavelo::controls {

inline constexpr unsigned kRedText = 0xFFFF0000;
inline constexpr unsigned kWhiteText = 0xFFFFFFFF;

inline void SetTextColour(QWidget* w, unsigned argb) {
    if (!w) return;
    w->setProperty("textColor", argb);
    w->setStyleSheet(QStringLiteral("color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QLatin1Char('0')));
}

inline void SetText(QWidget* w, const QString& text) { WindowImplBase::SetControlText(w, text); }

// Typed text that holds no number changes nothing: the field shows the stored
// value again and the log says why.
inline void LogNoNumber(const QWidget* edit, const QString& text) {
    LogPrintA("%s: \"%s\" holds no number; the stored value stays\n",
              edit ? edit->objectName().toUtf8().constData() : "", text.toUtf8().constData());
}

inline void SetSliderValue(QAbstractSlider* s, int value) {
    if (!s) return;
    const QSignalBlocker quiet(s);
    s->setValue(value);
}

inline void SetEnabled(QWidget* w, bool on) {
    if (w) w->setEnabled(on);
}

inline void SetVisible(QWidget* w, bool on) {
    if (w) w->setVisible(on);
}

// "${tips}" with `text` and the one button "${confirm}".
inline void ConfirmBox(QWidget* parent, const QString& text) {
    const QString labels[3] = {QStringLiteral("${confirm}"), QString(), QString()};
    ShowMessage(parent, QStringLiteral("${tips}"), text, labels, 1);
}

}  // namespace kavelo::controls
