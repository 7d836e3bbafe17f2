// Editing outputs from the main window on the application's layout: real clicks,
// keys and drags on the named controls, checked against what reached the
// virtual amplifier.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"
#include "device/PacketCodec.h"
#include "graph/ResponseCurve.h"
#include "sim/AmplifierState.h"
#include "ui/LanguageService.h"
#include "ui/WindowMessage.h"

namespace kavelo {
namespace {

class Outputs : public test::MainWindowFixture {
protected:
    QMenu* OpenMenu() { return VisibleMenu(); }
    QAction* Item(QMenu* menu, const char* name) {
        return WindowImplBase::FindMenuItem(menu, QLatin1String(name));
    }
};

TEST_F(Outputs, TypedVolumeIsClampedAndShown) {
    DspState s = test::ConnectedDefaults();
    s.channels[2].gain = -3.0f;
    OpenWith(s);
    Type("edit_ch_volume_2", "5");
    EXPECT_EQ(Text("edit_ch_volume_2"), "0dB");
    EXPECT_EQ(Control<QAbstractSlider>("slider_ch_volume_2")->value(), 0);
    Type("edit_ch_volume_2", "-70");
    EXPECT_EQ(Text("edit_ch_volume_2"), GetText("${off}"));
    EXPECT_FLOAT_EQ(Controller().Live().channels[2].gain, -60.0f);
    EXPECT_EQ(SettersWhenSent(2),
              (std::vector<std::string>{"01 08 BB | 00 00 02 02 00", "01 08 BB | 00 00 02 02 3C"}));
}

TEST_F(Outputs, SynchronisedOutputsFollowAVolumeChange) {
    DspState s = test::ConnectedDefaults();
    s.channels[1].gain = -10.0f;
    s.channels[2].gain = -1.0f;
    OpenWith(s);
    Click("ch_synchronize_1");
    Click("ch_synchronize_2");
    EXPECT_TRUE(Selected("ch_enable_1"));
    EXPECT_TRUE(Selected("ch_enable_2"));
    EXPECT_FALSE(Control("btn_link_output")->isEnabled());  // sync rules out link
    AllSetters();
    Mark();
    Type("edit_ch_volume_1", "-7");  // +3 dB: output 2 follows and stops at 0 dB
    EXPECT_EQ(SettersWhenSent(2),
              (std::vector<std::string>{"01 08 BB | 00 00 01 01 07", "01 08 BB | 00 00 02 02 00"}));
    EXPECT_EQ(Text("edit_ch_volume_2"), "0dB");

    Click("ch_synchronize_2");  // leaves: output 2 keeps its volume from now on
    Click("ch_synchronize_1");
    EXPECT_TRUE(Control("btn_link_output")->isEnabled());
    Mark();
    Type("edit_ch_volume_1", "-9");
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 08 BB | 00 00 01 01 09"}));
}

TEST_F(Outputs, DelayTypedInCentimetres) {
    OpenWith(test::ConnectedDefaults());
    Control<QComboBox>("comb_ch_unit")->setCurrentIndex(1);
    Type("edit_ch_delay_4", "600");
    EXPECT_EQ(Text("edit_ch_delay_4"), "519.00 cm");
    EXPECT_FLOAT_EQ(Controller().Live().channels[4].delay, 15.0f);
    EXPECT_EQ(SettersWhenSent(1), (std::vector<std::string>{"01 07 BB | 00 00 04 04 0F 00 00"}));
    EXPECT_EQ(Text("edit_ch_delay_0"), "0.00 cm");  // every delay is shown in the new unit
}

TEST_F(Outputs, LinkCopiesTheChosenSideAndSendsThePairs) {
    struct Case {
        int choice;
        const char* link;
        int copiedTo;
    };
    for (const Case& c : {Case{1, "01 0E BB | 00 01 03 00 01 02 03 06 07", 1},
                          Case{2, "01 0E BB | 00 01 03 01 00 03 02 07 06", 0}}) {
        SCOPED_TRACE(c.choice);
        DspState s = test::ConnectedDefaults();
        s.channels[0].bands[5].eqGain = 4.0f;
        s.channels[0].bypass = 0;
        s.channels[1].bands[5].eqGain = -3.0f;
        s.channels[1].bypass = 0;
        OpenWith(s);
        const float kept = Controller().Live().channels[1 - c.copiedTo].bands[5].eqGain;
        prompts.answers = {c.choice};
        Click("btn_link_output");
        EXPECT_TRUE(Selected("btn_link_output"));
        EXPECT_TRUE(Selected("btn_lock_output"));  // link implies lock
        EXPECT_FALSE(Control("ch_synchronize_3")->isEnabled());
        EXPECT_FALSE(Control("ch_output_btn_3")->isEnabled());
        EXPECT_FLOAT_EQ(Controller().Live().channels[c.copiedTo].bands[5].eqGain, kept);
        const auto sent = AllSetters();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.front(), "01 0F BB | 00 00 01");
        EXPECT_EQ(sent.back(), c.link);

        Mark();
        Click("btn_link_output");  // off again: lock ends with it
        EXPECT_EQ(AllSetters(),
                  (std::vector<std::string>{"01 0F BB | 00 00 00", "01 0E BB | 00 00 00"}));
        EXPECT_TRUE(Control("ch_output_btn_3")->isEnabled());
        window.reset();
    }
}

// Switching link on says which pairs were linked and why the others were not, marks
// the linked outputs' channel buttons, and redraws the curves of the outputs that
// took the copied settings.
TEST_F(Outputs, LinkSaysWhatItLinkedAndRedrawsThePartners) {
    DspState s = test::ConnectedDefaults();
    s.outputs = {1, 12, 15, 18, 19, 20, 22, 23};  // CH1 a tweeter, CH2 full range
    s.channels[2].bands[5].eqGain = 6.0f;
    s.channels[2].bypass = 0;
    s.showChEqualizer = {1, 1, 1, 1, 1, 1, 1, 1};
    OpenWith(s);
    LanguageService::Instance().SetLanguage(QStringLiteral("en"));
    prompts.answers = {1, 1};
    Click("btn_link_output");
    ASSERT_EQ(prompts.texts.size(), 2);
    EXPECT_EQ(prompts.texts.back().toStdString(),
              "Linked (settings copied from the first to the second):\n"
              "CH3 Rear Left Full Range → CH4 Rear Right Full Range\n"
              "CH7 Left Subwoofer → CH8 Right Subwoofer\n"
              "\n"
              "Not linked:\n"
              "CH1 Front Left Tweeter: no output is Front Right Tweeter.\n"
              "CH2 Front Right Full Range: no output is Front Left Full Range.\n"
              "CH5 Centre Tweeter: this role has no left/right partner.\n"
              "CH6 Centre Woofer: this role has no left/right partner.");
    const char* const buttons[] = {"CH1", "CH2", "CH3 \u21C4", "CH4 \u21C4",
                                   "CH5", "CH6", "CH7 \u21C4", "CH8 \u21C4"};
    for (int n = 0; n < kOutputChannels; ++n) {
        EXPECT_EQ(Control<QAbstractButton>(QStringLiteral("ch_enable_%1").arg(n))->text(),
                  QString::fromUtf8(buttons[n]));
    }
    // Output 4 took output 3's bands: its curve is the new one.
    ResponseCurve expected;
    ComputeChannelResponse(Controller().Live().channels[3], expected);
    EXPECT_FLOAT_EQ(Controller().Live().channels[3].bands[5].eqGain, 6.0f);
    EXPECT_EQ(Controller().Curves()[3].db, expected.db);

    prompts.answers = {1};
    Click("btn_link_output");  // off: the glyphs go
    EXPECT_EQ(Control<QAbstractButton>("ch_enable_2")->text(), "CH3");
}

// An output reset gives every output its role's crossover: every curve is redrawn.
TEST_F(Outputs, ResetRedrawsEveryCurve) {
    DspState s = test::ConnectedDefaults();
    s.showChEqualizer = {1, 1, 1, 1, 1, 1, 1, 1};
    s.outputs = {6, 12, 15, 18, 19, 20, 1, 7};
    OpenWith(s);
    prompts.answers = {1};  // back to the default roles
    Click("btn_reset_output");
    for (int n = 0; n < kOutputChannels; ++n) {
        ResponseCurve expected;
        ComputeChannelResponse(Controller().Live().channels[n], expected);
        EXPECT_EQ(Controller().Curves()[n].db, expected.db) << n;
    }
}

TEST_F(Outputs, DeclinedLinkAndUnlockWhileLinked) {
    OpenWith(test::ConnectedDefaults());
    prompts.answers = {0};
    Click("btn_link_output");
    EXPECT_FALSE(Selected("btn_link_output"));
    EXPECT_TRUE(AllSetters().empty());

    prompts.answers = {1};
    Click("btn_link_output");
    AllSetters();
    Mark();
    prompts.answers = {1};  // "unlock?" confirmed
    Click("btn_lock_output");
    EXPECT_EQ(prompts.texts.back(), "${unlock_output_tips}");
    EXPECT_EQ(AllSetters(),
              (std::vector<std::string>{"01 0E BB | 00 00 00", "01 0F BB | 00 00 00"}));
    EXPECT_FALSE(Selected("btn_link_output"));
    EXPECT_TRUE(Control("ch_synchronize_0")->isEnabled());

    Mark();
    prompts.answers = {1};  // lock again: role buttons go
    Click("btn_lock_output");
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 0F BB | 00 00 01"}));
    EXPECT_FALSE(Control("ch_output_btn_0")->isEnabled());
}

TEST_F(Outputs, NoPartnerRefusesLink) {
    DspState s = test::ConnectedDefaults();
    s.outputs = {6, 0, 0, 0, 19, 0, 12, 24};  // 6's mirror sits in the other group
    OpenWith(s);
    Click("btn_link_output");
    EXPECT_EQ(prompts.texts.back(), "${not_linkable_tips}");
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 0E BB | 00 00 00"}));
    EXPECT_EQ(Controller().Live().linkMode, 0);
}

TEST_F(Outputs, MainVolumeFromKeysAndTyping) {
    OpenWith(test::ConnectedDefaults());
    auto* slider = Control<QAbstractSlider>("slider_main_volume");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(Text("edit_main_volume"), "40");
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(Text("edit_main_volume"), GetText("${off}"));
    QTest::keyClick(slider, Qt::Key_Up);
    Type("edit_main_volume", "20");
    EXPECT_EQ(slider->value(), 20);
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 02 BB | 00", "01 02 BB | 42",
                                                      "01 02 BB | 42", "01 02 BB | 0C"}));
    EXPECT_EQ(Controller().Live().mainVolume, 20);

    // Arrow keys in the edit step the position; nothing moves past the top.
    Mark();
    auto* edit = Control<QLineEdit>("edit_main_volume");
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(slider->value(), 21);
    Type("edit_main_volume", "99");
    EXPECT_EQ(Text("edit_main_volume"), "40");
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(slider->value(), 40);
    // Position 21 (-5.5 dB) and the top (+6 dB); the step past the top sends nothing.
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 02 BB | 0B", "01 02 BB | 00"}));
}

