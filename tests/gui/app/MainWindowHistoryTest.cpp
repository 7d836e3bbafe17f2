// Undo, redo and the A/B comparison as a user meets them in the main window:
// keys, the title bar's buttons, typed values, drags, against the virtual
// amplifier, asserting what the amplifier holds and what reached it.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QComboBox>
#include <QMenu>
#include <tuple>

#include "AmplifierPresets.h"
#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/StateDiff.h"
#include "graph/UIEqualizer.h"
#include "ui/WindowMessage.h"

namespace kavelo {
namespace {

class History : public test::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        OpenActive(test::ConnectedDefaults());
    }
    // What the amplifier holds live.
    static auto LiveOf(const AmpLiveState& live) {
        return std::make_tuple(live.settings, live.source, live.mainVolume, live.mute,
                               live.ampMute);
    }
    std::int8_t AmpTrim(int channel) {
        return static_cast<std::int8_t>(amp.LiveState().settings.channels[channel].trim);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                        key, modifiers);
    }
    void Undo() { Key(Qt::Key_Z, Qt::ControlModifier); }
    // Everything sent so far has reached the amplifier.
    void Drain() { AllSetters(); }
    // Opens output n's role menu and clicks an item, as a user does.
    void ChooseRole(int n, const char* item) {
        Click(QStringLiteral("ch_output_btn_%1").arg(n));
        QMenu* menu = VisibleMenu();
        ASSERT_NE(menu, nullptr);
        QAction* action = WindowImplBase::FindMenuItem(menu, QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        QApplication::processEvents();  // the menu command arrives as a posted message
    }
};

TEST_F(History, TypedValuesUndoAndRedoFromTheKeyboard) {
    Type("edit_ch_volume_2", "-9");
    Type("edit_ch_volume_5", "-20");
    Drain();
    EXPECT_EQ(AmpTrim(2), -9);
    EXPECT_EQ(Controller().UndoSteps(), 2u);

    Undo();  // the focus is still in an edit: the tuning's undo wins over the edit's
    Drain();
    EXPECT_EQ(AmpTrim(5), 0);
    EXPECT_EQ(Text("edit_ch_volume_5"), "0dB");
    EXPECT_EQ(AmpTrim(2), -9);
    Undo();
    Drain();
    EXPECT_EQ(AmpTrim(2), 0);
    EXPECT_EQ(Text("edit_ch_volume_2"), "0dB");
    EXPECT_FALSE(Control("btn_undo")->isEnabled());

    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_Y, Qt::ControlModifier);
    Drain();
    EXPECT_EQ(AmpTrim(2), -9);
    EXPECT_EQ(AmpTrim(5), -20);
    EXPECT_EQ(Text("edit_ch_volume_5"), "-20dB");
    EXPECT_EQ(Controller().RedoSteps(), 0u);
}

TEST_F(History, UndoSendsOnlyTheDifference) {
    Type("edit_ch_volume_3", "-6");
    Drain();
    Mark();
    Click("btn_undo");
    // One trim command, nothing else: not a whole profile.
    EXPECT_EQ(AllSetters(), std::vector<std::string>{"01 08 BB | 00 00 03 03 00"});
    Click("btn_redo");
    EXPECT_EQ(AllSetters().size(), 2u);
    EXPECT_EQ(AmpTrim(3), -6);
}

TEST_F(History, SliderDragIsOneStep) {
    auto* slider = Control<QAbstractSlider>("slider_ch_volume_1");
    ASSERT_NE(slider, nullptr);
    const QPoint handle = slider->rect().center();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle);
    for (int dx = 1; dx <= 5; ++dx) QTest::mouseMove(slider, handle - QPoint(dx * 6, dx * 6));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, handle - QPoint(30, 30));
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().UndoSteps() > 0; }));
    Drain();
    ASSERT_NE(AmpTrim(1), 0);
    EXPECT_EQ(Controller().UndoSteps(), 1u);
    Click("btn_undo");
    Drain();
    EXPECT_EQ(AmpTrim(1), 0);
}

TEST_F(History, CurveDragIsOneStep) {
    DragCurveMarker(12, 40);
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().UndoSteps() > 0; }));
    EXPECT_GT(Controller().Live().channels[0].bands[12].eqGain, 1.0f);
    EXPECT_EQ(Controller().UndoSteps(), 1u);
    Click("btn_undo");
    Drain();
    EXPECT_EQ(Controller().Live().channels[0].bands[12].eqGain, 0.0f);
    EXPECT_EQ(amp.LiveState().settings.channels[0].bands[12].gainInteger, 18);  // 0 dB on the wire
}

