// Undo, redo and the A/B comparison as a user meets them in the main window:
// keys, the title bar's buttons, typed values, drags, against the virtual
// amplifier, asserting what the amplifier holds and what reached it.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QMenu>

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
        OpenWith(test::ConnectedDefaults());
        window->resize(1400, 800);
        Activate();
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
    };
    const std::vector<Step> steps = {
        {"mute", [&] { Click("ch_mute_4"); }},
        {"phase", [&] { Click("ch_phase_4"); }},
        {"delay", [&] { Type("edit_ch_delay_6", "2.5"); }},
        {"band gain", [&] { Type("eq_gain_3", "4"); }},
        {"crossover", [&] { Type("hp_freq", "120"); }},
        {"routing", [&] { Click("option_ch_in1_1"); }},
        {"main volume", [&] { Type("edit_main_volume", "12"); }},
        {"bypass", [&] { Click("btn_bypass"); }},
        {"EQ reset", [&] { Click("btn_reset_eq"); }},
        {"lock", [&] { Click("btn_lock_output"); }},
        {"unlock", [&] { Click("btn_lock_output"); }},
        {"role", [&] { ChooseRole(3, "output_item_empty"); }},
    };
    const DspState start = Controller().Live();
    const AmpSceneSettings ampStart = amp.LiveState().settings;
    std::size_t expected = 0;
    for (const Step& s : steps) {
        const DspState before = Controller().Live();
        s.edit();
        QApplication::processEvents();
        if (!DiffStates(before, Controller().Live()).empty()) ++expected;
        EXPECT_EQ(Controller().UndoSteps(), expected) << s.name;
    }
    EXPECT_GE(expected, steps.size() - 1);  // the reset of a flat EQ may change nothing
    Drain();
    while (Controller().UndoSteps() > 0) Click("btn_undo");
    Drain();
    EXPECT_TRUE(DiffStates(Controller().Live(), start).empty());
    // The amplifier holds the start again, Q included.
    EXPECT_TRUE(amp.LiveState().settings == ampStart);
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
    Drain();
    const DspState b = Controller().Live();
    const std::uint16_t bHp = amp.LiveState().settings.channels[0].highPass.frequency;

    Mark();
    Key(Qt::Key_B, Qt::ControlModifier);  // back to A
    EXPECT_TRUE(Selected("btn_ab_a"));
    const std::vector<std::string> toA = AllSetters();
    EXPECT_EQ(toA.size(), DiffStates(b, Controller().Live()).size());
    EXPECT_LE(toA.size(), 3u);
    EXPECT_EQ(amp.LiveState().settings.channels[0].highPass.frequency, 20);
    EXPECT_EQ(Text("hp_freq"), "20Hz");

    Click("btn_ab_b");
    Drain();
    EXPECT_EQ(amp.LiveState().settings.channels[0].highPass.frequency, bHp);
    EXPECT_TRUE(DiffStates(Controller().Live(), b).empty());
    // Each slot keeps its own undo: B's last edit (the band) is undone.
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
