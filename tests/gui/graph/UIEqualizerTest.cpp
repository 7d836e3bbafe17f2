#include <gtest/gtest.h>

#include <QTest>
#include <cmath>
#include <utility>
#include <vector>

#include "graph/GraphWindow.h"
#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

EqBand Band(float gain, float q, int freq) {
    EqBand b;
    b.eqGain = gain;
    b.eqFactor = q;
    b.freq = freq;
    return b;
}

QPoint Centre(const IntRect& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

// The curve control of the graph layout: 600 x 300, so 0 dB lies at y = 120.
class CurveControl : public test::CurveWindowTest {
protected:
    void SetUp() override {
        test::CurveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(eq->size(), QSize(600, 300));
        SetBands({Band(0, 1, 100), Band(6, 2, 1000), Band(-6, 1, 10000)}, -1);
        window.Take();
    }

    void SetBands(const std::vector<EqBand>& bands, int selected) {
        eq->SetBands(bands.data(), static_cast<int>(bands.size()), selected);
    }
    QPoint Marker(int i) const { return Centre(eq->GetMarkerRect(i)); }
    // The pointer arrives before it presses (hovering may select and notify); only
    // what the press and the drag send is kept.
    void Press(QPoint p) {
        Move(p);
        QTest::mousePress(eq, Qt::LeftButton, Qt::NoModifier, p);
        window.Take();
    }
    void Move(QPoint p) { QTest::mouseMove(eq, p); }
    void Release(QPoint p) { QTest::mouseRelease(eq, Qt::LeftButton, Qt::NoModifier, p); }
};

TEST_F(CurveControl, ComesFromTheLayoutThroughTheFactory) {
    EXPECT_EQ(eq->GetClass(), "UIEqualizer");
    EXPECT_EQ(eq->GetInterface("Curve"), eq);
    EXPECT_EQ(eq->GetInterface("Button"), nullptr);
    EXPECT_EQ(eq->GetCurrentControlIndex(), -1);
    EXPECT_EQ(eq->GetBandCount(), 3);
    EXPECT_EQ(eq->GetMarkerCenter(1), (IntPoint{339, 60}));
    // Layout attributes arrive as dynamic properties; "font" is a face index.
    EXPECT_EQ(eq->GetCurveColorCount(), 3);
    EXPECT_EQ(eq->GetFontIndex(), 1);
    EXPECT_EQ(eq->GetBypassFontIndex(), 3);
    EXPECT_EQ(eq->GetTextStyle().align, int(Qt::AlignHCenter | Qt::AlignTop));
    eq->SetAttribute("curvecolor", "#FF112233 #FF445566 #zz #FF000000");
    EXPECT_EQ(eq->GetCurveColorCount(), 2);
}

TEST_F(CurveControl, HoverSelectsAndNotifiesWithoutChangingValues) {
    Move(QPoint(500, 20));
    EXPECT_TRUE(window.Take().isEmpty());
    Move(Marker(1));
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
    EXPECT_EQ(eq->GetCurrentControlIndex(), 1);
    EXPECT_EQ(eq->GetUserText(), "1");
    EXPECT_EQ(WindowImplBase::UserData(eq), 1);
    EXPECT_EQ(eq->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqGain, 6.0f);
    EXPECT_EQ(eq->GetBand(1).freq, 1000);
    // Moving within the selected marker says nothing more.
    Move(Marker(1) + QPoint(2, 1));
    EXPECT_TRUE(window.Take().isEmpty());
    Move(Marker(2));
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
    EXPECT_EQ(eq->GetUserText(), "2");
    // The owner can tell a hover from an edit.
    EXPECT_EQ(std::exchange(window.hovers, {}), QList<bool>({true, true}));
    EXPECT_FALSE(eq->IsHoverSelection());
    QTest::mousePress(eq, Qt::LeftButton, Qt::NoModifier, Marker(2));
    Move(Marker(2) - QPoint(0, 30));
    Release(Marker(2) - QPoint(0, 30));
    EXPECT_EQ(std::exchange(window.hovers, {}), QList<bool>({false, false}));
}

TEST_F(CurveControl, GainOnlyDragNeverChangesFrequency) {
    Press(Marker(1));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::Index);
    EXPECT_EQ(eq->cursor().shape(), Qt::SizeVerCursor);
    Move(QPoint(450, 30));  // sideways and up
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
    EXPECT_EQ(eq->GetBand(1).freq, 1000);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqGain, 9.0f);
    EXPECT_EQ(eq->GetMarkerCenter(1), (IntPoint{339, 30}));
    // Released far below the plot: clamped to the bottom edge, -18 dB.
    Release(QPoint(100, 420));
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::None);
    EXPECT_EQ(eq->GetBand(1).freq, 1000);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqGain, -18.0f);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqFactor, 2.0f);
}

