// Crossover and EQ editing from the main window on the application's layout:
// typing, keys, slider moves and drags on the curve, checked against the bytes
// that reached the virtual amplifier.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QComboBox>
#include <QListView>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/DspOperations.h"
#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

using Strings = std::vector<std::string>;

// The setters without the main volume, which the first focus change in a shown
// window commits as it stands.
Strings WithoutMainVolume(Strings sent) {
    sent.erase(std::remove_if(sent.begin(), sent.end(),
                              [](const std::string& s) { return s.rfind("01 02 BB", 0) == 0; }),
               sent.end());
    return sent;
}

class Eq : public test::MainWindowFixture {
protected:
    // Switches the band editors to PEQ mode (frequency and Q editable).
    void PeqMode() {
        prompts.answers = {1};
        Click("btn_arg_eq");
        ASSERT_TRUE(Selected("btn_arg_eq"));
    }
    QWidget* Focused() { return QApplication::focusWidget(); }
    bool FocusOn(const char* name) {
        return test::WaitUntil(
            [&] { return Focused() && Focused()->objectName() == QLatin1String(name); }, 2000);
    }
};

TEST_F(Eq, TypedCornersAreLimited) {
    DspState s = test::ConnectedDefaults();
    s.channels[0].crossover.lp.fs = 4000;
    OpenWith(s);
    Type("hp_freq", "5000");
    EXPECT_EQ(Text("hp_freq"), "4000Hz");
    Type("hp_freq", "10");
    EXPECT_EQ(Text("hp_freq"), "20Hz");
    Type("lp_freq", "30000");
    EXPECT_EQ(Text("lp_freq"), "20000Hz");
    Type("hp_freq", "30000");  // above the low-pass: takes it
    EXPECT_EQ(Text("hp_freq"), "20000Hz");
    EXPECT_EQ(
        AllSetters(),
        (Strings{"01 05 BB | 00 00 00 02 02 0F A0 04", "01 05 BB | 00 00 00 02 02 00 14 04",
                 "01 05 BB | 00 00 00 01 02 4E 20 00", "01 05 BB | 00 00 00 02 02 4E 20 04"}));
}

TEST_F(Eq, TypeTwoOffersOnlyEvenSlopes) {
    DspState s = test::ConnectedDefaults();
    SetFilterType(s.channels[0].crossover.hp, 1);
    OpenWith(s);
    auto* slope = qobject_cast<QListView*>(Control<QComboBox>("hp_slop")->view());
    ASSERT_NE(slope, nullptr);
    EXPECT_FALSE(slope->isRowHidden(3));
    Control<QComboBox>("hp_type")->setCurrentIndex(2);
    for (int item = 1; item <= 8; ++item)
        EXPECT_EQ(slope->isRowHidden(item), item % 2 == 1) << item;
    Control<QComboBox>("hp_type")->setCurrentIndex(1);
    EXPECT_FALSE(slope->isRowHidden(5));
    Control<QComboBox>("hp_slop")->setCurrentIndex(2);
    EXPECT_EQ(AllSetters(),
              (Strings{"01 05 BB | 00 00 00 02 02 00 14 04", "01 05 BB | 00 00 00 02 01 00 14 04",
                       "01 05 BB | 00 00 00 02 01 00 14 02"}));
}

TEST_F(Eq, FirstSliderMoveOnABypassedOutputClearsItsHiddenGains) {
    DspState s = test::ConnectedDefaults();
    ChannelState& ch = s.channels[1];
    ch.bands[0].eqGain = 3.0f;
    ch.bands[10].eqGain = -2.0f;
    ch.bypass = 1;
    OpenWith(s);
    Click("ch_enable_1");
    EXPECT_EQ(Key("btn_bypass"), "${restore_eq}");
    auto* slider = Control<QAbstractSlider>("eq_slider_3");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageUp);  // +1.0 dB
    EXPECT_EQ(Text("eq_gain_3"), "1.0");
    EXPECT_EQ(Key("btn_bypass"), "${bypass_eq}");
    EXPECT_EQ(AllSetters(),
              (Strings{"01 06 BB | 00 00 01 00 00 14 05 08 12 00",
                       "01 06 BB | 00 00 01 0A 00 C8 05 08 12 00", "01 12 BB | 00 00 01 01 00",
                       "01 06 BB | 00 00 01 03 00 28 05 08 13 00"}));
}

