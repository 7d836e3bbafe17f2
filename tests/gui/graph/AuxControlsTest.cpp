#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

#include "graph/CircleProgress.h"
#include "graph/GraphWindow.h"
#include "graph/SButton.h"
#include "graph/UIEqualizerAc.h"

namespace kavelo {
namespace {

class AuxControls : public test::GraphWindowTest {
protected:
    template <class T>
    T* Get(const char* name) {
        T* control = window.FindControl<T>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
};

TEST_F(AuxControls, CalibrationGraphDrawsItsSetsAndKeepsThemOnAZeroCount) {
    auto* ac = Get<UIEqualizerAc>("equalizer_ac");
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->GetClass(), "UIEqualizerAc");
    ASSERT_EQ(ac->size(), QSize(400, 200));
    const QRgb background = ac->palette().color(QPalette::Window).rgb();
    EXPECT_TRUE(test::Near(test::Render(ac).pixel(150, 100), 0xFF444444));

    // A flat target lies on the 0 dB line at half the height.
    const std::vector<ResponseCurve> target(1, test::Flat(0.0));
    const std::uint8_t on[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    ac->SetTargetCurves(target.data(), 1, on);
    EXPECT_TRUE(test::Near(test::Render(ac).pixel(150, 100), UIEqualizerAc::kTargetColor));

    // EQ slot 1 at +10 dB (y = 50), dashed in its palette colour.
    std::vector<ResponseCurve> eqCurves(2, test::Flat(10.0));
    const std::uint8_t second[8] = {0, 1};
    ac->SetEqCurves(eqCurves.data(), 2, second);
    auto eqPixels = [&] {
        const QImage img = test::Render(ac);
        int n = 0;
        for (int x = 100; x < 300; ++x) n += test::Near(img.pixel(x, 50), 0xFFFF8040, 30);
        return n;
    };
    const int dashes = eqPixels();
    EXPECT_GT(dashes, 40);
    EXPECT_LT(dashes, 200);  // dashed, not solid
    ac->SetEqCurves(nullptr, 0, on);
    ac->SetEqCurves(eqCurves.data(), 0, on);
    EXPECT_EQ(ac->GetEqCount(), 2);
    EXPECT_EQ(eqPixels(), dashes);

    // A spectrum point below 20 Hz is skipped, not pulled onto the left edge.
    SpectrumCurve spectrum;
    for (int i = 0; i < kSpectrumPoints; ++i) {
        spectrum.freq[static_cast<size_t>(i)] = 25.0 * std::pow(760.0, i / 120.0);
        spectrum.db[static_cast<size_t>(i)] = -10.0;
    }
    spectrum.freq[0] = 10.0;
    spectrum.db[0] = 20.0;
    ac->SetSpectrumCurves(&spectrum, 1, on);
    const QImage img = test::Render(ac);
    EXPECT_TRUE(test::Near(img.pixel(200, 150), UIEqualizerAc::kSpectrumPalette[0]));
    for (int y = 2; y < 140; y += 4)
        EXPECT_FALSE(test::Near(img.pixel(3, y), UIEqualizerAc::kSpectrumPalette[0], 60))
            << "y " << y;
    EXPECT_TRUE(test::Near(img.pixel(200, 30), background));
}

TEST_F(AuxControls, CircleProgressDrawsARing) {
    auto* circle = Get<CCircleProgressUI>("circle");
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->GetClass(), "CircleProgress");
    const QRgb back = 0xFF202020, fore = 0xFFFF7A1A, white = 0xFFFFFFFF;
    // Ring samples (5 px in from the edge) at the bottom, left, just right of the top
    // and right.
    const QPoint bottom(50, 95), left(5, 50), top(55, 6), right(95, 50), centre(50, 50);
    struct Case {
        int value;
        QRgb bottom, left, top, right;
    };
    const Case cases[] = {{0, back, back, back, back},
                          {100, fore, fore, fore, fore},
                          // Half way: from the bottom, clockwise, through the left.
                          {50, back, fore, back, back},
                          {60, fore, fore, fore, back}};
    for (const Case& c : cases) {
        circle->setValue(c.value);
        const QImage img = test::Render(circle);
        EXPECT_TRUE(test::Near(img.pixel(centre), white)) << c.value;
        EXPECT_TRUE(test::Near(img.pixel(left), c.left)) << c.value;
        EXPECT_TRUE(test::Near(img.pixel(top), c.top)) << c.value;
        EXPECT_TRUE(test::Near(img.pixel(right), c.right)) << c.value;
        if (c.value == 0 || c.value == 100) {
            EXPECT_TRUE(test::Near(img.pixel(bottom), c.bottom)) << c.value;
        }
    }
    // An empty range draws no pie instead of dividing by zero.
    circle->setRange(0, 0);
    EXPECT_TRUE(test::Near(test::Render(circle).pixel(left), back));
}

TEST_F(AuxControls, SButtonKeepsItsSelectedLookUntilTheOwnerClearsIt) {
    auto* on = Get<CSButtonUI>("sbtn_on");
    auto* button = Get<CSButtonUI>("sbtn");
    ASSERT_TRUE(on && button);
    EXPECT_EQ(button->GetClass(), "SButtonUI");
    EXPECT_TRUE(on->IsSelected());  // "selected" in the layout
    EXPECT_TRUE(test::Near(test::Render(on).pixel(4, 4), 0xFF00FF00));

    EXPECT_FALSE(button->IsSelected());
    const QRgb plain = test::Render(button).pixel(6, 20);
    EXPECT_FALSE(test::Near(plain, 0xFF0080FF));
    button->SetSelected(true);
    EXPECT_TRUE(test::Near(test::Render(button).pixel(6, 20), 0xFF0080FF));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(window.Take(), QStringList({"click:sbtn"}));
    EXPECT_TRUE(button->IsSelected());
    EXPECT_TRUE(test::Near(test::Render(button).pixel(6, 20), 0xFF0080FF));
    button->SetSelected(false);
    EXPECT_EQ(test::Render(button).pixel(6, 20), plain);
    // Disabled, the selected look shows no hot or pushed state.
    button->SetSelected(true);
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentLook(), CSButtonUI::Look::Normal);
}

TEST_F(AuxControls, SButtonTakesItsSelectedImagesFromStateSlices) {
    auto* button = Get<CSButtonUI>("sbtn");
    ASSERT_NE(button, nullptr);
    // Three equal slices: selected, hot, pushed.
    QTemporaryDir dir;
    QImage strip(30, 10, QImage::Format_ARGB32);
    const QRgb slices[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int i = 0; i < 3; ++i)
        for (int x = 0; x < 10; ++x)
            for (int y = 0; y < 10; ++y) strip.setPixel(10 * i + x, y, slices[i]);
    const QString path = dir.filePath("state.png");
    ASSERT_TRUE(strip.save(path));
    button->SetAttribute("selectedstateimage", path);
    button->SetAttribute("selectedstatecount", "3");
    button->SetSelected(true);
    EXPECT_TRUE(test::Near(test::Render(button).pixel(60, 3), slices[0]));
    button->setDown(true);
    EXPECT_EQ(button->CurrentLook(), CSButtonUI::Look::Pushed);
    EXPECT_TRUE(test::Near(test::Render(button).pixel(60, 3), slices[2]));
    // With two slices the pushed look uses the hot one.
    button->SetAttribute("selectedstatecount", "2");
    strip = strip.copy(0, 0, 20, 10);
    ASSERT_TRUE(strip.save(path));
    button->SetAttribute("selectedstateimage", path);
    EXPECT_TRUE(test::Near(test::Render(button).pixel(60, 3), slices[1]));
    button->setDown(false);
}

}  // namespace
}  // namespace kavelo
