#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/SpeakerRoles.h"

namespace kavelo {
namespace {

TEST(DspDefaults, ChannelsTakeTheirRoleCrossovers) {
    DspState s;
    EXPECT_EQ(s.model, -1);
    EXPECT_EQ(s.mainVolume, -5);
    EXPECT_EQ(s.inputThreshold, -60);
    const Crossover& sub = s.channels[6].crossover;
    EXPECT_EQ(sub.hp.fs, 20);
    EXPECT_EQ(sub.hp.slope, 4);
    EXPECT_EQ(sub.lp.fs, 70);
    EXPECT_EQ(sub.lp.slope, 4);
    EXPECT_EQ(sub.bpType, 3);
    const Crossover& tw = s.channels[4].crossover;
    EXPECT_EQ(tw.hp.fs, 4000);
    EXPECT_EQ(tw.hp.slope, 4);
    EXPECT_EQ(tw.lp.slope, 0);
    EXPECT_EQ(tw.lp.bypass, 1);
    EXPECT_EQ(tw.bpType, 1);
    for (int o = 0; o < kOutputChannels; ++o) {
        EXPECT_EQ(s.outputs[o], kDefaultRoles[o]);
        EXPECT_EQ(s.channels[o].bypass, 1);
        EXPECT_EQ(s.channels[o].bands[17].freq, 1000);
        EXPECT_FLOAT_EQ(s.channels[o].bands[0].eqFactor, 5.8f);
        EXPECT_EQ(s.channels[o].crossover.hp.type, 2);
    }
    EXPECT_EQ(s.inputs[4][2], 4);  // row B
    EXPECT_EQ(s.inputs[0][2], 1);  // row A
    EXPECT_EQ(s.crossSource[3][5], 9);
    EXPECT_EQ(s.inputMixVolume[8][7][7], 100);
}

TEST(DspDefaults, ResetKeepsSyncFlagsAndFlashVersion) {
    DspState s;
    s.syncFlags[3] = 1;
    s.flashVersion[2] = 7;
    s.autoEffect = 1;
    s.model = 87;
    s.channels[2].bands[4].eqGain = 3.0f;
    ResetToDefaults(s);
    EXPECT_EQ(s.syncFlags[3], 1);
    EXPECT_EQ(s.flashVersion[2], 7);
    EXPECT_EQ(s.autoEffect, 1);
    EXPECT_EQ(s.model, -1);
    EXPECT_EQ(s.channels[2].bands[4].eqGain, 0.0f);
}

TEST(DspSetters, MapOutOfRangeValues) {
    CrossoverFilter f;
    SetFilterFs(f, 25000);
    EXPECT_EQ(f.fs, 20);
    SetFilterFs(f, 20000);
    EXPECT_EQ(f.fs, 20000);
    SetFilterFs(f, 19);
    EXPECT_EQ(f.fs, 20);
    SetFilterType(f, 0);
    EXPECT_EQ(f.type, 1);
    SetFilterType(f, 3);
    EXPECT_EQ(f.type, 3);
    SetFilterSlope(f, -2);
    EXPECT_EQ(f.slope, 0);
    EXPECT_EQ(f.bypass, 1);
    SetFilterSlope(f, 3);
    EXPECT_EQ(f.bypass, 0);
}

TEST(InitBandsTest, ListChosenByCount) {
    EqBand b[31];
    InitBands(b, 11);
    EXPECT_EQ(b[4].freq, 315);
    EXPECT_EQ(b[10].freq, 20000);
    InitBands(b, 21);
    EXPECT_EQ(b[7].freq, 220);
    InitBands(b, 12);
    EXPECT_EQ(b[11].freq, 890);
    InitBands(b, 31);
    EXPECT_EQ(b[2].freq, 31);
    EXPECT_EQ(b[30].freq, 20000);
}

struct RoleCase {
    int role;
    int mirror;
    int hpFs, hpSlope, lpFs, lpSlope, bpType;
};
void PrintTo(const RoleCase& c, std::ostream* os) { *os << "role" << c.role; }
class RoleTable : public testing::TestWithParam<RoleCase> {};
TEST_P(RoleTable, MirrorAndDefaultCrossover) {
    const RoleCase& c = GetParam();
    EXPECT_EQ(MirrorRole(c.role), c.mirror);
    EXPECT_EQ(SpeakerRole(c.role).mirror, c.mirror);
    const Crossover x = DefaultCrossover(c.role);
    EXPECT_EQ(x.hp.fs, c.hpFs);
    EXPECT_EQ(x.hp.slope, c.hpSlope);
    EXPECT_EQ(x.lp.fs, c.lpFs);
    EXPECT_EQ(x.lp.slope, c.lpSlope);
    EXPECT_EQ(x.bpType, c.bpType);
    if (c.mirror != 0) {
        EXPECT_EQ(MirrorRole(c.mirror), c.role);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Roles, RoleTable,
    testing::Values(RoleCase{0, 0, 20, 0, 20000, 0, 0}, RoleCase{1, 7, 4000, 4, 20000, 0, 1},
                    RoleCase{2, 8, 500, 4, 4000, 4, 3}, RoleCase{5, 11, 80, 4, 4000, 4, 3},
                    RoleCase{12, 6, 20, 4, 20000, 0, 1}, RoleCase{13, 16, 4000, 4, 20000, 0, 1},
                    RoleCase{17, 14, 80, 4, 500, 4, 3}, RoleCase{19, 0, 4000, 4, 20000, 0, 1},
                    RoleCase{20, 0, 80, 4, 500, 4, 3}, RoleCase{22, 23, 20, 4, 70, 4, 3},
                    RoleCase{24, 0, 20, 4, 70, 4, 3}, RoleCase{25, 0, 20, 0, 20000, 0, 0},
                    RoleCase{-3, 0, 20, 0, 20000, 0, 0}));

TEST(RoleTableText, NamesAndTexts) {
    EXPECT_STREQ(SpeakerRole(4).menuItem, "output_menu_front_left_mid_high_freq");
    EXPECT_STREQ(SpeakerRole(20).shortText, "${midrange}");
    EXPECT_STREQ(SpeakerRole(24).longText, "${subwoofer_freq}");
    EXPECT_EQ(SpeakerRole(22).bandMask, 4);
    EXPECT_STREQ(OutputMenuHeading(7).menuItem, "output_menu_subwoof");
}

struct AvailCase {
    const char* name;
    int roles[8];
    int output;
    int role;
    bool available;
};
void PrintTo(const AvailCase& c, std::ostream* os) { *os << c.name; }
class RoleAvailability : public testing::TestWithParam<AvailCase> {};
TEST_P(RoleAvailability, Table) {
    const AvailCase& c = GetParam();
    DspState s;
    for (int o = 0; o < 8; ++o) s.outputs[o] = c.roles[o];
    EXPECT_EQ(IsRoleAvailable(s, c.output, c.role), c.available);
}
INSTANTIATE_TEST_SUITE_P(
    Availability, RoleAvailability,
    testing::Values(AvailCase{"TweeterVsFull", {6, 0, 0, 0, 0, 0, 0, 0}, 2, 1, false},
                    AvailCase{"OwnOutputIgnored", {6, 0, 0, 0, 0, 0, 0, 0}, 0, 1, true},
                    AvailCase{"SubLeftBesideRight", {0, 0, 0, 0, 0, 0, 0, 23}, 2, 22, true},
                    AvailCase{"MonoSubVsRight", {0, 0, 0, 0, 0, 0, 0, 23}, 2, 24, false},
                    AvailCase{"MonoSubVsLeft", {0, 0, 0, 0, 0, 0, 22, 0}, 2, 24, false},
                    AvailCase{"EmptyAlways", {6, 6, 6, 6, 6, 6, 6, 6}, 2, 0, true},
                    AvailCase{"OtherGroupFree", {6, 0, 0, 0, 0, 0, 0, 0}, 2, 7, true},
                    AvailCase{"MidBesideTweeter", {1, 0, 0, 0, 0, 0, 0, 0}, 2, 2, true}));

struct LinkCase {
    const char* name;
    int roles[8];
    int links[8];
    bool linkable;
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
class LinkPairs : public testing::TestWithParam<LinkCase> {};
TEST_P(LinkPairs, Table) {
    const LinkCase& c = GetParam();
    DspState s;
    for (int o = 0; o < 8; ++o) s.outputs[o] = c.roles[o];
    ComputeLinkPairs(s);
    for (int o = 0; o < 8; ++o) EXPECT_EQ(s.linkOutputs[o], c.links[o]) << "output " << o;
    EXPECT_EQ(HasLinkablePair(s), c.linkable);
}
INSTANTIATE_TEST_SUITE_P(
    Links, LinkPairs,
    testing::Values(
        LinkCase{"FrontPair", {6, 12, 0, 0, 0, 0, 0, 0}, {1, 0, -1, -1, -1, -1, -1, -1}, true},
        LinkCase{
            "AcrossGroups", {6, 0, 0, 0, 0, 0, 12, 0}, {-1, -1, -1, -1, -1, -1, -1, -1}, false},
        LinkCase{"Defaults", {6, 12, 15, 18, 19, 20, 22, 23}, {1, 0, 3, 2, -1, -1, 7, 6}, true},
        LinkCase{"CentreAndMonoSub",
                 {19, 24, 21, 0, 0, 0, 24, 0},
                 {-1, -1, -1, -1, -1, -1, -1, -1},
                 false}));

TEST(CopyOutputConfigTest, CopiesBandsFiltersAndBypassOnly) {
    DspState s;
    ChannelState& from = s.channels[0];
    from.bands[3].eqGain = 4.5f;
    from.bands[3].enable = 0;
    from.crossover.hp.fs = 30000;  // out of range: the setter stores 20
    from.crossover.hp.slope = 6;
    from.crossover.hp.type = 3;
    from.bypass = 0;
    from.gain = -10.0f;
    from.delay = 2.0f;
    from.crossover.bpType = 0;
    CopyOutputConfig(s, 0, 5);
    const ChannelState& to = s.channels[5];
    EXPECT_EQ(to.bands[3].eqGain, 4.5f);
    EXPECT_EQ(to.bands[3].enable, 0);
    EXPECT_EQ(to.crossover.hp.fs, 20);
    EXPECT_EQ(to.crossover.hp.slope, 6);
    EXPECT_EQ(to.crossover.hp.bypass, 0);
    EXPECT_EQ(to.crossover.hp.type, 3);
    EXPECT_EQ(to.bypass, 0);
    EXPECT_EQ(to.gain, 0.0f);
    EXPECT_EQ(to.delay, 0.0f);
    EXPECT_EQ(to.crossover.bpType, 3);
    // Out of range: nothing happens (the whole state, as a profile writes it).
    const std::string before = SceneProfileText(s);
    for (const auto& [from, to] : {std::pair{0, 9}, std::pair{-1, 5}, std::pair{0, 8}}) {
        CopyOutputConfig(s, from, to);
        EXPECT_EQ(SceneProfileText(s), before) << from << " -> " << to;
    }
}

TEST(InputSources, Table) {
    const int counts[9] = {2, 0, 2, 2, 0, 6, 2, 0, 0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(InputChannelCount(i), counts[i]);
        EXPECT_EQ(InputSource(i)->deviceCode, 0x51 + i);
        EXPECT_EQ(InputSourceFromDeviceCode(0x51 + i), i);
    }
    EXPECT_EQ(InputChannelCount(9), 0);
    EXPECT_EQ(InputChannelCount(-1), 0);
    EXPECT_EQ(InputSourceFromDeviceCode(0x50), 4);
    EXPECT_EQ(InputSourceFromDeviceCode(0x5A), 4);
    EXPECT_FALSE(InputSource(1)->visible);
    EXPECT_TRUE(InputSource(5)->visible);
    EXPECT_STREQ(InputSource(6)->itemName, "source_dmp");
}

TEST(FrequencyStepTest, LogarithmicSteps) {
    EXPECT_EQ(FrequencyStep(1000, true), 1026);
    EXPECT_EQ(FrequencyStep(1000, false), 957);
    EXPECT_EQ(FrequencyStep(20000, true), 20000);
    EXPECT_EQ(FrequencyStep(20, false), 20);
    // Near 20 Hz one position can round to the same value: the step doubles.
    for (int f = 20; f < 20000; f = FrequencyStep(f, true)) {
        const int next = FrequencyStep(f, true);
        ASSERT_GT(next, f);
    }
}

TEST(Conversions, GainVolumeDelay) {
    EXPECT_EQ(OutputGainToSlider(-12.0f), -120);
    EXPECT_EQ(OutputGainToSent(-12.0f), 12.0f);
    EXPECT_DOUBLE_EQ(MainVolumeDb(0), -60.0);
    EXPECT_DOUBLE_EQ(MainVolumeDb(40), 6.0);
    EXPECT_NEAR(MainVolumeDb(10), -18.75, 1e-12);
    EXPECT_NEAR(MainVolumeSent(10), 24.75, 1e-12);
    for (int p = 1; p < 40; ++p) {
        // A reported level converts back to the position it came from; the
        // floor can land one below when the power rounds down.
        const int back = MainVolumeFromReported(MainVolumeDb(p) + 1e-9);
        EXPECT_EQ(back, p);
    }
    EXPECT_EQ(MainVolumeFromReported(100.0), 40);
    EXPECT_EQ(MainVolumeFromReported(-1000.0), 0);
    EXPECT_EQ(DelayToSlider(1.5f), 1500);
    EXPECT_NEAR(DelayShown(15.0f, DelayUnit::Cm), 519.0, 1e-9);
    EXPECT_NEAR(DelayShown(15.0f, DelayUnit::In), 204.0, 1e-9);
    EXPECT_NEAR(DelayShown(1.0f, DelayUnit::Cm), 34.6, 1e-9);
    EXPECT_FLOAT_EQ(DelayFromTyped(519.0, DelayUnit::Cm), 15.0f);
    EXPECT_FLOAT_EQ(DelayFromTyped(102.0, DelayUnit::In), 7.5f);
    EXPECT_FLOAT_EQ(DelayFromTyped(-3.0, DelayUnit::Ms), 0.0f);
    EXPECT_FLOAT_EQ(DelayFromTyped(99.0, DelayUnit::Ms), 15.0f);
}

}  // namespace
}  // namespace kavelo