TEST_F(Eq, TypedBandsInPeqModeAndTheLastGainBackToZero) {
    DspState s = test::ConnectedDefaults();
    s.channels[0].bands[5].eqGain = 4.0f;
    s.channels[0].bypass = 0;
    OpenWith(s);
    Activate();
    EXPECT_FALSE(Control("eq_freq_5")->isEnabled());  // GEQ mode at start
    PeqMode();
    ASSERT_TRUE(Control("eq_freq_5")->isEnabled());
    Type("eq_freq_5", "1K2");  // Enter moves down the column; leaving commits
    ASSERT_TRUE(FocusOn("eq_q_5"));
    EXPECT_EQ(Controller().Live().channels[0].bands[5].freq, 1200);
    Type("eq_q_5", "25");  // Q is limited
    ASSERT_TRUE(FocusOn("eq_gain_5"));
    EXPECT_EQ(Text("eq_q_5"), "9.00");
    Type("eq_gain_5", "0");
    ASSERT_TRUE(FocusOn("eq_freq_6"));
    EXPECT_EQ(Key("btn_bypass"), "${restore_eq}");
    EXPECT_EQ(Controller().Live().channels[0].bypass, 1);
    Type("eq_freq_6", "25000");  // out of range: the old frequency stays
    ASSERT_TRUE(FocusOn("eq_q_6"));
    EXPECT_EQ(Text("eq_freq_6"), "80");
    EXPECT_EQ(WithoutMainVolume(AllSetters()),
              (Strings{"01 06 BB | 00 00 00 05 04 B0 05 08 16 00",
                       "01 06 BB | 00 00 00 05 04 B0 09 00 16 00", "01 12 BB | 00 00 00 00 01",
                       "01 06 BB | 00 00 00 05 04 B0 09 00 12 00"}));
}

TEST_F(Eq, KeyStepsOnTheBandEdits) {
    DspState s = test::ConnectedDefaults();
    s.channels[0].bands[2].eqFactor = 8.98f;
    OpenWith(s);
    PeqMode();
    auto* q = Control<QLineEdit>("eq_q_2");
    q->setFocus();
    QTest::keyClick(q, Qt::Key_Up);
    EXPECT_EQ(Text("eq_q_2"), "9.00");
    auto* gain = Control<QLineEdit>("eq_gain_2");
    QTest::keyClick(gain, Qt::Key_Down);
    EXPECT_EQ(Text("eq_gain_2"), "-0.1");
    EXPECT_EQ(Control<QAbstractSlider>("eq_slider_2")->value(), -1);
    auto* freq = Control<QLineEdit>("eq_freq_2");
    QTest::keyClick(freq, Qt::Key_Up);
    EXPECT_EQ(Controller().Live().channels[0].bands[2].freq, 32);  // 31 Hz one step up
    const Strings sent = AllSetters();
    ASSERT_EQ(sent.size(), 4u) << ::testing::PrintToString(
        sent);  // Q, gain (with the bypass going off), frequency
    EXPECT_EQ(sent[0], "01 06 BB | 00 00 00 02 00 1F 09 00 12 00");
}

TEST_F(Eq, LinkedOutputsGetTheBandAndTheResetTogether) {
    DspState s = test::ConnectedDefaults();
    s.outputs[1] = 6;
    s.outputs[2] = 12;
    s.outputs[0] = 0;
    s.linkMode = s.lockMode = 1;
    ComputeLinkPairs(s);
    OpenWith(s);
    Activate();
    Click("ch_enable_1");
    Mark();
    Type("eq_gain_9", "-6");  // GEQ mode: Enter commits and goes on to the next gain
    ASSERT_TRUE(FocusOn("eq_gain_10"));
    EXPECT_EQ(WithoutMainVolume(AllSetters()),
              (Strings{"01 12 BB | 00 00 01 01 00", "01 12 BB | 00 00 02 02 00",
                       "01 06 BB | 00 00 01 09 00 A0 05 08 0C 00",
                       "01 06 BB | 00 00 02 09 00 A0 05 08 0C 00"}));
    Mark();
    prompts.answers = {1};
    Click("btn_reset_eq");
    EXPECT_EQ(AllSetters(), (Strings{"01 11 BB | 00 00 02 01 02"}));
    EXPECT_FLOAT_EQ(Controller().Live().channels[2].bands[9].eqGain, 0.0f);
}

