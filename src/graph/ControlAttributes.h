#pragma once

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QMargins>
#include <QObject>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <vector>

class QPainter;
class QWidget;

// Layout attributes shared by the custom graph controls. Layouts give them as
// dynamic properties in the skin's attribute syntax: colours "#AARRGGBB", images as
// paths inside the skin, fonts as indexes into the skin's face list.
namespace kavelo {

// "#AARRGGBB" or "#RRGGBB"; nothing for anything else.
std::optional<QColor> ParseSkinColor(const QString& text);
// A blank-separated list of "#AARRGGBB" colours, at most `limit` of them; a piece
// that is not a colour ends the list.
std::vector<QColor> ParseColorList(const QString& text, int limit);
// "true"/"false" (any case) and "1"/"0".
bool ParseSkinBool(const QString& text);

// An image of the skin: a path relative to the skin root, or an absolute or resource
// path. A null pixmap (and a log line) when it cannot be loaded.
QPixmap LoadSkinImage(const QString& descriptor);

// Face `index` of the skin's list, derived from the control's own font so it follows
// the display scale: 0 regular, 1 bold, 2 small, 3 large, 4 large bold. -1 and unknown
// indexes give the control's font.
QFont SkinFont(const QWidget* control, int index);

// The text attributes of a label: alignment, wrapping, eliding, colours, padding.
struct TextStyle {
    int align = 0x0004 | 0x0080;  // centred both ways (Qt::AlignHCenter | Qt::AlignVCenter)
    bool wordBreak = false;
    bool endEllipsis = false;
    bool noPrefix = false;
    std::optional<QColor> textColor;
    std::optional<QColor> disabledTextColor;
    QMargins padding;
    bool autoCalcWidth = false;

    // Applies one attribute; returns false when `name` is not a text attribute.
    bool Apply(const QString& name, const QString& value);
    // Draws `text` in `rect` with this style.
    void Draw(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
              const QColor& color) const;
};

// The owning window's display scale in percent; 100 outside a window.
int DisplayScaleOf(const QWidget* control);

// Hands a dynamic property the layout set on `control` to `set(name, value)`.
template <class Set>
void ForwardAttribute(QObject* control, QEvent* event, Set set) {
    if (event->type() != QEvent::DynamicPropertyChange) return;
    const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName();
    set(QString::fromLatin1(name), control->property(name.constData()).toString());
}

// A cubic Bézier chain over the first `count` points: a start point, then two
// control points and an end point per segment; points left over are not drawn.
template <class Point>
QPainterPath BezierChainPath(const std::vector<Point>& pts, int count) {
    QPainterPath path;
    count = std::min(count, static_cast<int>(pts.size()));
    const int segments = count >= 4 ? (count - 1) / 3 : 0;
    if (segments == 0) return path;
    path.moveTo(pts[0].x, pts[0].y);
    for (int s = 0; s < segments; ++s) {
        const Point& c1 = pts[static_cast<size_t>(1 + 3 * s)];
        const Point& c2 = pts[static_cast<size_t>(2 + 3 * s)];
        const Point& e = pts[static_cast<size_t>(3 + 3 * s)];
        path.cubicTo(c1.x, c1.y, c2.x, c2.y, e.x, e.y);
    }
    return path;
}

// Delivers a notification of `control` to the window that owns it.
void NotifyOwner(QWidget* control, const QString& type);

}  // namespace kavelo
