// Typed values in the main window as a user meets them: text without a number,
// decimal commas, what a field shows after its commit, Ctrl+Z while typing and
// clicks on controls that take no focus, against the virtual amplifier.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "device/DspEncoding.h"
#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

using Strings = std::vector<std::string>;

class Typing : public test::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        DspState s = test::ConnectedDefaults();
        ChannelState& ch = s.channels[0];
        ch.crossover.hp.fs = 120;
        ch.crossover.lp.fs = 8000;
        ch.bands[3] = EqBand{4.0f, 5.8f, 630, 1};
        ch.bypass = 0;
        s.channels[1].gain = -20.0f;
        s.channels[2].delay = 1.5f;
        OpenWith(s);
        prompts.answers = {1};
        Click("btn_arg_eq");  // PEQ mode: the frequency and Q edits take typing
        ASSERT_TRUE(Selected("btn_arg_eq"));
        Activate();
        FocusAndMark("hp_freq");
    }
    // The field gets the keyboard; what leaving the previous one committed is
    // history to the test.
    void FocusAndMark(const QString& name) {
        auto* edit = Control<QLineEdit>(name);
        ASSERT_NE(edit, nullptr) << name.toStdString();
        edit->setFocus();
        ASSERT_TRUE(test::WaitUntil([&] { return edit->hasFocus(); }, 2000));
        AllSetters();
        Mark();
    }
    // Types over the field's text without committing it.
    void TypeOver(const QString& name, const QString& text) {
        FocusAndMark(name);
        auto* edit = Control<QLineEdit>(name);
        edit->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            QTest::keyClicks(edit, text);
        }
    }
    // Commits by Enter, or by moving the focus to the field `leaveTo`.
    void Commit(const QString& name, const QString& leaveTo = {}) {
        if (leaveTo.isEmpty()) {
            QTest::keyClick(Control<QLineEdit>(name), Qt::Key_Return);
        } else {
            Control(leaveTo)->setFocus();
        }
    }
    AmpChannel AmpCh(int n) { return amp.LiveState().settings.channels[n]; }
    double AmpGain(int n, int b) {
        const AmpEqBand band = AmpCh(n).bands[b];
        return band.gainInteger + band.gainTenths / 10.0 - 18.0;
    }
    bool AmpDelayIsShown(int n) {
        return AmpCh(n).delay == EncodeDelay(Controller().Live().channels[n].delay);
    }
};

// Text that holds no number: the field shows the stored value again, nothing is
// sent and the amplifier keeps what it held.
TEST_F(Typing, TextWithoutANumberChangesNothing) {
    struct Row {
        const char* field;
        const char* text;
        const char* shown;
    };
    const Row rows[] = {
        {"hp_freq", "", "120Hz"},
        {"hp_freq", "abc", "120Hz"},
        {"lp_freq", "k", "8000Hz"},
        {"edit_ch_volume_1", "abc", "-20dB"},
        {"edit_ch_volume_1", "", "-20dB"},
        {"edit_ch_delay_2", "abc", "1.500 ms"},
        {"edit_ch_delay_2", "1.000,5", "1.500 ms"},
        {"eq_gain_3", "abc", "4.0"},
        {"eq_gain_3", "", "4.0"},
        {"eq_gain_3", "2.5,0", "4.0"},
        {"eq_q_3", "abc", "5.80"},
        {"eq_freq_3", "", "630"},
        {"eq_freq_3", "1,5k2", "630"},
        {"edit_main_volume", "abc", "30"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " \"" + r.text + "\"");
        const QString field = QLatin1String(r.field);
        TypeOver(field, QLatin1String(r.text));
        const AmpLiveState before = amp.LiveState();
        Commit(field);  // an EQ edit's Enter moves down its column, which commits it
        EXPECT_EQ(Text(field), QLatin1String(r.shown));
        EXPECT_EQ(AllSetters(), Strings{});
        EXPECT_TRUE(amp.LiveState() == before);
    }
    EXPECT_FLOAT_EQ(Controller().Live().channels[0].bands[3].eqGain, 4.0f);
    EXPECT_EQ(Controller().Live().channels[0].crossover.hp.fs, 120);
}

