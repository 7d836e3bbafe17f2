#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "graph/EqualizerGeometry.h"
#include "graph/ResponseCurve.h"

namespace kavelo {
namespace {

// The 600 x 300 plot the worked numbers refer to: 0 dB at 120.
EqAxes Plot600() { return MakeEqAxes({0, 0, 600, 300}); }

TEST(EqualizerMapping, FrequencyAxisBothWays) {
    const EqAxes a = Plot600();
    EXPECT_EQ(EqFreqToX(a, 20), 0);
    EXPECT_EQ(EqFreqToX(a, 20000), 600);
    EXPECT_EQ(EqFreqToX(a, 1000), 339);
    EXPECT_EQ(EqXToFreq(a, 0), 20);
    EXPECT_EQ(EqXToFreq(a, 600), 20000);
    EXPECT_EQ(EqXToFreq(a, 339), 991);
    EXPECT_EQ(EqXToFreq(a, 340), 1002);
    // A plot that does not start at 0 shifts both directions alike.
    const EqAxes shifted = MakeEqAxes({50, 10, 650, 310});
    EXPECT_EQ(EqFreqToX(shifted, 1000), 389);
    EXPECT_EQ(EqXToFreq(shifted, 389), 991);
    // Degenerate input stays defined.
    EXPECT_EQ(EqXToFreq(MakeEqAxes({0, 0, 0, 300}), 10), 20);
    EXPECT_EQ(EqFreqToX(a, 0), 0);
}

struct GainCase {
    const char* name;
    int height;
    double gain;
    int y;
};
void PrintTo(const GainCase& c, std::ostream* os) { *os << c.name; }

class EqualizerGainAxis : public ::testing::TestWithParam<GainCase> {};

TEST_P(EqualizerGainAxis, MapsAndMapsBack) {
    const GainCase& c = GetParam();
    const EqAxes a = MakeEqAxes({0, 0, 600, c.height});
    EXPECT_EQ(EqGainToY(a, c.gain), c.y);
    // Back from the pixel: exact where the pixel is exact, otherwise within a pixel.
    const double pixelDb = c.gain > 0 ? 12.0 / (a.y0 - a.plot.top) : 18.0 / (a.plot.bottom - a.y0);
    EXPECT_NEAR(EqYToGain(a, c.y), c.gain, pixelDb);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EqualizerGainAxis,
    ::testing::Values(GainCase{"top_is_plus12", 300, 12.0, 0},
                      GainCase{"bottom_is_minus18", 300, -18.0, 300},
                      GainCase{"zero_at_12_of_30", 300, 0.0, 120}, GainCase{"plus5", 300, 5.0, 70},
                      GainCase{"minus5", 300, -5.0, 170},
                      // 160 * 5 / 12 = 66.67: divided as a fraction, then truncated.
                      GainCase{"plus5_fractional", 400, 5.0, 93},
                      GainCase{"minus8_handle_level", 300, -8.0, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EqualizerMapping, GainFromPixelIsNotRounded) {
    const EqAxes a = Plot600();
    EXPECT_DOUBLE_EQ(EqYToGain(a, 0), 12.0);
    EXPECT_DOUBLE_EQ(EqYToGain(a, 300), -18.0);
    EXPECT_DOUBLE_EQ(EqYToGain(a, 120), 0.0);
    EXPECT_DOUBLE_EQ(EqYToGain(a, 119), 0.1);
    // Off-screen levels are capped, not undefined.
    EXPECT_GT(EqGainToY(a, -1e300), 300);
}

TEST(EqualizerMapping, QFromHandleDistance) {
    struct Case {
        int distance, scale;
        float q;
    };
    const Case cases[] = {{0, 100, 9.0f},  {1, 100, 9.0f},   {3, 100, 9.0f},   {27, 100, 3.0f},
                          {81, 100, 1.0f}, {162, 100, 0.5f}, {400, 100, 0.5f}, {6, 200, 9.0f},
                          {54, 200, 3.0f}, {324, 200, 0.5f}, {-81, 100, 1.0f}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(EqXToQ(300 + c.distance, 300, c.scale), c.q)
            << "distance " << c.distance << " at " << c.scale;
}

TEST(EqualizerRects, MarkerIsShiftedNotShrunkAtEdges) {
    const IntRect plot{0, 0, 600, 300};
    struct Case {
        int x, y, scale;
        IntRect r;
    };
    const Case cases[] = {
        {300, 120, 100, {292, 112, 308, 128}}, {3, 120, 100, {0, 112, 16, 128}},
        {597, 120, 100, {584, 112, 600, 128}}, {300, 2, 100, {292, 0, 308, 16}},
        {300, 299, 100, {292, 284, 308, 300}}, {0, 300, 100, {0, 284, 16, 300}},
        {300, 120, 200, {284, 104, 316, 136}}, {5, 5, 200, {0, 0, 32, 32}},
    };
    for (const Case& c : cases) {
        const IntRect r = MarkerRect(plot, c.x, c.y, c.scale);
        EXPECT_EQ(r, c.r) << c.x << "," << c.y << " at " << c.scale;
        EXPECT_EQ(r.Width(), 16 * c.scale / 100);
        EXPECT_EQ(r.Height(), 16 * c.scale / 100);
    }
}

TEST(EqualizerRects, InfoTextAndQHandlesFollowTheMarker) {
    const IntRect plot{0, 0, 600, 300};
    // Middle of the plot: below the marker.
    EXPECT_EQ(InfoRect(plot, 300, 120, 100, false), (IntRect{275, 134, 325, 149}));
    EXPECT_EQ(InfoRect(plot, 300, 120, 100, true), (IntRect{225, 134, 375, 149}));
    // Near the top edge, pinned below it; near the left edge, full width.
    EXPECT_EQ(InfoRect(plot, 10, 5, 100, false), (IntRect{0, 22, 50, 37}));
    EXPECT_EQ(InfoRect(plot, 10, 5, 100, true), (IntRect{0, 22, 150, 37}));
    // Just above the bottom band: above the marker; at the very bottom: pinned.
    EXPECT_EQ(InfoRect(plot, 590, 280, 100, false), (IntRect{550, 251, 600, 266}));
    EXPECT_EQ(InfoRect(plot, 300, 295, 100, false), (IntRect{275, 263, 325, 278}));

    IntRect left, right;
    QHandleRects(plot, 300, 120, 1.0f, 100, left, right);
    EXPECT_EQ(left, (IntRect{215, 124, 223, 132}));
    EXPECT_EQ(right, (IntRect{377, 124, 385, 132}));
    // Q outside the range is clamped before the distance is taken.
    QHandleRects(plot, 300, 120, 20.0f, 100, left, right);
    EXPECT_EQ(right, (IntRect{305, 124, 313, 132}));
    QHandleRects(plot, 300, 2, 0.5f, 200, left, right);
    EXPECT_EQ(left, (IntRect{300 - 324 - 8, 24, 300 - 324 + 8, 40}));
}

TEST(EqualizerRects, CrossoverHandlesStayInsideThePlot) {
    const EqAxes a = Plot600();
    EXPECT_EQ(HpHandleRect(a, 1000, 100), (IntRect{332, 200, 346, 210}));
    EXPECT_EQ(HpHandleRect(a, 20, 100), (IntRect{0, 200, 14, 210}));
    EXPECT_EQ(LpHandleRect(a, 20000, 100), (IntRect{586, 230, 600, 242}));
    EXPECT_EQ(LpHandleRect(a, 1000, 200), (IntRect{325, 230, 353, 252}));
}

TEST(EqualizerRects, DragPointsAreClampedIntoThePlot) {
    const IntRect plot{0, 0, 600, 300};
    EXPECT_EQ(ClampToPlot(plot, -50, 400), (IntPoint{0, 300}));
    EXPECT_EQ(ClampToPlot(plot, 900, -3), (IntPoint{600, 0}));
    EXPECT_EQ(ClampToPlot(plot, 10, 20), (IntPoint{10, 20}));
}

TEST(CurvePoints, ResponseGridGivesTheDrawnPointCounts) {
    ResponseArray flat{};
    const EqAxes eq = MakeEqAxes({0, 0, 600, 300});
    const auto& grid = ResponseGrid();
    for (bool smooth : {false, true}) {
        const auto pts = EqCurvePoints(eq, grid.data(), flat.data(), kResponsePoints, smooth);
        EXPECT_EQ(pts.size(), 386u);
        EXPECT_EQ(BezierSegments(static_cast<int>(pts.size()) - 1), 128);
        for (const IntPoint& p : pts) ASSERT_EQ(p.y, 120);
    }
    const AcAxes ac = MakeAcAxes({0, 0, 400, 200});
    const auto acPts = AcCurvePoints(ac, grid.data(), flat.data(), kResponsePoints, true);
    EXPECT_EQ(acPts.size(), 350u);
    EXPECT_EQ(BezierSegments(static_cast<int>(acPts.size()) - 1), 116);
    for (const IntPoint& p : acPts) ASSERT_EQ(p.y, 100);
}

TEST(CurvePoints, SmoothingAveragesFromTheRightAndHoldsLeftOfThePlot) {
    // Positions are given directly: x = frequency, y = level.
    auto map = [](double f, double g) { return PointF{f, g}; };
    const double freq[] = {5, 10, 20, 40, 80};
    const double db[] = {7, 50, 0, 40, 80};
    const auto raw = BuildCurvePoints(freq, db, 5, 0, 100, false, 10, map);
    EXPECT_EQ(raw, (std::vector<IntPoint>{{80, 80}, {40, 40}, {20, 0}, {10, 50}, {5, 7}}));
    const auto smooth = BuildCurvePoints(freq, db, 5, 0, 100, true, 10, map);
    // 80,80 -> (60,60) -> (40,30) -> (25,40) -> left of 10: repeated.
    EXPECT_EQ(smooth, (std::vector<IntPoint>{{80, 80}, {60, 60}, {40, 30}, {25, 40}, {25, 40}}));
    // Out of range frequencies and non-finite levels are skipped, not clamped.
    const double badDb[] = {0, std::nan(""), std::numeric_limits<double>::infinity(), 3, 4};
    EXPECT_EQ(BuildCurvePoints(freq, badDb, 5, 6, 100, false, 0, map),
              (std::vector<IntPoint>{{80, 4}, {40, 3}}));
    // Nothing left of the plot is emitted before the running value exists.
    const double leftOnly[] = {1, 2};
    const double levels[] = {5, 5};
    EXPECT_TRUE(BuildCurvePoints(leftOnly, levels, 2, 0, 100, true, 10, map).empty());
}

TEST(CurvePoints, CardinalSplinePassesThroughItsPoints) {
    const std::vector<IntPoint> pts{{0, 0}, {30, 0}, {60, 30}, {90, 30}};
    const auto b = CardinalToBezier(pts, 0.5);
    ASSERT_EQ(b.size(), 10u);
    for (size_t i = 0; i < pts.size(); ++i) {
        EXPECT_DOUBLE_EQ(b[3 * i].x, pts[i].x);
        EXPECT_DOUBLE_EQ(b[3 * i].y, pts[i].y);
    }
    // Inner tangents follow the neighbours: (60 - 0) / 6 = 10 along x, 30 / 6 = 5 along y.
    EXPECT_DOUBLE_EQ(b[4].x, 40.0);
    EXPECT_DOUBLE_EQ(b[4].y, 5.0);
    EXPECT_TRUE(CardinalToBezier({{1, 1}}, 0.5).empty());
}

// A chain walking left in steps of 10 px: segment s spans x = 300 - 30 s ... 270 - 30 s.
std::vector<IntPoint> LeftwardChain(int segments) {
    std::vector<IntPoint> pts;
    for (int i = 0; i <= 3 * segments; ++i) pts.push_back({300 - 10 * i, i % 2});
    return pts;
}

TEST(ChainPieces, SegmentsNearABandWidenedByOneThatMoves) {
    const auto chain = LeftwardChain(10);  // x 300 ... 0
    struct Case {
        double x0, x1, margin;
        int first, last;
    };
    const Case cases[] = {
        {160, 170, 0, 3, 5},   // inside segment 4 (180 ... 150)
        {160, 170, 15, 2, 6},  // the margin reaches segments 3 and 5
        {150, 180, 0, 2, 6},   // touching the neighbours' ends counts
        {0, 1000, 0, 0, 9},    // everything; nothing beyond to widen into
        {295, 310, 2, 0, 1},   // the first segment only, widened to the right
        {-50, -1, 1, 8, 9},    // the last segment ends at x = 0, within the margin
    };
    for (const Case& c : cases) {
        const SegmentRange r = ChainSegmentsNear(chain, 10, c.x0, c.x1, c.margin);
        EXPECT_EQ(r.first, c.first) << c.x0 << ".." << c.x1 << " margin " << c.margin;
        EXPECT_EQ(r.last, c.last) << c.x0 << ".." << c.x1 << " margin " << c.margin;
    }
    EXPECT_TRUE(ChainSegmentsNear(chain, 10, -50, -1, 0).IsEmpty());
    // Only the drawn segments count, and a chain too short for one has none.
    EXPECT_TRUE(ChainSegmentsNear(chain, 3, 0, 50, 0).IsEmpty());
    EXPECT_TRUE(ChainSegmentsNear({{0, 0}, {1, 1}}, 1, 0, 50, 10).IsEmpty());
}

TEST(ChainPieces, WideningPassesSegmentsThatReturnToTheirStart) {
    // Segments 2 and 3 stand still at x = 240 (the smoothed tail left of a plot looks
    // like this); segment 1 is the next that moves.
    std::vector<IntPoint> chain = LeftwardChain(6);
    for (int i = 6; i <= 12; ++i) chain[static_cast<size_t>(i)] = {240, 0};
    for (int i = 13; i <= 18; ++i) chain[static_cast<size_t>(i)].x += 60;
    // Segment 4 now spans 240 ... 210; a band at 215 ... 225 hits only it.
    const SegmentRange r = ChainSegmentsNear(chain, 6, 215, 225, 0);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 5);
}

TEST(CircleSweep, ValueOverRangeInWholeDegrees) {
    struct Case {
        double value, minimum, maximum;
        int degrees;
    };
    const Case cases[] = {{0, 0, 100, 0},    {100, 0, 100, 360}, {50, 0, 100, 180},
                          {33, 0, 100, 118}, {150, 0, 100, 360}, {-5, 0, 100, 0},
                          {10, 5, 5, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(CircleSweepDegrees(c.value, c.minimum, c.maximum), c.degrees)
            << c.value << " of " << c.minimum << ".." << c.maximum;
}

}  // namespace
}  // namespace kavelo