TEST_F(CurveControl, DragAllDirectionsMovesFrequencyAndGain) {
    eq->SetDragAllDirection(1);
    Press(Marker(1));
    EXPECT_EQ(eq->cursor().shape(), Qt::SizeAllCursor);
    Move(QPoint(400, 90));
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
    EXPECT_EQ(eq->GetBand(1).freq, 2000);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqGain, 3.0f);
    eq->repaint();  // the info text follows the band being dragged
    EXPECT_EQ(eq->GetInfoText(), "2000 Hz 2.00 Q 3.0 dB");
    Release(QPoint(700, 90));
    EXPECT_EQ(eq->GetBand(1).freq, 20000);
    EXPECT_EQ(eq->GetMarkerCenter(1), (IntPoint{600, 90}));
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
}

TEST_F(CurveControl, QHandleDragStaysWithinItsLimits) {
    eq->SetDragAllDirection(1);
    SetBands({Band(0, 1, 100), Band(6, 2, 1000), Band(-6, 1, 10000)}, 1);
    const IntRect right = eq->GetQRightRect();
    ASSERT_FALSE(right.IsEmpty());
    const int y = Centre(right).y();
    Press(Centre(right));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::Factor);
    Move(QPoint(341, y));  // 2 px from the marker
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqFactor, 9.0f);
    Move(QPoint(599, y));  // 260 px away
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqFactor, 0.5f);
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer", "equalizer_eq:equalizer"}));
    Release(QPoint(339 - 27, y));  // either side counts
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqFactor, 3.0f);
    EXPECT_EQ(eq->GetBand(1).freq, 1000);
    EXPECT_FLOAT_EQ(eq->GetBand(1).eqGain, 6.0f);
    EXPECT_EQ(window.Take(), QStringList({"equalizer_eq:equalizer"}));
}

TEST_F(CurveControl, HandlesCannotPassEachOther) {
    eq->setCurEqHpLp(100, 1000);
    Press(Centre(eq->GetHpRect()));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::Hp);
    Move(QPoint(EqFreqToX(axes, 500), 150));
    EXPECT_EQ(eq->GetHpFreq(), 497);
    Move(QPoint(EqFreqToX(axes, 5000), 150));  // past "L": no change
    EXPECT_EQ(eq->GetHpFreq(), 497);
    Release(QPoint(EqFreqToX(axes, 5000), 150));
    EXPECT_EQ(eq->GetHpFreq(), 497);
    EXPECT_EQ(window.Take(), QStringList({"equalizer_hp:equalizer", "equalizer_hp:equalizer"}));

    eq->repaint();
    Press(Centre(eq->GetLpRect()));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::Lp);
    Move(QPoint(100, 150));  // below "H"
    EXPECT_EQ(eq->GetLpFreq(), 1000);
    Move(QPoint(EqFreqToX(axes, 3000), 150));
    const int lp = eq->GetLpFreq();
    EXPECT_NEAR(lp, 3000, 40);
    Release(QPoint(0, 150));
    EXPECT_EQ(eq->GetLpFreq(), lp);
    EXPECT_EQ(window.Take(), QStringList({"equalizer_lp:equalizer", "equalizer_lp:equalizer"}));
}