// Numbers with a decimal comma or followed by a unit are read, limited as each
// field limits them, and the field then shows what the amplifier was given,
// whether the commit came by Enter or by leaving the field.
TEST_F(Typing, FieldShowsWhatWasAppliedAfterEnterAndAfterLeaving) {
    struct Row {
        const char* field;
        const char* text;
        const char* shown;
        std::function<double()> held;  // read back from the amplifier (or the model)
        double expected;
    };
    const std::vector<Row> rows = {
        {"eq_gain_3", "2,5", "2.5", [&] { return AmpGain(0, 3); }, 2.5},
        {"eq_gain_3", "-3,5", "-3.5", [&] { return AmpGain(0, 3); }, -3.5},
        {"eq_gain_3", "+5", "5.0", [&] { return AmpGain(0, 3); }, 5.0},
        {"eq_gain_3", "6dB", "6.0", [&] { return AmpGain(0, 3); }, 6.0},
        {"eq_gain_3", "40", "12.0", [&] { return AmpGain(0, 3); }, 12.0},
        {"eq_freq_3", "3,5k", "3500", [&] { return AmpCh(0).bands[3].frequency; }, 3500},
        {"eq_freq_3", "2k", "2000", [&] { return AmpCh(0).bands[3].frequency; }, 2000},
        {"eq_q_3", "2,5", "2.50", [&] { return Controller().Live().channels[0].bands[3].eqFactor; },
         2.5},
        {"lp_freq", "12,5k", "12500Hz", [&] { return AmpCh(0).lowPass.frequency; }, 12500},
        {"hp_freq", "150,5", "150Hz", [&] { return AmpCh(0).highPass.frequency; }, 150},
        {"hp_freq", "15k", "12500Hz", [&] { return AmpCh(0).highPass.frequency; }, 12500},
        {"edit_ch_volume_1", "-3,5", "-3dB",
         [&] { return static_cast<std::int8_t>(AmpCh(1).trim); }, -3},
        {"edit_ch_volume_1", "12dB", "0dB", [&] { return static_cast<std::int8_t>(AmpCh(1).trim); },
         0},
        {"edit_ch_delay_2", "1,25", "1.250 ms",
         [&] { return AmpDelayIsShown(2) ? Controller().Live().channels[2].delay : -1.0; }, 1.25},
        {"edit_main_volume", "20,7", "20", [&] { return Controller().Live().mainVolume; }, 20},
    };
    for (const char* leaveTo : {"", "edit_ch_volume_7"}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.field) + " \"" + r.text + "\" left to \"" + leaveTo + "\"");
            const QString field = QLatin1String(r.field);
            TypeOver(field, QLatin1String(r.text));
            Commit(field, QLatin1String(leaveTo));
            AllSetters();
            EXPECT_EQ(Text(field), QLatin1String(r.shown));
            EXPECT_NEAR(r.held(), r.expected, 1e-4);
        }
    }
}

// The first Ctrl+Z while typing gives the field its committed value back and
// does nothing else; the next one undoes the last tuning step.
TEST_F(Typing, CtrlZUndoesTheTypingFirst) {
    TypeOver("edit_ch_volume_2", "-9");
    Commit("edit_ch_volume_2");
    AllSetters();
    ASSERT_EQ(static_cast<std::int8_t>(AmpCh(2).trim), -9);
    for (const char* field : {"eq_gain_3", "edit_ch_volume_5", "hp_freq"}) {
        SCOPED_TRACE(field);
        const QString name = QLatin1String(field);
        const QString committed = Text(name);
        TypeOver(name, QStringLiteral("5"));
        const AmpLiveState before = amp.LiveState();
        const std::size_t steps = Controller().UndoSteps();
        QTest::keyClick(Control(name), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Text(name), committed);
        Control("edit_ch_volume_7")->setFocus();  // leaving commits the committed text
        AllSetters();
        EXPECT_TRUE(amp.LiveState() == before);
        EXPECT_EQ(Controller().UndoSteps(), steps);
        EXPECT_EQ(static_cast<std::int8_t>(AmpCh(2).trim), -9);
    }
    EXPECT_FLOAT_EQ(Controller().Live().channels[0].bands[3].eqGain, 4.0f);
    QTest::keyClick(Control("edit_ch_volume_7"), Qt::Key_Z, Qt::ControlModifier);
    AllSetters();
    EXPECT_EQ(static_cast<std::int8_t>(AmpCh(2).trim), 0);
    EXPECT_EQ(Text("edit_ch_volume_2"), "0dB");
}

// A press on a control that takes no focus commits the value being typed
// before the control acts, as one undo step of its own.
TEST_F(Typing, ClickOnAControlWithoutFocusCommitsTheTypedValue) {
    struct Row {
        const char* control;
        const char* typed;
        double gain;
    };
    const Row rows[] = {
        {"ch_enable_1", "2,5", 2.5},  // shows output 1: output 0's editors are rewritten
        {"ch_mute_5", "-1,5", -1.5},
        {"equalizer", "7", 7.0},
        {"comb_ch_unit", "-6", -6.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.control);
        Click("ch_enable_0");
        TypeOver("eq_gain_3", QLatin1String(r.typed));
        QWidget* control = Control(r.control);
        ASSERT_NE(control, nullptr);
        ASSERT_FALSE(control->focusPolicy() & Qt::ClickFocus) << "takes the focus itself";
        const QPoint at(4, 4);  // away from the curve's markers
        QTest::mousePress(control, Qt::LeftButton, {}, at);
        AllSetters();
        EXPECT_NEAR(AmpGain(0, 3), r.gain, 1e-6);
        QTest::mouseRelease(control, Qt::LeftButton, {}, at);
        if (auto* combo = qobject_cast<QComboBox*>(control)) combo->hidePopup();
    }
    // The typed value is a step of its own: undoing the click keeps it.
    Click("ch_enable_0");
    TypeOver("eq_gain_3", QStringLiteral("3"));
    Click("ch_mute_6");
    AllSetters();
    ASSERT_EQ(AmpCh(6).mute, 1);
    EXPECT_NEAR(AmpGain(0, 3), 3.0, 1e-6);
    Control("edit_ch_volume_7")->setFocus();
    QTest::keyClick(Control("edit_ch_volume_7"), Qt::Key_Z, Qt::ControlModifier);
    AllSetters();
    EXPECT_EQ(AmpCh(6).mute, 0);
    EXPECT_NEAR(AmpGain(0, 3), 3.0, 1e-6);
}

}  // namespace
}  // namespace kavelo
