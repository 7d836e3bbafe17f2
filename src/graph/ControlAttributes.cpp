#include "graph/ControlAttributes.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QWidget>

#include "base/Log.h"
#include "ui/WindowImplBase.h"

namespace kavelo {

std::optional<QColor> ParseSkinColor(const QString& text) {
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#'))) return std::nullopt;
    bool ok = false;
    const uint value = t.mid(1).toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    if (t.size() == 9) return QColor::fromRgba(value);
    if (t.size() == 7) return QColor::fromRgb(value);
    return std::nullopt;
}

std::vector<QColor> ParseColorList(const QString& text, int limit) {
    std::vector<QColor> out;
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#'))) return out;
    // "#A #B #C": skip the first "#", then every piece follows a " #".
    const QStringList pieces = t.mid(1).split(QStringLiteral(" #"));
    for (const QString& piece : pieces) {
        if (static_cast<int>(out.size()) >= limit) break;
        bool ok = false;
        const uint value = piece.trimmed().toUInt(&ok, 16);
        if (!ok) break;
        out.push_back(QColor::fromRgba(value));
    }
    return out;
}

bool ParseSkinBool(const QString& text) {
    const QString t = text.trimmed().toLower();
    return t == QLatin1String("true") || t == QLatin1String("1");
}

QPixmap LoadSkinImage(const QString& descriptor) {
    const QString d = descriptor.trimmed();
    if (d.isEmpty()) return {};
    const QString path = d.startsWith(QLatin1Char(':')) || d.startsWith(QLatin1Char('/'))
                             ? d
                             : SkinRoot() + QLatin1Char('/') + d;
    QPixmap pixmap(path);
    if (pixmap.isNull()) LogPrintA("image %s cannot be loaded\n", d.toUtf8().constData());
    return pixmap;
}

QFont SkinFont(const QWidget* control, int index) {
    QFont f = control ? control->font() : QFont();
    const int px = f.pixelSize() > 0 ? f.pixelSize() : QFontMetrics(f).height() * 3 / 4;
    switch (index) {
        case 1:
            f.setBold(true);
            break;
        case 2:
            f.setPixelSize(std::max(1, px * 85 / 100));
            break;
        case 3:
            f.setPixelSize(std::max(1, px * 125 / 100));
            break;
        case 4:
            f.setPixelSize(std::max(1, px * 125 / 100));
            f.setBold(true);
            break;
        default:
            break;
    }
    return f;
}

bool TextStyle::Apply(const QString& name, const QString& value) {
    const QString v = value.trimmed().toLower();
    if (name == QLatin1String("align")) {
        align &= ~Qt::AlignHorizontal_Mask;
        align |= v == QLatin1String("left")    ? Qt::AlignLeft
                 : v == QLatin1String("right") ? Qt::AlignRight
                                               : Qt::AlignHCenter;
    } else if (name == QLatin1String("valign")) {
        align &= ~Qt::AlignVertical_Mask;
        align |= v == QLatin1String("top")      ? Qt::AlignTop
                 : v == QLatin1String("bottom") ? Qt::AlignBottom
                                                : Qt::AlignVCenter;
    } else if (name == QLatin1String("endellipsis")) {
        endEllipsis = ParseSkinBool(v);
    } else if (name == QLatin1String("wordbreak")) {
        wordBreak = ParseSkinBool(v);
    } else if (name == QLatin1String("noprefix")) {
        noPrefix = ParseSkinBool(v);
    } else if (name == QLatin1String("textcolor")) {
        textColor = ParseSkinColor(value);
    } else if (name == QLatin1String("disabledtextcolor")) {
        disabledTextColor = ParseSkinColor(value);
    } else if (name == QLatin1String("textpadding")) {
        const QStringList p = value.split(QLatin1Char(','));
        if (p.size() == 4)
            padding = QMargins(p[0].trimmed().toInt(), p[1].trimmed().toInt(),
                               p[2].trimmed().toInt(), p[3].trimmed().toInt());
    } else if (name == QLatin1String("autocalcwidth")) {
        autoCalcWidth = ParseSkinBool(v);
    } else {
        return false;
    }
    return true;
}

void TextStyle::Draw(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                     const QColor& color) const {
    painter.setFont(font);
    painter.setPen(color);
    int flags = align | (wordBreak ? Qt::TextWordWrap : Qt::TextSingleLine);
    // Without "noprefix" an ampersand marks a mnemonic, as in the skin's labels.
    if (!noPrefix) flags |= Qt::TextShowMnemonic;
    QString shown = text;
    if (endEllipsis && !wordBreak)
        shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, flags, shown);
}

int DisplayScaleOf(const QWidget* control) {
    for (const QWidget* w = control; w; w = w->parentWidget())
        if (auto* window = qobject_cast<const WindowImplBase*>(w)) return window->ScalePercent();
    return 100;
}

void NotifyOwner(QWidget* control, const QString& type) {
    for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* window = qobject_cast<WindowImplBase*>(w)) {
            window->SendNotify(control, type, 0);
            return;
        }
    }
}

}  // namespace kavelo
