// Drags end where the screen says: after a drag of a channel volume, an EQ slider
// or a band on the curve, the amplifier holds the value the window shows (not an
// earlier position of the drag).
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QLineEdit>
#include <QTest>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "sim/AmplifierState.h"

namespace kavelo {
namespace {

class Drags : public test::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        OpenActive(test::ConnectedDefaults());
    }
    // The number at the start of an edit's text ("-23dB" -> -23).
    double Shown(const QString& edit) {
        const QString text = Text(edit);
        int end = 0;
        while (end < text.size() && (text[end].isDigit() || text[end] == '-' || text[end] == '.'))
            ++end;
        bool ok = false;
        const double value = text.left(end).toDouble(&ok);
        EXPECT_TRUE(ok) << edit.toStdString() << " shows " << text.toStdString();
        return value;
    }
    // Output n's level and band b's gain as the amplifier holds them, once every
    // queued setting reached it.
    AmpChannel Held(int n) {
        AllSetters();
        return amp.LiveState().settings.channels[n];
    }
    static double GainDb(const AmpEqBand& band) {
        return band.gainInteger + band.gainTenths / 10.0 - 18.0;
    }
};

TEST_F(Drags, ChannelVolumeEndsAtTheShownLevel) {
    auto* slider = Control<QAbstractSlider>("slider_ch_volume_2");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    test::DragHandle(slider, -300, 6);
    const double shown = Shown("edit_ch_volume_2");
    EXPECT_LT(shown, -20.0);
    EXPECT_EQ(static_cast<std::int8_t>(Held(2).trim), static_cast<int>(shown));
}

TEST_F(Drags, EqSliderEndsAtTheShownGain) {
    auto* slider = Control<QAbstractSlider>("eq_slider_7");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    test::DragHandle(slider, 90, 6);
    const double shown = Shown("eq_gain_7");
    EXPECT_GT(shown, 5.0);
    EXPECT_NEAR(GainDb(Held(0).bands[7]), shown, 0.01);
}

TEST_F(Drags, CurveBandEndsAtTheShownGain) {
    DragCurveMarker(12, 60);
    const double shown = Shown("eq_gain_12");
    EXPECT_GT(shown, 1.0);
    EXPECT_NEAR(GainDb(Held(0).bands[12]), shown, 0.01);
}

}  // namespace
}  // namespace kavelo
