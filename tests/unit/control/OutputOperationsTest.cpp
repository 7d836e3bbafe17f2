// Edits of whole outputs: the model they leave and the commands they send, in order.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ModelStates.h"
#include "control/DspOperations.h"
#include "control/OutputOperations.h"
#include "control/ParseNumber.h"
#include "control/RoleOperations.h"
#include "control/SpeakerRoles.h"
#include "device/DspEncoding.h"

namespace kavelo {
namespace {

// What the volume controls of `s` show when they mirror the model.
VolumeControls Mirror(const DspState& s) {
    VolumeControls c;
    for (int n = 0; n < kOutputChannels; ++n) {
        c.slider[n] = OutputGainToSlider(s.channels[n].gain);
        c.edit[n] = c.slider[n] <= c.minimum
                        ? -60.0f
                        : static_cast<float>(static_cast<int>(s.channels[n].gain));
    }
    return c;
}

TrimCmd Trim(int n, float gain) {
    TrimCmd c{n, n, {}};
    c.gainDb[n] = gain;
    return c;
}

DelayCmd Delay(int n, float ms) {
    DelayCmd c{n, n, {}};
    c.ms[n] = ms;
    return c;
}

void ExpectCommands(const DspCommands& got, const DspCommands& want) {
    ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(got);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "command " << i << ": " << got[i] << " vs " << want[i];
}

// ---- volume

struct TypedVolume {
    int typed;
    float stored;
    const char* shown;
};

TEST(OutputVolume, TypedNumbersAreClampedToTheSliderRange) {
    for (const TypedVolume& c : {TypedVolume{5, 0.0f, "0dB"}, TypedVolume{-70, -60.0f, "off"},
                                 TypedVolume{-12, -12.0f, "-12dB"}}) {
        SCOPED_TRACE(c.typed);
        DspState s = test::FactoryState();
        s.channels[2].gain = -3.0f;
        bool clamped = false;
        const OutputEdit e = SetChVolumeEdit(s, 2, c.typed, Mirror(s), &clamped);
        EXPECT_EQ(clamped, c.typed > 0 || c.typed < -60);
        EXPECT_FLOAT_EQ(s.channels[2].gain, c.stored);
        EXPECT_EQ(VolumeText(s.channels[2].gain, -600, "off"), c.shown);
        ExpectCommands(e.commands, {Trim(2, c.stored)});
    }
}

TEST(OutputVolume, UnchangedGainSendsNothing) {
    DspState s = test::FactoryState();
    s.channels[1].gain = -4.0f;
    EXPECT_TRUE(SetChVolumeSlider(s, 1, -40, Mirror(s)).commands.empty());
    EXPECT_TRUE(SetChVolumeEdit(s, 1, -4, Mirror(s)).commands.empty());
}

TEST(OutputVolume, SynchronisedOutputFollowsOnlyWhenItRemembered) {
    DspState s = test::FactoryState();
    s.channels[1].gain = -10.0f;
    s.channels[2].gain = -1.0f;
    s.syncFlags[1] = s.syncFlags[2] = 1;
    // Not remembered: output 2 keeps its volume.
    OutputEdit e = SetChVolumeSlider(s, 1, -70, Mirror(s));
    ExpectCommands(e.commands, {Trim(1, -7.0f)});
    EXPECT_FLOAT_EQ(s.channels[2].gain, -1.0f);

    // Remembered: +3 dB on output 1 moves output 2 by +3 dB, stopped at 0 dB.
    RememberSyncVolume(s, 2, true, Mirror(s));
    e = SetChVolumeSlider(s, 1, -40, Mirror(s));
    ExpectCommands(e.commands, {Trim(1, -4.0f), Trim(2, 0.0f)});
    EXPECT_EQ(e.volumeShown, 0b110);
    // The edited output's own remembered volume is refreshed on the way.
    EXPECT_EQ(s.syncVolumePos[1], -40);
    EXPECT_FLOAT_EQ(s.syncVolumeValue[1], -4.0f);
}

TEST(OutputVolume, TypedVolumeMovesFollowersFromTheirEdits) {
    DspState s = test::FactoryState();
    s.channels[0].gain = -20.0f;
    s.channels[3].gain = -30.0f;
    s.syncFlags[0] = s.syncFlags[3] = 1;
    VolumeControls shown = Mirror(s);
    RememberSyncVolume(s, 3, true, shown);
    shown.edit[3] = -25.0f;  // typed, not yet committed
    const OutputEdit e = SetChVolumeEdit(s, 0, -18, shown);
    ExpectCommands(e.commands, {Trim(0, -18.0f), Trim(3, -23.0f)});
}

TEST(OutputVolume, LinkPartnerFollowsFromItsSlider) {
    DspState s = test::FactoryState();
    s.outputs[0] = 6;
    s.outputs[1] = 12;
    s.linkMode = s.lockMode = 1;
    ComputeLinkPairs(s);
    s.channels[1].gain = -59.0f;
    const OutputEdit e = SetChVolumeSlider(s, 0, -50, Mirror(s));
    ExpectCommands(e.commands, {Trim(0, -5.0f), Trim(1, -60.0f)});
}

// ---- delay

TEST(OutputDelay, TypedDistanceIsLimitedToFifteenMilliseconds) {
    DspState s = test::FactoryState();
    const OutputEdit e = SetChDelayEdit(s, 4, 600.0, DelayUnit::Cm);
    EXPECT_FLOAT_EQ(s.channels[4].delay, 15.0f);
    EXPECT_EQ(DelayText(s.channels[4].delay, DelayUnit::Cm), "519.00 cm");
    ExpectCommands(e.commands, {Delay(4, 15.0f)});
    SetChDelayEdit(s, 4, -3.0, DelayUnit::In);
    EXPECT_FLOAT_EQ(s.channels[4].delay, 0.0f);
}

struct SliderDelay {
    int us;
    DelayUnit unit;
    const char* shown;
    float stored;
};

TEST(OutputDelay, SliderValueIsStoredAsTheEditShowsIt) {
    for (const SliderDelay& c : {SliderDelay{1234, DelayUnit::Ms, "1.234 ms", 1.234f},
                                 SliderDelay{15000, DelayUnit::Cm, "519.00 cm", 15.0f},
                                 SliderDelay{1000, DelayUnit::Cm, "34.60 cm", 34.60f * 15 / 519},
                                 SliderDelay{20000, DelayUnit::In, "204.00 in", 15.0f}}) {
        SCOPED_TRACE(c.shown);
        DspState s = test::FactoryState();
        std::string shown;
        SetChDelaySlider(s, 2, c.us, c.unit, &shown);
        EXPECT_EQ(shown, c.shown);
        EXPECT_NEAR(s.channels[2].delay, c.stored, 1e-5);
    }
}

// The edit shows the microseconds the amplifier gets, and committing what it shows
// gives the same microseconds back: leaving a delay edit never moves the delay.
TEST(OutputDelay, EveryShownDelayCommitsToItself) {
    for (DelayUnit unit : {DelayUnit::Ms, DelayUnit::Cm, DelayUnit::In}) {
        for (int us = 0; us <= 15000; ++us) {
            const float ms = static_cast<float>(us / 1000.0);
            const std::string text = DelayText(ms, unit);
            const std::optional<double> typed = ReadTypedNumber(text);
            ASSERT_TRUE(typed) << text;
            const float back = DelayFromTyped(*typed, unit);
            ASSERT_EQ(DelayToSlider(back), us) << text;
            ASSERT_EQ(DelayText(back, unit), text);
            const auto wire = EncodeDelay(back);
            ASSERT_EQ(wire[0] * 1000 + (wire[1] << 8 | wire[2]), us) << text;
        }
    }
}

// What the screen shows is what the amplifier gets, from the same microseconds: read
// back, typed or slid, whatever single precision makes of the number.
TEST(OutputDelay, ScreenAndWireShowTheSameMicroseconds) {
    struct Case {
        float ms;
        DelayUnit unit;
        const char* shown;
        std::array<std::uint8_t, 3> wire;
    };
    // A delay as a read-back reports it: whole milliseconds and microseconds beyond.
    const auto reported = [](int ms, int us) { return static_cast<float>(ms + us / 1000.0); };
    const Case cases[] = {
        {5.1f, DelayUnit::Cm, "176.46 cm", {5, 0x00, 0x64}},
        {reported(0, 183), DelayUnit::In, "2.49 in", {0, 0x00, 0xB7}},  // a preset read back
        {DelayFromTyped(2.49, DelayUnit::In), DelayUnit::In, "2.49 in", {0, 0x00, 0xB7}},
        {reported(14, 999), DelayUnit::Ms, "14.999 ms", {14, 0x03, 0xE7}},
        {0.0005f, DelayUnit::Ms, "0.001 ms", {0, 0x00, 0x01}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(DelayText(c.ms, c.unit), c.shown);
        EXPECT_EQ(EncodeDelay(c.ms), c.wire);
    }
    // A delay entering the model is already what the amplifier holds.
    EXPECT_EQ(DelayFromTyped(2.49, DelayUnit::In), 0.183f);
    DspState s = test::FactoryState();
    SetChDelaySlider(s, 3, 5100, DelayUnit::Cm, nullptr);
    EXPECT_EQ(s.channels[3].delay, 5.1f);
}

TEST(OutputDelay, FollowersMoveByTheDifferenceAndTheEditedOutputGoesLast) {
    DspState s = test::FactoryState();
    s.syncFlags[1] = s.syncFlags[2] = s.syncFlags[5] = 1;
    s.channels[1].delay = 2.0f;
    s.channels[2].delay = 14.0f;
    s.channels[5].delay = 0.5f;
    const OutputEdit e = SetChDelayEdit(s, 1, 4.0, DelayUnit::Ms);
    ExpectCommands(e.commands, {Delay(2, 15.0f), Delay(5, 2.5f), Delay(1, 4.0f)});
    EXPECT_EQ(e.delayShown, 0b100110);
}

// ---- synchronisation, link and lock

TEST(OutputSync, JoiningResendsFiltersAndTakesTheCurrentBypass) {
    DspState s = test::FactoryState();
    s.currChannel = 0;
    s.syncFlags[0] = 1;
    s.channels[0].bypass = 0;
    s.channels[3].bypass = 1;
    const OutputEdit e = SetChSynchronize(s, 3, true, Mirror(s));
    // The joining output remembers its volume and is sent it again.
    ExpectCommands(e.commands, {FilterOf(s, 3, kLowPassFilter), FilterOf(s, 3, kHighPassFilter),
                                PeqBypassCmd{3, 0}, Trim(3, 0.0f)});
    EXPECT_EQ(s.syncFlags[3], 1);
    EXPECT_EQ(s.syncVolumeValue[3], 0.0f);
    EXPECT_FALSE(ModeControlsOf(s).linkEnabled);

    const OutputEdit leave = SetChSynchronize(s, 3, false, Mirror(s));
    EXPECT_TRUE(leave.commands.empty());
    EXPECT_EQ(s.syncFlags[3], 0);
    EXPECT_EQ(s.syncVolumeValue[3], 1.0f);
}

DspState FrontPair() {
    DspState s = test::FactoryState();
    s.outputs[0] = 6;
    s.outputs[1] = 12;
    s.channels[0].bands[3].eqGain = 4.0f;
    s.channels[1].bands[3].eqGain = -2.0f;
    SetFilterFs(s.channels[0].crossover.hp, 100);
    SetFilterFs(s.channels[1].crossover.hp, 300);
    s.channels[0].delay = 1.0f;
    s.channels[1].delay = 3.0f;
    return s;
}

TEST(OutputLink, OnCopiesTheChosenSideAndSendsThePairs) {
    struct Case {
        int choice;
        int from;
        int to;
        std::vector<std::array<int, 2>> pairs;  // the default rear and subwoofer pairs too
    };
    for (const Case& c :
         {Case{1, 0, 1, {{0, 1}, {2, 3}, {6, 7}}}, Case{2, 1, 0, {{1, 0}, {3, 2}, {7, 6}}}}) {
        SCOPED_TRACE(c.choice);
        DspState s = FrontPair();
        const DspState before = s;
        ASSERT_EQ(LinkSwitchFor(s), LinkSwitch::On);
        const OutputEdit e = SwitchOutputLinkOn(s, c.choice, Mirror(s), DelayUnit::Ms);
        EXPECT_EQ(s.linkMode, 1);
        EXPECT_EQ(s.lockMode, 1);
        EXPECT_EQ(s.linkOutputs[0], 1);
        EXPECT_EQ(s.linkOutputs[1], 0);
        EXPECT_FLOAT_EQ(s.channels[c.to].bands[3].eqGain, before.channels[c.from].bands[3].eqGain);
        EXPECT_EQ(s.channels[c.to].crossover.hp.fs, before.channels[c.from].crossover.hp.fs);
        // The current output's delay is applied again, its partner follows by 0 ms.
        ExpectCommands(e.commands,
                       {LockCmd{1}, Delay(1, 3.0f), Delay(0, 1.0f), LinkCmd{1, c.pairs}});
        const ModeControls m = ModeControlsOf(s);
        EXPECT_FALSE(m.syncEnabled);
        EXPECT_FALSE(m.roleButtonsEnabled);
    }
}

TEST(OutputLink, OffEndsLockAndRefusalSendsLinkOff) {
    DspState s = FrontPair();
    SwitchOutputLinkOn(s, 1, Mirror(s), DelayUnit::Ms);
    ASSERT_EQ(LinkSwitchFor(s), LinkSwitch::Off);
    ExpectCommands(SwitchOutputLinkOff(s).commands, {LockCmd{0}, LinkCmd{0, {}}});
    EXPECT_EQ(s.lockMode, 0);
    EXPECT_EQ(s.linkOutputs[0], -1);

    DspState lone = test::FactoryState();
    lone.outputs = {6, 0, 0, 0, 19, 0, 12, 24};  // 6's mirror sits in the other group
    ASSERT_EQ(LinkSwitchFor(lone), LinkSwitch::Refused);
    ExpectCommands(RefuseOutputLink(lone).commands, {LinkCmd{0, {}}});
}

TEST(OutputLock, AnsweredQuestionTogglesAndUnlockEndsLinkFirst) {
    DspState s = FrontPair();
    SwitchOutputLinkOn(s, 1, Mirror(s), DelayUnit::Ms);
    // Declining to unlock keeps everything and sends the lock again.
    ExpectCommands(SetOutputLock(s, false).commands, {LockCmd{1}});
    EXPECT_EQ(s.linkMode, 1);
    ExpectCommands(SetOutputLock(s, true).commands, {LinkCmd{0, {}}, LockCmd{0}});
    EXPECT_EQ(s.linkMode, 0);
    EXPECT_EQ(s.linkOutputs[1], -1);
    ExpectCommands(SetOutputLock(s, true).commands, {LockCmd{1}});
    EXPECT_FALSE(ModeControlsOf(s).roleButtonsEnabled);
}

TEST(OutputSelection, ChannelButtonsAndSpeakersOfTheCurrentOutput) {
    DspState s = FrontPair();
    s.syncFlags[4] = 1;
    EXPECT_EQ(SelectedChannelButtons(s, 2), 0b10100);
    EXPECT_EQ(SelectedSpeakers(s, 0), 1u << 6);
    SwitchOutputLinkOn(s, 1, Mirror(s), DelayUnit::Ms);
    EXPECT_EQ(SelectedChannelButtons(s, 0), 0b10011);
    EXPECT_EQ(SelectedSpeakers(s, 0), (1u << 6) | (1u << 12));
    s.outputs[0] = 0;
    EXPECT_EQ(SelectedSpeakers(s, 0), 0u);
}

// ---- reset, main volume, power

TEST(OutputReset, DefaultOrEmptyRolesThenLockLinkAndAllGains) {
    for (int result : {1, 2}) {
        SCOPED_TRACE(result);
        DspState s = FrontPair();
        s.channels[3].gain = -7.0f;
        SwitchOutputLinkOn(s, 1, Mirror(s), DelayUnit::Ms);
        const OutputEdit e = SetOutputReset(s, result);
        ASSERT_EQ(e.commands.size(), 8u * 4 + 3);
        for (int n = 0; n < kOutputChannels; ++n) {
            const int role = result == 1 ? kDefaultRoles[n] : 0;
            EXPECT_EQ(s.outputs[n], role);
            EXPECT_EQ(e.commands[4 * n], DspCommand(ChannelTypeCmd{n, role}));
        }
        TrimCmd all{0, 7, {}};
        all.gainDb[3] = -7.0f;
        ExpectCommands({e.commands.end() - 3, e.commands.end()}, {LockCmd{0}, LinkCmd{0, {}}, all});
        EXPECT_EQ(s.linkMode, 0);
        EXPECT_EQ(s.lockMode, 0);
    }
    DspState untouched = FrontPair();
    EXPECT_TRUE(SetOutputReset(untouched, 0).commands.empty());
    EXPECT_EQ(untouched.outputs[0], 6);
}

TEST(MainVolume, PositionIsLimitedAndSent) {
    DspState s = test::FactoryState();
    for (int p : {40, 0, 1, 20}) {
        ExpectCommands(SetMainVolume(s, p).commands, {MainVolumeCmd{p}});
        EXPECT_EQ(s.mainVolume, p);
    }
    SetMainVolume(s, 55);
    EXPECT_EQ(s.mainVolume, 40);
    ExpectCommands(SetMainMute(s, true).commands, {MainMuteCmd{1}});
    ExpectCommands(SetAmpPower(s, 0).commands, {AmpMuteCmd{1}});
    EXPECT_EQ(s.ampPower, 0);
}

// ---- roles and routing

TEST(Roles, MenuItemGivesTheRoleWithItsDefaultCrossover) {
    DspState s = test::FactoryState();
    s.channels[5].gain = -2.0f;
    const int role = RoleFromMenuItem("output_item_empty");
    ASSERT_EQ(role, 0);
    const OutputEdit e = SetOutputValue(s, 5, role);
    EXPECT_EQ(s.outputs[5], 0);
    const Crossover& x = s.channels[5].crossover;
    EXPECT_EQ(x.hp.fs, 20);
    EXPECT_EQ(x.lp.fs, 20000);
    EXPECT_EQ(x.hp.slope, 0);
    EXPECT_EQ(x.lp.slope, 0);
    ExpectCommands(e.commands, {ChannelTypeCmd{5, 0}, FilterCmd{5, kHighPassFilter, 2, 20, 0},
                                FilterCmd{5, kLowPassFilter, 2, 20000, 0}, Trim(5, -2.0f)});
    EXPECT_EQ(RoleFromMenuItem("output_menu_subwoof_low"), 24);
    EXPECT_EQ(RoleFromMenuItem("output_menu_front"), -1);  // a heading, no role
}

TEST(Routing, SelectingAnInputAtLevelZeroRaisesItToFull) {
    DspState s = test::FactoryState();
    s.inputSource = 5;
    s.inputs[5][2] = 0;
    s.inputMixVolume[5][1][2] = 0;
    OutputEdit e = SetChInput(s, 2, 2, true);
    EXPECT_EQ(s.inputs[5][2], 0b10);
    EXPECT_EQ(s.inputMixVolume[5][1][2], 100);
    ExpectCommands(e.commands, {MixCmd{5, 2, 0b10}, InputMixTrimCmd{5, 1, 2, 100}});

    s.inputMixVolume[5][0][2] = 40;
    e = SetChInput(s, 2, 1, true);
    ExpectCommands(e.commands, {MixCmd{5, 2, 0b11}});
    e = SetChInput(s, 2, 2, false);  // clearing keeps the level
    ExpectCommands(e.commands, {MixCmd{5, 2, 0b01}});
    EXPECT_EQ(s.inputMixVolume[5][1][2], 100);
}

TEST(Routing, SourceSwitchAndOptionLooks) {
    DspState s = test::FactoryState();
    const auto cmd = SetInputSource(s, 3);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->deviceCode, 0x54);
    EXPECT_EQ(s.inputSource, 3);
    EXPECT_FALSE(SetInputSource(s, 9));
    EXPECT_EQ(s.inputSource, 3);

    const InputOptionLooks two = InputOptionLooksFor(3);
    ASSERT_TRUE(two.changes);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(two.option[k].visible, k < 2) << k;
    EXPECT_FALSE(two.option[2].enabled);
    const InputOptionLooks six = InputOptionLooksFor(5);
    for (const InputOptionLook& o : six.option) EXPECT_TRUE(o.enabled && o.visible);
    EXPECT_FALSE(InputOptionLooksFor(1).changes);
}

}  // namespace
}  // namespace kavelo
