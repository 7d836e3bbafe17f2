// Crossover and EQ edits of the current output: limits, followers and the order
// of the commands.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ModelStates.h"
#include "control/DspOperations.h"
#include "control/EqOperations.h"

namespace kavelo {
namespace {

void ExpectCommands(const DspCommands& got, const DspCommands& want) {
    ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(got);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "command " << i << ": " << got[i] << " vs " << want[i];
}

EqCmd Band(const DspState& s, int channel, int b, float gain) {
    const EqBand& band = s.channels[channel].bands[b];
    return EqCmd{channel, b, band.freq, band.eqFactor, gain};
}

// Outputs 1 and 2 as link partners (front left / right full range).
DspState Linked() {
    DspState s = test::FactoryState();
    s.outputs[1] = 6;
    s.outputs[2] = 12;
    s.outputs[0] = 0;
    s.linkMode = s.lockMode = 1;
    ComputeLinkPairs(s);
    s.currChannel = 1;
    return s;
}

// ---- crossover

struct CornerCase {
    int typed;
    int lowPass;
    int stored;
};

TEST(Crossover, TypedHighPassIsLimitedByTheLowPassAndTheRange) {
    for (const CornerCase& c : {CornerCase{30000, 20000, 20000}, CornerCase{10, 20000, 20},
                                CornerCase{5000, 4000, 4000}, CornerCase{25000, 20000, 20000}}) {
        DspState s = test::FactoryState();
        s.channels[0].crossover.lp.fs = c.lowPass;
        EXPECT_EQ(LimitHighPass(s, 0, c.typed), c.stored) << c.typed;
    }
    DspState s = test::FactoryState();
    s.channels[0].crossover.hp.fs = 300;
    EXPECT_EQ(LimitLowPass(s, 0, 100), 300);
    EXPECT_EQ(LimitLowPass(s, 0, 99999), 20000);
}

TEST(Crossover, FollowersAndTheOrderOfTyped) {
    DspState s = Linked();
    s.syncFlags[4] = 1;  // synchronised with nothing: output 1 is not synchronised
    const OutputEdit e = ChangeFilter(s, kHighPassFilter, FilterChange{250, {}, {}}, false);
    EXPECT_EQ(s.channels[2].crossover.hp.fs, 250);
    EXPECT_EQ(s.channels[4].crossover.hp.fs, 4000);  // its role's own, untouched
    ExpectCommands(e.commands, {FilterOf(s, 1, kHighPassFilter), FilterOf(s, 2, kHighPassFilter)});
}

TEST(Crossover, SynchronisedFollowersGoFirstUnlessDragged) {
    for (bool dragged : {false, true}) {
        DspState s = test::FactoryState();
        s.syncFlags[0] = s.syncFlags[3] = 1;
        const OutputEdit e = ChangeFilter(s, kLowPassFilter, FilterChange{{}, 6, 3}, dragged);
        EXPECT_EQ(s.channels[3].crossover.lp.slope, 6);
        EXPECT_EQ(s.channels[3].crossover.lp.type, 3);
        const FilterCmd cur = FilterOf(s, 0, kLowPassFilter);
        const FilterCmd follower = FilterOf(s, 3, kLowPassFilter);
        if (dragged)
            ExpectCommands(e.commands, {cur, follower});
        else
            ExpectCommands(e.commands, {follower, cur});
    }
}

TEST(Crossover, CornerStepsStopAtTheEndsAndTheOtherFilter) {
    DspState s = test::FactoryState();
    s.channels[0].crossover.hp.fs = 1000;
    s.channels[0].crossover.lp.fs = 1010;
    EXPECT_EQ(HighPassStep(s, 0, true), 1010);  // 1026 would pass the low-pass
    EXPECT_EQ(HighPassStep(s, 0, false), 957);
    EXPECT_EQ(LowPassStep(s, 0, false), 1000);
    s.channels[0].crossover.lp.fs = 20000;
    EXPECT_FALSE(LowPassStep(s, 0, true));
    s.channels[0].crossover.hp.fs = 20;
    EXPECT_FALSE(HighPassStep(s, 0, false));
}

// ---- bands

TEST(Bands, EditValuesFromTheThreeEdits) {
    EqBand stored{0.0f, 5.8f, 630, 1};
    BandValues v = BandFromEdits(stored, "1K2", "12", "15", -18.0f, 12.0f);
    EXPECT_EQ(v.freq, 1200);
    EXPECT_FLOAT_EQ(v.q, 9.0f);
    EXPECT_FLOAT_EQ(v.gain, 12.0f);
    EXPECT_TRUE(v.gainLimited);
    v = BandFromEdits(stored, "25000", "0.1", "-3.5", -18.0f, 12.0f);
    EXPECT_EQ(v.freq, 630);  // out of range keeps the stored frequency
    EXPECT_FLOAT_EQ(v.q, 0.5f);
    EXPECT_FALSE(v.gainLimited);
    EXPECT_FALSE(v.refused);
    // An edit without a number keeps the value shown; the others still count.
    v = BandFromEdits(stored, "x", "q", "g", -18.0f, 12.0f);
    EXPECT_TRUE(v.refused);
    EXPECT_TRUE(SameAsShown(v, stored));
    v = BandFromEdits(stored, "1k", "", "2,5", -18.0f, 12.0f);
    EXPECT_TRUE(v.refused);
    EXPECT_EQ(v.freq, 1000);
    EXPECT_FLOAT_EQ(v.q, 5.8f);
    EXPECT_FLOAT_EQ(v.gain, 2.5f);
    EXPECT_FALSE(SameAsShown(v, stored));
}

TEST(Bands, ShownGainIsZeroWhileOffOrBypassed) {
    ChannelState ch{};
    ch.bypass = 0;
    ch.bands[4] = EqBand{3.0f, 2.0f, 500, 1};
    EXPECT_FLOAT_EQ(ShownBand(ch, 4).eqGain, 3.0f);
    ch.bands[4].enable = 0;
    EXPECT_FLOAT_EQ(ShownBand(ch, 4).eqGain, 0.0f);
    ch.bands[4].enable = 1;
    ch.bypass = 1;
    const EqBand shown = ShownBand(ch, 4);
    EXPECT_FLOAT_EQ(shown.eqGain, 0.0f);
    EXPECT_EQ(shown.freq, 500);
    EXPECT_FLOAT_EQ(shown.eqFactor, 2.0f);
}

TEST(Bands, Steps) {
    EXPECT_FLOAT_EQ(*BandQStep(8.98f, true), 9.0f);
    EXPECT_FLOAT_EQ(*BandQStep(8.5f, true), 8.6f);  // Q is kept in tenths
    EXPECT_FALSE(BandQStep(9.0f, true));
    EXPECT_FLOAT_EQ(*BandQStep(0.52f, false), 0.5f);
    EXPECT_FALSE(BandQStep(0.5f, false));
    EXPECT_EQ(*BandFreqStep(1000, true), 1026);
    EXPECT_FALSE(BandFreqStep(20000, true));
    EXPECT_FLOAT_EQ(*BandGainStep(11.95f, true, -18.0f, 12.0f), 12.0f);
    EXPECT_FALSE(BandGainStep(-18.0f, false, -18.0f, 12.0f));
}

TEST(Bands, BypassedOutputIsClearedBeforeTheFirstEdit) {
    DspState s = test::FactoryState();
    s.currChannel = 1;
    ChannelState& ch = s.channels[1];
    ch.bands[0].eqGain = 3.0f;
    ch.bands[7].eqGain = -2.0f;
    ch.bypass = 1;  // bypassed with its gains kept
    const EqBand b3 = ch.bands[3];
    const OutputEdit e = UpdateBand(s, 3, b3.freq, b3.eqFactor, 2.0f, BandPath::Edit);
    EXPECT_EQ(ch.bypass, 0);
    EXPECT_FLOAT_EQ(ch.bands[7].eqGain, 0.0f);
    ExpectCommands(e.commands, {Band(s, 1, 0, 0.0f), Band(s, 1, 7, 0.0f), PeqBypassCmd{1, 0},
                                Band(s, 1, 3, 2.0f)});
}

// A bypassed output keeps its gains hidden. Giving a band exactly its hidden
// value is still a change: the band becomes audible and the EQ comes back on.
TEST(Bands, ValueEqualToItsHiddenGainOnABypassedOutputIsKept) {
    struct Case {
        BandPath path;
        const char* name;
    };
    for (const Case& c : {Case{BandPath::Edit, "edit"}, Case{BandPath::Drag, "drag"}}) {
        DspState s = test::FactoryState();
        s.currChannel = 1;
        ChannelState& ch = s.channels[1];
        ch.bands[3].eqGain = 2.5f;
        ch.bands[7].eqGain = -2.0f;
        ch.bypass = 1;
        const EqBand b3 = ch.bands[3];
        const OutputEdit e = UpdateBand(s, 3, b3.freq, b3.eqFactor, 2.5f, c.path);
        EXPECT_FLOAT_EQ(ch.bands[3].eqGain, 2.5f) << c.name;
        EXPECT_FLOAT_EQ(ch.bands[7].eqGain, 0.0f) << c.name;
        EXPECT_EQ(ch.bypass, 0) << c.name;
        const DspCommands cleared = {Band(s, 1, 3, 0.0f), Band(s, 1, 7, 0.0f)};
        DspCommands want = cleared;
        if (c.path == BandPath::Edit) {
            want.insert(want.end(), {PeqBypassCmd{1, 0}, Band(s, 1, 3, 2.5f)});
        } else {
            want.insert(want.end(), {Band(s, 1, 3, 2.5f), PeqBypassCmd{1, 0}});
        }
        ExpectCommands(e.commands, want);
    }
}

TEST(Bands, QIsKeptOnTheTenthTheWireCarries) {
    struct Case {
        float given;
        float kept;
    };
    for (const Case& c : {Case{2.5f, 2.5f}, Case{0.7f, 0.7f}, Case{2.449f, 2.4f}, Case{2.45f, 2.5f},
                          Case{5.83f, 5.8f}, Case{0.2f, 0.5f}, Case{12.0f, 9.0f}}) {
        DspState s = test::FactoryState();
        s.channels[0].bypass = 0;
        const OutputEdit e = UpdateBand(s, 4, 500, c.given, 3.0f, BandPath::Drag);
        EXPECT_EQ(s.channels[0].bands[4].eqFactor, c.kept) << c.given;
        ExpectCommands(e.commands, {EqCmd{0, 4, 500, c.kept, 3.0f}});
    }
}

TEST(Bands, TypedAndSteppedQGoToTenths) {
    struct Typed {
        const char* text;
        float q;
    };
    const EqBand stored{0.0f, 5.8f, 1000, 1};
    for (const Typed& t : {Typed{"2.5", 2.5f}, Typed{"0.7", 0.7f}, Typed{"1.04", 1.0f},
                           Typed{"1.05", 1.1f}, Typed{"0.1", 0.5f}, Typed{"30", 9.0f}}) {
        EXPECT_EQ(BandFromEdits(stored, "1000", t.text, "0", -18.0f, 12.0f).q, t.q) << t.text;
    }
    struct Step {
        float from;
        bool up;
        std::optional<float> to;
    };
    for (const Step& st :
         {Step{5.8f, true, 5.9f}, Step{5.8f, false, 5.7f}, Step{8.98f, true, 9.0f},
          Step{8.5f, true, 8.6f}, Step{2.37f, true, 2.4f}, Step{2.37f, false, 2.3f},
          Step{0.55f, false, 0.5f}, Step{9.0f, true, std::nullopt}, Step{0.5f, false, std::nullopt},
          Step{0.5f, true, 0.6f}}) {
        EXPECT_EQ(BandQStep(st.from, st.up), st.to) << st.from << (st.up ? " up" : " down");
    }
}

TEST(Bands, OnlyGainBackToZeroBypassesTheEq) {
    DspState s = test::FactoryState();
    ChannelState& ch = s.channels[0];
    ch.bands[5].eqGain = 4.0f;
    ch.bypass = 0;
    const EqBand b5 = ch.bands[5];
    const OutputEdit e = UpdateBand(s, 5, b5.freq, b5.eqFactor, 0.0f, BandPath::Edit);
    EXPECT_EQ(ch.bypass, 1);
    ExpectCommands(e.commands, {PeqBypassCmd{0, 1}, Band(s, 0, 5, 0.0f)});
    // Unchanged values send nothing.
    EXPECT_TRUE(UpdateBand(s, 5, b5.freq, b5.eqFactor, 0.0f, BandPath::Edit).commands.empty());
}

TEST(Bands, SmallGainsKeepTheEqOn) {
    // Two half-decibel bands stay audible when a third goes back to zero.
    DspState s = test::FactoryState();
    ChannelState& ch = s.channels[0];
    ch.bands[1].eqGain = 0.5f;
    ch.bands[2].eqGain = -0.4f;
    ch.bands[5].eqGain = 4.0f;
    ch.bypass = 0;
    const EqBand b5 = ch.bands[5];
    UpdateBand(s, 5, b5.freq, b5.eqFactor, 0.0f, BandPath::Edit);
    EXPECT_EQ(ch.bypass, 0);
}

TEST(Bands, LinkModeEndsWithTheCurrentOutputThenThePartner) {
    DspState s = Linked();
    s.channels[1].bypass = s.channels[2].bypass = 1;
    const EqBand b = s.channels[1].bands[9];
    const OutputEdit e = UpdateBand(s, 9, 900, 2.5f, -6.0f, BandPath::Edit);
    EXPECT_FLOAT_EQ(s.channels[2].bands[9].eqGain, -6.0f);
    (void)b;
    ExpectCommands(e.commands, {PeqBypassCmd{1, 0}, PeqBypassCmd{2, 0},
                                EqCmd{1, 9, 900, 2.5f, -6.0f}, EqCmd{2, 9, 900, 2.5f, -6.0f}});
}

TEST(Bands, DragSendsTheCurrentOutputFirstAndIgnoresTheZeroLineWhenBypassed) {
    DspState s = test::FactoryState();
    s.syncFlags[0] = s.syncFlags[6] = 1;
    s.channels[0].bypass = 0;
    s.channels[6].bypass = 1;
    const EqBand b2 = s.channels[0].bands[2];
    const OutputEdit e = UpdateBand(s, 2, b2.freq, b2.eqFactor, 5.0f, BandPath::Drag);
    ExpectCommands(e.commands, {EqCmd{6, 2, b2.freq, b2.eqFactor, 5.0f},
                                EqCmd{0, 2, b2.freq, b2.eqFactor, 5.0f}, PeqBypassCmd{6, 0}});

    DspState flat = test::FactoryState();  // bypassed, every gain 0
    const EqBand f = flat.channels[0].bands[4];
    EXPECT_TRUE(UpdateBand(flat, 4, f.freq, f.eqFactor, 0.0005f, BandPath::Drag).commands.empty());
}

TEST(Bands, BandOutsideTheTableDoesNothing) {
    DspState s = test::FactoryState();
    s.channels[0].eqSize = 10;
    EXPECT_TRUE(UpdateBand(s, 12, 1000, 1.0f, 3.0f, BandPath::Edit).commands.empty());
    EXPECT_TRUE(UpdateBand(s, -1, 1000, 1.0f, 3.0f, BandPath::Edit).commands.empty());
}

TEST(Bands, EnableButtonSwitchesTheBandAndTheFollowersTakeIt) {
    DspState s = Linked();
    s.channels[1].bands[4].eqGain = 3.0f;
    OutputEdit e = ToggleBandEnable(s, 4, 3.0f);
    EXPECT_EQ(s.channels[1].bands[4].enable, 0);
    EXPECT_EQ(s.channels[2].bands[4].enable, 0);
    ExpectCommands(e.commands, {Band(s, 1, 4, 0.0f), Band(s, 2, 4, 0.0f)});
    e = ToggleBandEnable(s, 4, 0.0f);  // disabled: the slider shows 0
    EXPECT_EQ(s.channels[1].bands[4].enable, 1);
    ExpectCommands(e.commands, {Band(s, 1, 4, 3.0f), Band(s, 2, 4, 0.0f)});
}

TEST(WholeEq, BypassAndResetReachTheFollowers) {
    DspState s = Linked();
    ExpectCommands(SetEqBypass(s, 1).commands, {PeqBypassCmd{1, 1}, PeqBypassCmd{2, 1}});
    ExpectCommands(SetEqBypass(s, std::nullopt).commands, {PeqBypassCmd{1, 1}, PeqBypassCmd{2, 1}});

    s.channels[2].bands[0].eqGain = 5.0f;
    ExpectCommands(ResetEq(s).commands, {PeqResetCmd{{1, 2}}});
    EXPECT_FLOAT_EQ(s.channels[2].bands[0].eqGain, 0.0f);

    DspState synced = test::FactoryState();
    synced.syncFlags[0] = synced.syncFlags[5] = 1;
    synced.channels[5].bands[30].eqGain = -4.0f;
    const OutputEdit e = ResetEq(synced);
    ASSERT_EQ(e.commands.size(), 32u);  // 31 bands of output 5, then the reset
    EXPECT_EQ(e.commands[30], DspCommand(EqCmd{5, 30, 20000, 5.8f, 0.0f}));
    EXPECT_EQ(e.commands[31], DspCommand(PeqResetCmd{{0}}));
}

// ---- taking filters into an output

TEST(ReplaceBands, SetsTheListedBandsAndFlattensTheRestThroughTheBandUpdate) {
    DspState s = test::FactoryState();
    s.currChannel = 2;
    ChannelState& ch = s.channels[2];
    ch.bands[5].eqGain = 4.0f;  // an old correction the import must remove
    ch.bypass = 0;
    const OutputEdit edit = ReplaceBands(s, {{-3.0f, 2.0f, 100, 1}, {1.5f, 4.0f, 3000, 1}});
    ExpectCommands(edit.commands, {EqCmd{2, 0, 100, 2.0f, -3.0f}, EqCmd{2, 1, 3000, 4.0f, 1.5f},
                                   EqCmd{2, 5, ch.bands[5].freq, ch.bands[5].eqFactor, 0.0f}});
    EXPECT_EQ(ch.bands[0].freq, 100);
    EXPECT_EQ(ch.bands[1].eqGain, 1.5f);
    EXPECT_EQ(ch.bands[5].eqGain, 0.0f);
    EXPECT_EQ(ch.bypass, 0);
}

// Taking the same filters again into an output that was bypassed since: every
// band comes back, the first one too, and the EQ is on.
TEST(ReplaceBands, SameFiltersAgainOntoABypassedOutputKeepEveryBand) {
    DspState s = test::FactoryState();
    s.currChannel = 2;
    const std::vector<EqBand> filters = {{-3.0f, 2.0f, 100, 1}, {1.5f, 4.0f, 3000, 1}};
    ReplaceBands(s, filters);
    ChannelState& ch = s.channels[2];
    ASSERT_EQ(ch.bypass, 0);
    ch.bypass = 1;  // the bypass button: the gains stay, hidden
    const OutputEdit edit = ReplaceBands(s, filters);
    EXPECT_FLOAT_EQ(ch.bands[0].eqGain, -3.0f);
    EXPECT_FLOAT_EQ(ch.bands[1].eqGain, 1.5f);
    EXPECT_EQ(ch.bypass, 0);
    ExpectCommands(edit.commands,
                   {EqCmd{2, 0, 100, 2.0f, 0.0f}, EqCmd{2, 1, 3000, 4.0f, 0.0f}, PeqBypassCmd{2, 0},
                    EqCmd{2, 0, 100, 2.0f, -3.0f}, EqCmd{2, 1, 3000, 4.0f, 1.5f}});
}

TEST(ReplaceBands, ClearsABypassedEqAndReachesTheLinkPartner) {
    DspState s = Linked();
    const int partner = s.linkOutputs[1];
    ASSERT_GE(partner, 0);
    s.channels[1].bands[7].eqGain = 2.0f;  // hidden behind the bypass
    s.channels[1].bypass = 1;
    s.channels[partner].bypass = 1;
    const OutputEdit edit = ReplaceBands(s, {{-3.0f, 2.0f, 100, 1}});
    const DspCommands want = {
        EqCmd{1, 7, s.channels[1].bands[7].freq, s.channels[1].bands[7].eqFactor, 0.0f},
        PeqBypassCmd{1, 0},
        PeqBypassCmd{partner, 0},
        EqCmd{1, 0, 100, 2.0f, -3.0f},
        EqCmd{partner, 0, 100, 2.0f, -3.0f},
    };
    ExpectCommands(edit.commands, want);
    EXPECT_EQ(s.channels[partner].bands[0].freq, 100);
    EXPECT_EQ(s.channels[1].bypass, 0);
}

}  // namespace
}  // namespace kavelo