TEST_F(CurveControl, OutOfRangeCrossoverHidesOnlyItsHandle) {
    eq->setCurEqHpLp(100, 25000);
    EXPECT_EQ(eq->GetHpFreq(), 100);
    EXPECT_FALSE(eq->GetHpRect().IsEmpty());
    EXPECT_EQ(eq->GetLpFreq(), -1);
    EXPECT_TRUE(eq->GetLpRect().IsEmpty());
    // With "L" hidden nothing bounds "H" from above.
    Press(Centre(eq->GetHpRect()));
    Move(QPoint(EqFreqToX(axes, 5000), 150));
    EXPECT_NEAR(eq->GetHpFreq(), 5000, 60);
    Release(QPoint(EqFreqToX(axes, 5000), 150));

    eq->setCurEqHpLp(19, 1000);
    EXPECT_EQ(eq->GetHpFreq(), -1);
    EXPECT_TRUE(eq->GetHpRect().IsEmpty());
    EXPECT_EQ(eq->GetLpFreq(), 1000);
    window.Take();
    // A press where the hidden "H" was starts nothing.
    Press(QPoint(EqFreqToX(axes, 100), 205));
    EXPECT_EQ(eq->GetCapture(), UIEqualizer::Capture::None);
    Release(QPoint(EqFreqToX(axes, 100), 205));
    EXPECT_TRUE(window.Take().isEmpty());
}

TEST_F(CurveControl, RendersAxesAndCurvesWhereTheyBelong) {
    const QRgb grid = 0xFF444444;
    const QRgb background = eq->palette().color(QPalette::Window).rgb();
    QImage img = test::Render(eq);
    EXPECT_TRUE(test::Near(img.pixel(250, 120), grid)) << std::hex << img.pixel(250, 120);
    EXPECT_TRUE(test::Near(img.pixel(250, 60), background));
    // The +5 dB line at y = 70 is dotted: both colours along it.
    int gridDots = 0, gaps = 0;
    for (int x = 240; x < 260; ++x) {
        gridDots += test::Near(img.pixel(x, 70), grid, 8);
        gaps += test::Near(img.pixel(x, 70), background, 8);
    }
    EXPECT_GT(gridDots, 0);
    EXPECT_GT(gaps, 0);

    // Output 3 is current (no colour configured for it: green); output 1 is shown in
    // its configured colour at -12 dB.
    std::vector<ResponseCurve> curves(8, test::Flat(0.0));
    curves[1] = test::Flat(-12.0);
    const std::uint8_t show[8] = {0, 1, 0, 0, 0, 0, 0, 0};
    eq->SetCurves(curves.data(), 8, 3, show);
    img = test::Render(eq);
    EXPECT_TRUE(test::Near(img.pixel(250, 120), 0xFF00C000)) << std::hex << img.pixel(250, 120);
    EXPECT_TRUE(test::Near(img.pixel(450, 120), 0xFF00C000));
    EXPECT_TRUE(test::Near(img.pixel(250, 240), 0xFF00FF00)) << std::hex << img.pixel(250, 240);
    EXPECT_TRUE(test::Near(img.pixel(250, 60), background));

    // Another output's new curve replaces its old one; so does a new current output.
    curves[1] = test::Flat(6.0);
    eq->SetCurves(curves.data(), 8, 3, show);
    img = test::Render(eq);
    EXPECT_TRUE(test::Near(img.pixel(250, 60), 0xFF00FF00));
    EXPECT_TRUE(test::Near(img.pixel(250, 240), background));
    curves[1] = test::Flat(-12.0);
    eq->SetCurves(curves.data(), 8, 1, show);
    img = test::Render(eq);
    EXPECT_TRUE(test::Near(img.pixel(250, 240), 0xFF00FF00));   // now current, own colour
    EXPECT_FALSE(test::Near(img.pixel(250, 120), 0xFF00C000));  // output 3 is not shown

    // A count of 0 keeps what is shown.
    eq->SetCurves(curves.data(), 0, 0, show);
    EXPECT_TRUE(test::Near(test::Render(eq).pixel(250, 240), 0xFF00FF00));
}

// Eight outputs that differ everywhere; `shift` moves every one of them.
std::vector<ResponseCurve> Wobbly(double shift) {
    std::vector<ResponseCurve> curves(8);
    for (size_t s = 0; s < curves.size(); ++s) {
        curves[s].freq = ResponseGrid();
        for (int i = 0; i < kResponsePoints; ++i)
            curves[s].db[static_cast<size_t>(i)] =
                (static_cast<double>(s) - 4) * 1.5 + 6.0 * std::sin(i / 40.0 + s + shift);
    }
    return curves;
}