TEST_F(Eq, RingAcrossTheRowsWithTheKeyboard) {
    OpenWith(test::ConnectedDefaults());
    Activate();
    auto* gain = Control<QLineEdit>("eq_gain_30");
    gain->setFocus();
    ASSERT_TRUE(FocusOn("eq_gain_30"));
    QTest::keyClick(gain, Qt::Key_Right);
    ASSERT_TRUE(FocusOn("edit_ch_volume_0"));
    QTest::keyClick(Focused(), Qt::Key_Left);
    ASSERT_TRUE(FocusOn("eq_gain_30"));
    Control<QLineEdit>("eq_gain_0")->setFocus();
    ASSERT_TRUE(FocusOn("eq_gain_0"));
    QTest::keyClick(Focused(), Qt::Key_Left);  // GEQ: the Q and frequency rows are skipped
    ASSERT_TRUE(FocusOn("edit_main_volume"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Eq, DraggingABandOnTheCurve) {
    OpenActive(test::ConnectedDefaults());
    DragCurveMarker(12, 40);
    auto* curve = Control("equalizer");
    const EqBand& band = Controller().Live().channels[0].bands[12];
    EXPECT_GT(band.eqGain, 1.0f);
    EXPECT_EQ(Text("eq_gain_12"), QString::asprintf("%.1f", band.eqGain));
    const Strings sent = AllSetters();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.front().substr(0, 20), "01 06 BB | 00 00 00 ");  // the band, then
    EXPECT_NE(std::find(sent.begin(), sent.end(), "01 12 BB | 00 00 00 00 00"), sent.end());

    // A notification without a band only logs.
    Mark();
    curve->setProperty("userdata", QStringLiteral("-1"));
    window->SendNotify(curve, QStringLiteral("equalizer_eq"));
    EXPECT_TRUE(AllSetters().empty());
}

// What a hover must leave alone: every band value and flag, the bypass and
// the crossover of every output.
void ExpectSameTuning(const DspState& got, const DspState& want, const std::string& where) {
    for (int n = 0; n < kOutputChannels; ++n) {
        const ChannelState& g = got.channels[n];
        const ChannelState& w = want.channels[n];
        EXPECT_EQ(g.bypass, w.bypass) << where << " output " << n;
        EXPECT_EQ(g.crossover.hp.fs, w.crossover.hp.fs) << where << " output " << n;
        EXPECT_EQ(g.crossover.lp.fs, w.crossover.lp.fs) << where << " output " << n;
        for (int b = 0; b < kEqBands; ++b) {
            const EqBand& x = g.bands[b];
            const EqBand& y = w.bands[b];
            EXPECT_TRUE(x.eqGain == y.eqGain && x.eqFactor == y.eqFactor && x.freq == y.freq &&
                        x.enable == y.enable)
                << where << " output " << n << " band " << b;
        }
    }
}

// Hovering the curve only selects. Over every band's marker (with a gain,
// switched off with a kept gain, flat; on an output with its EQ on and on a
// bypassed one with hidden gains), over the Q handles and over "H" and "L":
// the model, the band editors (a value being typed stays) and the wire are
// left alone.
TEST_F(Eq, HoveringTheCurveChangesNothing) {
    DspState s = test::ConnectedDefaults();
    s.channels[0].bypass = 0;
    s.channels[0].bands[3].eqGain = 4.0f;
    s.channels[0].bands[6].eqGain = -5.0f;
    s.channels[0].bands[6].enable = 0;
    s.channels[1].bypass = 1;  // gains kept, hidden
    s.channels[1].bands[2].eqGain = 3.0f;
    s.channels[1].bands[5].eqGain = 2.0f;
    s.channels[1].bands[5].enable = 0;
    OpenActive(s);
    PeqMode();  // the Q handles are shown
    auto* curve = dynamic_cast<UIEqualizer*>(Control("equalizer"));
    ASSERT_NE(curve, nullptr);
    auto centre = [](const IntRect& r) {
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    for (int output : {0, 1}) {
        const std::string where = "output " + std::to_string(output);
        Click(QStringLiteral("ch_enable_%1").arg(output));
        ASSERT_EQ(Controller().Live().currChannel, output);
        QApplication::processEvents();
        auto* typing = Control<QLineEdit>("eq_gain_10");
        typing->setFocus();
        typing->setText(QStringLiteral("7.5"));  // not committed
        AllSetters();
        Mark();
        const DspState before = Controller().Live();
        for (int b = 0; b < curve->GetBandCount(); ++b) {
            QTest::mouseMove(curve, centre(curve->GetMarkerRect(b)));
            ASSERT_EQ(curve->GetCurrentControlIndex(), b) << where;
            QTest::mouseMove(curve, centre(curve->GetQLeftRect()));
            QTest::mouseMove(curve, centre(curve->GetQRightRect()));
        }
        QTest::mouseMove(curve, centre(curve->GetHpRect()));
        QTest::mouseMove(curve, centre(curve->GetLpRect()));
        ExpectSameTuning(Controller().Live(), before, where);
        EXPECT_EQ(Text("eq_gain_10"), "7.5") << where;
        EXPECT_TRUE(WithoutMainVolume(AllSetters()).empty())
            << where << ::testing::PrintToString(Setters());
        typing->setText(QStringLiteral("0.0"));  // as committed
    }
}

}  // namespace
}  // namespace kavelo
