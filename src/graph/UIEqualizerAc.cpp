#include "graph/UIEqualizerAc.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace kavelo {

namespace {

// All points but the last, as the calibration graph has always drawn them.
std::vector<IntPoint> DropLast(std::vector<IntPoint> pts) {
    if (!pts.empty()) pts.pop_back();
    return pts;
}
}  // namespace

UIEqualizerAc::UIEqualizerAc(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

template <class Curve>
bool UIEqualizerAc::Store(CurveSet<Curve>& set, const Curve* curves, int count,
                          const std::uint8_t* show) {
    if (count <= 0 || !curves) return false;
    set.count = std::min(count, kCurveSlots);
    for (int i = 0; i < kCurveSlots; ++i) {
        const bool used = i < set.count;
        set.show[static_cast<size_t>(i)] = used && show ? show[i] : 0;
        set.curves[static_cast<size_t>(i)] = used ? curves[i] : Curve{};
    }
    update();
    return true;
}

void UIEqualizerAc::SetEqCurves(const ResponseCurve* curves, int count, const std::uint8_t* show) {
    if (Store(mEq, curves, count, show)) emit EqCurvesSet();
}

void UIEqualizerAc::SetTargetCurves(const ResponseCurve* curves, int count,
                                    const std::uint8_t* show) {
    if (Store(mTarget, curves, count, show)) emit TargetCurvesSet();
}

void UIEqualizerAc::SetSpectrumCurves(const SpectrumCurve* curves, int count,
                                      const std::uint8_t* show) {
    if (Store(mSpectrum, curves, count, show)) emit SpectrumCurvesSet();
}

bool UIEqualizerAc::SetAttribute(const QString& name, const QString& value) {
    // Text attributes are accepted for layout compatibility; the graph draws no text.
    return mTextStyle.Apply(name, value);
}

bool UIEqualizerAc::event(QEvent* event) {
    ForwardAttribute(this, event,
                     [this](const QString& n, const QString& v) { SetAttribute(n, v); });
    return QWidget::event(event);
}

void UIEqualizerAc::focusInEvent(QFocusEvent* event) {
    mFocused = true;
    QWidget::focusInEvent(event);
}

void UIEqualizerAc::focusOutEvent(QFocusEvent* event) {
    mFocused = false;
    QWidget::focusOutEvent(event);
}

void UIEqualizerAc::paintEvent(QPaintEvent*) {
    const AcAxes a = MakeAcAxes({0, 0, width(), height()});
    QPainter p(this);
    PaintPlotGrid(
        p, a, palette().color(QPalette::Window), 1, kAcGainGrid,
        [&a](int g) { return AcGainToY(a, g); }, [&a](int f) { return AcFreqToX(a, f); });

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < mSpectrum.count; ++i) {
        if (!mSpectrum.show[static_cast<size_t>(i)]) continue;
        const SpectrumCurve& c = mSpectrum.curves[static_cast<size_t>(i)];
        const auto pts = AcCurvePoints(a, c.freq.data(), c.db.data(), kSpectrumPoints, false);
        p.setPen(QPen(QColor::fromRgba(kSpectrumPalette[static_cast<size_t>(i)]), 2.0));
        const auto chain = CardinalToBezier(pts, 0.5);
        p.drawPath(BezierChainPath(chain, static_cast<int>(chain.size())));
    }
    for (int i = 0; i < mEq.count; ++i) {
        if (!mEq.show[static_cast<size_t>(i)]) continue;
        const ResponseCurve& c = mEq.curves[static_cast<size_t>(i)];
        const auto pts = AcCurvePoints(a, c.freq.data(), c.db.data(), kResponsePoints, true);
        p.setPen(QPen(QColor::fromRgba(kEqPalette[static_cast<size_t>(i)]), 2.0, Qt::DashLine));
        p.drawPath(BezierChainPath(pts, static_cast<int>(pts.size()) - 1));
    }
    const QPen target(QColor::fromRgba(kTargetColor), 2.0);
    for (int i = 0; i < mTarget.count; ++i) {
        if (!mTarget.show[static_cast<size_t>(i)]) continue;
        const ResponseCurve& c = mTarget.curves[static_cast<size_t>(i)];
        const auto pts = AcCurvePoints(a, c.freq.data(), c.db.data(), kResponsePoints, true);
        p.setPen(target);
        const auto chain = CardinalToBezier(DropLast(pts), 0.5);
        p.drawPath(BezierChainPath(chain, static_cast<int>(chain.size())));
    }
}

}  // namespace kavelo