TEST_F(CurveControl, KeptImagesPaintWhatAFreshPaintPaints) {
    const std::uint8_t show[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    // Repaints from what was kept, then from scratch after an attribute change.
    auto renderBoth = [this](QImage& kept, QImage& fresh) {
        kept = test::Render(eq);
        eq->SetAttribute("bypassfont", "3");
        fresh = test::Render(eq);
    };
    QImage first, firstFresh, next, nextFresh;
    eq->SetCurves(Wobbly(0.0).data(), 8, 2, show);
    renderBoth(first, firstFresh);
    EXPECT_EQ(first, firstFresh);

    // Every curve changes at once, the worst case for the kept layer.
    eq->SetCurves(Wobbly(0.5).data(), 8, 2, show);
    renderBoth(next, nextFresh);
    EXPECT_EQ(next, nextFresh);
    EXPECT_NE(next, first);

    // Only the current output's curve changes, as in a drag.
    std::vector<ResponseCurve> dragged = Wobbly(0.5);
    dragged[2] = Wobbly(1.0)[2];
    eq->SetCurves(dragged.data(), 8, 2, show);
    const QImage draggedKept = test::Render(eq);
    EXPECT_NE(draggedKept, next);
    renderBoth(next, nextFresh);
    EXPECT_EQ(draggedKept, nextFresh);

    // Back to the first curves: nothing of the second set is left behind.
    eq->SetCurves(Wobbly(0.0).data(), 8, 2, show);
    EXPECT_EQ(test::Render(eq), first);
    // A new current output moves one curve out of the layer and another into it.
    eq->SetCurves(Wobbly(0.0).data(), 8, 5, show);
    renderBoth(next, nextFresh);
    EXPECT_EQ(next, nextFresh);
    EXPECT_NE(next, first);
}

TEST_F(CurveControl, AllBypassTextOnlyWhenEveryGainIsZero) {
    auto bypassArea = [this] { return test::Render(eq).copy(150, 40, 300, 30); };
    SetBands({Band(0, 1, 20), Band(0, 1, 20)}, -1);
    EXPECT_TRUE(eq->IsAllBypass());
    const QImage withText = bypassArea();
    SetBands({Band(0, 1, 20), Band(0.5f, 1, 20)}, -1);
    EXPECT_FALSE(eq->IsAllBypass());
    const QImage without = bypassArea();
    EXPECT_NE(withText, without);
    SetBands({Band(0, 1, 20), Band(0, 1, 20)}, -1);
    EXPECT_EQ(bypassArea(), withText);
}

TEST_F(CurveControl, LengthsFollowTheDisplayScaleAndTheSize) {
    window.ApplyDpi(192);
    ASSERT_EQ(window.ScalePercent(), 200);
    eq->resize(600, 300);
    SetBands({Band(0, 1, 100), Band(6, 2, 1000)}, 1);
    EXPECT_EQ(eq->GetMarkerRect(1).Width(), 32);
    EXPECT_EQ(eq->GetMarkerRect(1).Height(), 32);
    // A resize lays every marker out again at the next paint.
    eq->resize(300, 150);
    eq->repaint();
    EXPECT_EQ(eq->GetMarkerCenter(1).x, EqFreqToX(MakeEqAxes({0, 0, 300, 150}), 1000));
    EXPECT_EQ(eq->GetMarkerCenter(0).y, 60);
}

TEST_F(CurveControl, ResizeRepaintsTheGridForTheNewSize) {
    const QRgb grid = 0xFF444444;
    const QRgb background = eq->palette().color(QPalette::Window).rgb();
    ASSERT_TRUE(test::Near(test::Render(eq).pixel(250, 120), grid));
    eq->resize(400, 200);
    const QImage img = test::Render(eq);
    ASSERT_EQ(img.size(), QSize(400, 200));
    // 0 dB now lies at 80; the old line at 120 is gone (-6 dB has no grid line).
    EXPECT_TRUE(test::Near(img.pixel(250, 80), grid)) << std::hex << img.pixel(250, 80);
    EXPECT_TRUE(test::Near(img.pixel(250, 120), background)) << std::hex << img.pixel(250, 120);
    eq->SetAttribute("bypassfont", "3");
    EXPECT_EQ(test::Render(eq), img);
}

}  // namespace
}  // namespace kavelo