TEST_F(History, EveryKindOfEditIsOneStep) {
    struct Step {
        const char* name;
        std::function<void()> edit;
        bool changesAmplifier;  // and so becomes one undo step
    };
    const std::vector<Step> steps = {
        {"mute", [&] { Click("ch_mute_4"); }, true},
        {"phase", [&] { Click("ch_phase_4"); }, true},
        {"delay", [&] { Type("edit_ch_delay_6", "2.5"); }, true},
        {"band gain", [&] { Type("eq_gain_3", "4"); }, true},
        {"crossover", [&] { Type("hp_freq", "120"); }, true},
        {"routing", [&] { Click("option_ch_in1_1"); }, true},
        {"main volume", [&] { Type("edit_main_volume", "12"); }, true},
        {"main mute", [&] { Click("main_mute"); }, true},
        {"amplifier off", [&] { Click("btn_amp_onoff"); }, true},
        {"source", [&] { Control<QComboBox>("btn_input_source")->setCurrentIndex(3); }, true},
        {"bypass", [&] { Click("btn_bypass"); }, true},
        {"EQ reset", [&] { Click("btn_reset_eq"); }, true},
        {"EQ reset of a flat EQ", [&] { Click("btn_reset_eq"); }, false},
        {"lock", [&] { Click("btn_lock_output"); }, true},
        {"unlock", [&] { Click("btn_lock_output"); }, true},
        {"role", [&] { ChooseRole(3, "output_item_empty"); }, true},
    };
    const DspState start = Controller().Live();
    const AmpLiveState ampStart = amp.LiveState();
    std::size_t expected = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        const AmpLiveState before = amp.LiveState();
        s.edit();
        QApplication::processEvents();
        Drain();
        EXPECT_EQ(!(LiveOf(amp.LiveState()) == LiveOf(before)), s.changesAmplifier);
        if (s.changesAmplifier) ++expected;
        EXPECT_EQ(Controller().UndoSteps(), expected);
    }
    while (Controller().UndoSteps() > 0) Click("btn_undo");
    Drain();
    EXPECT_TRUE(DiffStates(Controller().Live(), start).empty());
    EXPECT_EQ(Controller().Live().ampPower, 1);
    EXPECT_TRUE(Selected("btn_amp_onoff"));
    EXPECT_EQ(Control<QComboBox>("btn_input_source")->currentIndex(), start.inputSource);
    // The amplifier holds the start again, Q and its live-only values included.
    EXPECT_TRUE(LiveOf(amp.LiveState()) == LiveOf(ampStart));
}

TEST_F(History, ReconnectionClearsTheHistory) {
    Type("edit_ch_volume_2", "-9");
    EXPECT_EQ(Controller().UndoSteps(), 1u);
    Controller().DisconnectDevice();
    EXPECT_FALSE(Control("btn_undo")->isEnabled());
    Controller().ConnectDevice(true);
    ASSERT_TRUE(test::WaitUntil([&] { return Controller().IsConnected() && Settled(); }));
    EXPECT_EQ(Controller().UndoSteps(), 0u);
}

TEST_F(History, ABSwitchSendsOnlyTheDifference) {
    // A: as connected. B starts as a copy, then gets another crossover and band.
    Click("btn_ab_b");
    EXPECT_TRUE(Selected("btn_ab_b"));
    EXPECT_FALSE(Selected("btn_ab_a"));
    Drain();
    Type("hp_freq", "150");
    Type("eq_gain_5", "-6");
    Click("btn_amp_onoff");
    Control<QComboBox>("btn_input_source")->setCurrentIndex(3);
    Drain();
    const DspState b = Controller().Live();
    const std::uint16_t bHp = amp.LiveState().settings.channels[0].highPass.frequency;
    ASSERT_EQ(amp.LiveState().ampMute, 1);
    ASSERT_EQ(amp.LiveState().source, 0x54);

    Mark();
    Key(Qt::Key_B, Qt::ControlModifier);  // back to A
    EXPECT_TRUE(Selected("btn_ab_a"));
    // Source, power, crossover, band and bypass: what B changed, nothing more.
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{
                                "01 01 BB | 56",
                                "01 3F BB | 00",
                                "01 05 BB | 00 00 00 02 02 00 14 04",
                                "01 06 BB | 00 00 00 05 00 3F 05 08 12 00",
                                "01 12 BB | 00 00 00 00 01",
                            }));
    EXPECT_EQ(amp.LiveState().settings.channels[0].highPass.frequency, 20);
    EXPECT_EQ(amp.LiveState().ampMute, 0);
    EXPECT_EQ(amp.LiveState().source, 0x56);
    EXPECT_EQ(Text("hp_freq"), "20Hz");
    EXPECT_TRUE(Selected("btn_amp_onoff"));
    EXPECT_EQ(Control<QComboBox>("btn_input_source")->currentIndex(), 5);

    Click("btn_ab_b");
    Drain();
    EXPECT_EQ(amp.LiveState().settings.channels[0].highPass.frequency, bHp);
    EXPECT_EQ(amp.LiveState().ampMute, 1);
    EXPECT_EQ(amp.LiveState().source, 0x54);
    EXPECT_FALSE(Selected("btn_amp_onoff"));
    EXPECT_TRUE(DiffStates(Controller().Live(), b).empty());
    // Each slot keeps its own undo: B's last edits (source, power, band) are undone.
    Click("btn_undo");
    Drain();
    EXPECT_EQ(amp.LiveState().source, 0x56);
    EXPECT_EQ(amp.LiveState().ampMute, 1);
    Click("btn_undo");
    Drain();
    EXPECT_EQ(amp.LiveState().ampMute, 0);
    EXPECT_TRUE(Selected("btn_amp_onoff"));
    Click("btn_undo");
    Drain();
    EXPECT_EQ(Controller().Live().channels[0].bands[5].eqGain, 0.0f);
    EXPECT_EQ(amp.LiveState().settings.channels[0].highPass.frequency, bHp);

    // Copying B over A: switching then changes nothing.
    Click("btn_ab_copy");
    Mark();
    Click("btn_ab_a");
    EXPECT_TRUE(AllSetters().empty());
}

}  // namespace
}  // namespace kavelo
