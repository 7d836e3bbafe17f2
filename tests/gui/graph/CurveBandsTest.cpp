#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "graph/ControlAttributes.h"
#include "graph/CurveBands.h"
#include "graph/ResponseCurve.h"

namespace kavelo {
namespace {

// Point lists as the curve control builds them, on a plot of the given size.
std::vector<IntPoint> Curve(int width, int height, bool smooth, double (*level)(int)) {
    ResponseCurve c;
    c.freq = ResponseGrid();
    for (int i = 0; i < kResponsePoints; ++i) c.db[static_cast<size_t>(i)] = level(i);
    return EqCurvePoints(MakeEqAxes({0, 0, width, height}), c.freq.data(), c.db.data(),
                         kResponsePoints, smooth);
}

double Wobble(int i) { return 6.0 * std::sin(i / 40.0) - i / 100.0; }
double Tilt(int i) { return -8.0 + i / 40.0; }
// A high-pass stop band: the -400 dB floor below point 150, a steep rise above it.
double Cliff(int i) { return i < 150 ? -400.0 : std::min(3.0, (i - 170) * 0.8); }

QImage Canvas(int width, int height, qreal dpr) {
    QImage img(QSize(width, height) * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(QColor::fromRgba(0xFF202020));
    return img;
}

QPen CurvePen(QRgb color, double width) {
    return QPen(QColor::fromRgba(color), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Band by band must leave exactly the pixels of one stroke per whole chain.
TEST(CurveBands, SameStrokeAsTheWholeChain) {
    struct Case {
        const char* name;
        int width, height;
        qreal dpr;
        int band;
        double penWidth;
    };
    const Case cases[] = {
        {"control size", 1200, 400, 1.0, 150, 3.0},
        {"bands narrower than the pen", 600, 300, 1.0, 2, 3.0},
        {"odd band width", 600, 300, 1.0, 37, 2.0},
        {"one band", 300, 150, 1.0, 1000, 2.0},
        {"double density", 600, 300, 2.0, 150, 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::vector<IntPoint>> curves = {
            Curve(c.width, c.height, true, Wobble), Curve(c.width, c.height, true, Tilt),
            Curve(c.width, c.height, false, Cliff), Curve(c.width, c.height, true, Cliff)};
        const QRgb colors[] = {0xFF00FF00, 0xFFFF8000, 0xFF6464FF, 0x80FFFFFF};
        std::vector<ChainStroke> chains;
        QImage whole = Canvas(c.width, c.height, c.dpr);
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing, true);
        for (size_t i = 0; i < curves.size(); ++i) {
            const int n = static_cast<int>(curves[i].size()) - 1;
            chains.push_back({&curves[i], BezierSegments(n), CurvePen(colors[i], c.penWidth)});
            p.setPen(chains.back().pen);
            p.drawPath(BezierChainPath(curves[i], n));
        }
        p.end();

        QImage banded = Canvas(c.width, c.height, c.dpr);
        StrokeChainsInBands(banded, chains, c.band);
        ASSERT_EQ(banded.size(), whole.size());
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                differing += banded.pixel(x, y) != whole.pixel(x, y);
        EXPECT_EQ(differing, 0);
        EXPECT_NE(banded, Canvas(c.width, c.height, c.dpr));  // something was drawn
    }
}

TEST(CurveBands, NothingToDrawLeavesTheImage) {
    QImage img = Canvas(200, 100, 1.0);
    const QImage before = img;
    const std::vector<IntPoint> tooShort{{0, 0}, {50, 50}, {100, 0}};
    StrokeChainsInBands(img, {{&tooShort, BezierSegments(2), CurvePen(0xFFFFFFFF, 2)}}, 50);
    StrokeChainsInBands(img, {{nullptr, 5, CurvePen(0xFFFFFFFF, 2)}}, 50);
    EXPECT_EQ(img, before);
}

}  // namespace
}  // namespace kavelo
