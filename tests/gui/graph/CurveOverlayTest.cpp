// The measurement overlay of the curve control: the measurement and the result
// predicted from it in their own colours, the prediction following new curves.
#include <gtest/gtest.h>

#include <cmath>

#include "graph/EqualizerGeometry.h"
#include "graph/GraphWindow.h"
#include "graph/Measurement.h"
#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

using test::Flat;
using test::Near;
using test::Render;

constexpr QRgb kMeasurement = 0xFFB0B0B0;
constexpr QRgb kPredicted = 0xFFFFFFFF;
constexpr QRgb kCurrentCurve = 0xFFFF0000;  // the layout's first curve colour

class CurveOverlay : public test::CurveWindowTest {
protected:
    void SetUp() override {
        test::CurveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ShowCurrent(-3.0);
    }
    void ShowCurrent(double db) {
        const ResponseCurve curves[1] = {Flat(db)};
        const std::uint8_t show[1] = {1};
        eq->SetCurves(curves, 1, 0, show);
    }
    // Whether some pixel of column `x` within 2 px of the level `db` is near `colour`.
    bool DrawnAt(const QImage& image, int x, double db, QRgb colour) const {
        const int y = EqGainToY(axes, db);
        for (int dy = -2; dy <= 2; ++dy)
            if (Near(image.pixel(x, y + dy), colour, 40)) return true;
        return false;
    }
};

TEST_F(CurveOverlay, MeasurementAndPredictionInTheirOwnColours) {
    const ResponseArray measured = ResampleMeasurement({{20, 6}, {20000, 6}});
    eq->SetMeasurement(&measured);
    ASSERT_TRUE(eq->HasMeasurement());
    const QImage image = Render(eq);
    const int x = EqFreqToX(axes, 1000);
    EXPECT_TRUE(DrawnAt(image, x, 6.0, kMeasurement));
    EXPECT_TRUE(DrawnAt(image, x, 3.0, kPredicted));  // +6 measured, -3 computed
    EXPECT_TRUE(DrawnAt(image, x, -3.0, kCurrentCurve));
    // Outside the measured range nothing is drawn for it.
    const ResponseArray low = ResampleMeasurement({{20, 6}, {200, 6}});
    eq->SetMeasurement(&low);
    const QImage part = Render(eq);
    EXPECT_TRUE(DrawnAt(part, EqFreqToX(axes, 100), 6.0, kMeasurement));
    EXPECT_FALSE(DrawnAt(part, x, 6.0, kMeasurement));
    EXPECT_FALSE(DrawnAt(part, x, 3.0, kPredicted));
}

TEST_F(CurveOverlay, PredictionFollowsEveryNewCurveAndHidesWithTheMeasurement) {
    const ResponseArray measured = ResampleMeasurement({{20, 6}, {20000, 6}});
    eq->SetMeasurement(&measured);
    const int x = EqFreqToX(axes, 1000);
    ASSERT_TRUE(DrawnAt(Render(eq), x, 3.0, kPredicted));
    ShowCurrent(-9.0);  // what a drag step hands in
    const QImage moved = Render(eq);
    EXPECT_TRUE(DrawnAt(moved, x, -3.0, kPredicted));
    EXPECT_FALSE(DrawnAt(moved, x, 3.0, kPredicted));
    const ResponseArray predicted = eq->GetPredicted();
    const std::size_t k = 400;
    EXPECT_DOUBLE_EQ(predicted[k], measured[k] - 9.0);

    eq->SetMeasurement(nullptr);
    EXPECT_FALSE(eq->HasMeasurement());
    const QImage hidden = Render(eq);
    EXPECT_FALSE(DrawnAt(hidden, x, 6.0, kMeasurement));
    EXPECT_FALSE(DrawnAt(hidden, x, -3.0, kPredicted));
    EXPECT_TRUE(DrawnAt(hidden, x, -9.0, kCurrentCurve));
}

}  // namespace
}  // namespace kavelo