TEST_F(Outputs, MuteMainMuteAndPower) {
    OpenWith(test::ConnectedDefaults());
    Click("ch_mute_3");
    Click("ch_phase_5");
    EXPECT_EQ(Key("ch_phase_5"), "${reverse phase}");
    Click("main_mute");
    ASSERT_TRUE(Selected("btn_amp_onoff"));
    Click("btn_amp_onoff");
    EXPECT_EQ(Key("btn_amp_onoff"), "${amp_off}");
    EXPECT_EQ(AllSetters(),
              (std::vector<std::string>{"01 09 BB | 00 00 03 03 01", "01 0A BB | 00 00 05 05 01",
                                        "01 04 BB | 01", "01 3F BB | 01"}));
}

TEST_F(Outputs, RoleMenuRefusesOverlapsAndAssignsTheChosenRole) {
    DspState s = test::ConnectedDefaults();
    s.outputs[6] = 24;  // mono subwoofer
    s.outputs[7] = 23;
    s.channels[5].gain = -4.0f;
    OpenWith(s);
    Click("ch_output_btn_3");
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    // Output 0 covers the whole front left: none of its items is free for output 3.
    for (int role = 1; role <= 6; ++role)
        EXPECT_FALSE(Item(menu, SpeakerRole(role).menuItem)->isEnabled()) << role;
    EXPECT_FALSE(Item(menu, "output_menu_front_left_all_freq")->icon().isNull());  // in use
    EXPECT_TRUE(Item(menu, "output_menu_front_left_high_freq")->icon().isNull());
    EXPECT_FALSE(Item(menu, "output_menu_subwoof_left")->isEnabled());     // 24 covers it
    EXPECT_FALSE(Item(menu, "output_menu_center_all_freq")->isEnabled());  // 19 and 20 used

    QPointer<QMenu> first = menu;
    Click("ch_output_btn_5");  // the menu of another output replaces the first
    QMenu* second = OpenMenu();
    ASSERT_NE(second, nullptr);
    ASSERT_FALSE(first.isNull());
    EXPECT_FALSE(first->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    Item(second, "output_item_empty")->trigger();
    ASSERT_TRUE(test::WaitUntil([&] { return Key("ch_output_btn_5") == "${empty}"; }, 2000));
    EXPECT_EQ(Controller().Live().currChannel, 5);
    EXPECT_EQ(Text("hp_freq"), "20Hz");
    EXPECT_EQ(AllSetters(),
              (std::vector<std::string>{
                  "01 0D BB | 00 00 05 05 00", "01 05 BB | 00 00 05 02 02 00 14 00",
                  "01 05 BB | 00 00 05 01 02 4E 20 00", "01 08 BB | 00 00 05 05 04"}));
    EXPECT_FALSE(Control("speaker_20")->isVisibleTo(window.get()));
    EXPECT_TRUE(Control("speaker_19")->isVisibleTo(window.get()));
}

TEST_F(Outputs, RoutingAnInputAtLevelZeroRaisesIt) {
    DspState s = test::ConnectedDefaults();
    s.inputs[5][2] = 1;
    s.inputMixVolume[5][1][2] = 0;
    OpenWith(s);
    Click("option_ch_in2_2");
    EXPECT_EQ(Controller().Live().inputs[5][2], 3);
    EXPECT_EQ(AllSetters(), (std::vector<std::string>{"01 0B BB | 00 05 02 02 03",
                                                      "01 24 BB | 00 05 01 02 02 64"}));
    EXPECT_EQ(Controller().Live().inputMixVolume[5][1][2], 100);
}

TEST_F(Outputs, TwoChannelSourceHidesTheOtherInputs) {
    OpenWith(test::ConnectedDefaults());
    for (int n = 0; n < kOutputChannels; ++n)
        ASSERT_TRUE(Control(QString::asprintf("option_ch_in5_%d", n))->isVisibleTo(window.get()));
    Control<QComboBox>("btn_input_source")->setCurrentIndex(3);  // AUX, two inputs
    for (int n = 0; n < kOutputChannels; ++n) {
        for (int k = 1; k <= 6; ++k)
            EXPECT_EQ(
                Control(QString::asprintf("option_ch_in%d_%d", k, n))->isVisibleTo(window.get()),
                k <= 2)
                << n << k;
    }
    ASSERT_TRUE(test::WaitUntil([&] { return !Setters().empty(); }, 5000));
    EXPECT_EQ(Setters().front(), "01 01 BB | 54");  // sent at once, not queued
    // The amplifier holds another volume for the new source: the window asks for it
    // and shows it.
    AmpLiveState live = amp.LiveState();
    live.mainVolume = static_cast<std::uint8_t>(-23);
    amp.SetLiveState(live);
    auto* slider = Control<QAbstractSlider>("slider_main_volume");
    ASSERT_NE(slider, nullptr);
    const int position = MainVolumeFromReported(-23.0);  // 7
    ASSERT_NE(slider->value(), position);
    EXPECT_TRUE(test::WaitUntil([&] { return slider->value() == position; }, 5000))
        << slider->value();
    EXPECT_EQ(Text("edit_main_volume"), QString::number(position));
}

TEST_F(Outputs, ReportedSourceShowsItsInputsWithoutSwitchingBack) {
    DspState s = test::ConnectedDefaults();
    s.inputSource = 3;
    OpenWith(s);
    EXPECT_EQ(Control<QComboBox>("btn_input_source")->currentIndex(), 3);
    EXPECT_TRUE(Control("option_ch_in2_4")->isVisibleTo(window.get()));
    EXPECT_FALSE(Control("option_ch_in3_4")->isVisibleTo(window.get()));
    EXPECT_TRUE(AllSetters().empty());
}

TEST_F(Outputs, UnknownMenuItemOnlyLogs) {
    OpenWith(test::ConnectedDefaults());
    PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {}, QStringLiteral("scene_item_unknown"));
    PostWindowMessage(window.get(), WM_MENU_COMMAND, 0, {}, QStringLiteral("output_menu_front"));
    QApplication::processEvents();
    EXPECT_TRUE(AllSetters().empty());
    EXPECT_TRUE(prompts.texts.isEmpty());
    EXPECT_EQ(Key("ch_output_btn_0"), SpeakerRole(6).longText);
}

