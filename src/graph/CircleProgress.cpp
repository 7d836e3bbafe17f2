#include "graph/CircleProgress.h"

#include <QEvent>
#include <QPainter>

#include "graph/ControlAttributes.h"
#include "graph/EqualizerGeometry.h"

namespace kavelo {

namespace {
constexpr int kRingInset = 10;
}

CCircleProgressUI::CCircleProgressUI(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    // A ring is as tall as the layout makes it: lift the height limits a skin may set
    // for flat progress bars.
    setStyleSheet(QStringLiteral("max-height: 100000px; min-height: 0px;"));
}

QColor CCircleProgressUI::GetBkColor() const {
    return mBkColor.value_or(palette().color(QPalette::Window));
}

QColor CCircleProgressUI::GetForeColor() const {
    return mForeColor.value_or(palette().color(QPalette::Highlight));
}

void CCircleProgressUI::SetBkColor(const QColor& color) {
    mBkColor = color;
    update();
}

void CCircleProgressUI::SetForeColor(const QColor& color) {
    mForeColor = color;
    update();
}

bool CCircleProgressUI::SetAttribute(const QString& name, const QString& value) {
    std::optional<QColor>* target = nullptr;
    if (name == QLatin1String("bkcolor"))
        target = &mBkColor;
    else if (name == QLatin1String("forecolor"))
        target = &mForeColor;
    else
        return false;
    *target = ParseSkinColor(value);
    update();
    return true;
}

bool CCircleProgressUI::event(QEvent* event) {
    ForwardAttribute(this, event,
                     [this](const QString& n, const QString& v) { SetAttribute(n, v); });
    return QProgressBar::event(event);
}

void CCircleProgressUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const QRectF all(0, 0, width(), height());
    p.setBrush(GetBkColor());
    p.drawEllipse(all);
    const int sweep = CircleSweepDegrees(value(), minimum(), maximum());
    p.setBrush(GetForeColor());
    // Starts at 90 degrees measured clockwise from three o'clock (straight down) and
    // runs clockwise; Qt counts counter-clockwise, hence the negative angles.
    if (sweep >= 360)
        p.drawEllipse(all);
    else if (sweep > 0)
        p.drawPie(all, -90 * 16, -sweep * 16);
    p.setBrush(QColor::fromRgba(0xFFFFFFFF));
    p.drawEllipse(all.adjusted(kRingInset, kRingInset, -kRingInset, -kRingInset));
}

}  // namespace kavelo
