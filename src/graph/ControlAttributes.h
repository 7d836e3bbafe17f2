#pragma once

#include <QColor>
#include <QEvent>
#include <QFont>
#include <QMargins>
#include <QObject>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <vector>

#include "graph/EqualizerGeometry.h"

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

// Segments first ... last of a cubic Bézier chain: a start point, then two control
// points and an end point per segment.
template <class Point>
QPainterPath BezierChainPiece(const std::vector<Point>& pts, SegmentRange range) {
    QPainterPath path;
    if (range.IsEmpty() || range.first < 0 || 3 * range.last + 3 >= static_cast<int>(pts.size()))
        return path;
    const Point& start = pts[static_cast<size_t>(3 * range.first)];
    path.moveTo(start.x, start.y);
    for (int s = range.first; s <= range.last; ++s) {
        const Point& c1 = pts[static_cast<size_t>(1 + 3 * s)];
        const Point& c2 = pts[static_cast<size_t>(2 + 3 * s)];
        const Point& e = pts[static_cast<size_t>(3 + 3 * s)];
        path.cubicTo(c1.x, c1.y, c2.x, c2.y, e.x, e.y);
    }
    return path;
}

// The whole chain over the first `count` points; points left over are not drawn.
template <class Point>
QPainterPath BezierChainPath(const std::vector<Point>& pts, int count) {
    count = std::min(count, static_cast<int>(pts.size()));
    return BezierChainPiece(pts, SegmentRange{0, BezierSegments(count) - 1});
}

// The plot's frame in the grid colour 0xFF444444: fill with `background`, outline,
// solid 0 dB line, dotted lines at `gains` and solid lines at every grid frequency
// but the 20 kHz edge, all `width` wide.
template <class Gains, class GainToY, class FreqToX>
void PaintPlotGrid(QPainter& p, const PlotAxes& a, const QColor& background, int width,
                   const Gains& gains, GainToY gainToY, FreqToX freqToX) {
    const int L = a.plot.left, T = a.plot.top, R = a.plot.right, B = a.plot.bottom;
    p.fillRect(L, T, a.W, a.H, background);
    const QPen grid(QColor::fromRgba(0xFF444444), width);
    p.setPen(grid);
    p.drawRect(L, T, std::max(0, a.W - 1), std::max(0, a.H - 1));
    const int y0 = static_cast<int>(a.y0);
    p.drawLine(L, y0, L + a.W, y0);
    QPen dotted = grid;
    dotted.setStyle(Qt::DotLine);
    p.setPen(dotted);
    for (int g : gains) {
        const double y = gainToY(g);
        p.drawLine(QLineF(L, y, R, y));
    }
    p.setPen(grid);
    for (int f : kFreqGrid) {
        if (f == kEqMaxFreq) continue;
        const double x = freqToX(f);
        p.drawLine(QLineF(x, T, x, B));
    }
}

// Delivers a notification of `control` to the window that owns it.
void NotifyOwner(QWidget* control, const QString& type);

}  // namespace kavelo