TEST_F(Outputs, ArrowsMoveAlongTheRingAndLeavingAnEditCommitsIt) {
    OpenWith(test::ConnectedDefaults());
    Activate();
    auto* volume = Control<QLineEdit>("edit_ch_volume_7");
    volume->setFocus();
    ASSERT_TRUE(test::WaitUntil([&] { return volume->hasFocus(); }, 2000));
    volume->selectAll();
    QTest::keyClicks(volume, "-5");
    QTest::keyClick(volume, Qt::Key_Right);  // no Enter: leaving commits
    ASSERT_TRUE(test::WaitUntil([&] { return Control("edit_ch_delay_0")->hasFocus(); }, 2000));
    EXPECT_FLOAT_EQ(Controller().Live().channels[7].gain, -5.0f);
    EXPECT_TRUE(Control("slider_ch_delay_0")->isVisible());  // the delay slider of the focused edit
    QTest::keyClick(Control("edit_ch_delay_0"), Qt::Key_Left);
    ASSERT_TRUE(test::WaitUntil([&] { return volume->hasFocus(); }, 2000));
    EXPECT_FALSE(Control("slider_ch_delay_0")->isVisible());
    QTest::keyClick(volume, Qt::Key_Escape);  // the main window ignores Esc
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Controller().IsConnected());
    const auto sent = AllSetters();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "01 08 BB | 00 00 07 07 05"), sent.end());
}

TEST_F(Outputs, DraggingAVolumeSliderSendsEveryPosition) {
    OpenWith(test::ConnectedDefaults());
    window->resize(1400, 800);
    window->show();
    auto* slider = Control<QAbstractSlider>("slider_ch_volume_2");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    test::DragHandle(slider, -300, 6);
    const float gain = Controller().Live().channels[2].gain;
    EXPECT_FLOAT_EQ(gain, slider->value() / 10.0f);
    EXPECT_LT(gain, -10.0f);
    const auto sent = AllSetters();
    EXPECT_GE(sent.size(), 3u);  // the positions on the way, not only the last
    for (const std::string& s : sent) EXPECT_EQ(s.substr(0, 20), "01 08 BB | 00 00 02 ");
    EXPECT_EQ(Controller().Live().currChannel, 2);  // dragging an output makes it current
}

}  // namespace
}  // namespace kavelo
