// Linked outputs as a user meets them in the main window: linking with either
// copy direction, then editing in link mode, each time read back from the
// virtual amplifier. The application changes a partner's copy in its own model
// and the amplifier copies and mirrors on its side; both must end up holding
// the same crossovers and EQ, and the partners the same as each other.
#include <gtest/gtest.h>

#include <QComboBox>
#include <sstream>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "ModelStates.h"
#include "control/DspOperations.h"
#include "sim/AmplifierState.h"

namespace kavelo {
namespace {

// What linking carries for one output, as the amplifier holds it: crossover,
// EQ bands and EQ bypass. The Q's fraction byte is left out: it is sent in
// tenths and kept as received, while the model's form holds hundredths.
std::string LinkedSettings(const AmpChannel& ch) {
    std::ostringstream out;
    for (const AmpFilter& f : {ch.highPass, ch.lowPass})
        out << "filter " << int{f.type} << "/" << f.frequency << "/" << int{f.slope} << "; ";
    out << "bypass " << int{ch.eqBypass} << "; bands";
    for (const AmpEqBand& b : ch.bands)
        out << " " << b.frequency << "/" << int{b.qInteger} << "/" << int{b.gainInteger} << "."
            << int{b.gainTenths};
    return out.str();
}

class Link : public test::MainWindowFixture {
protected:
    // Outputs 0/1 and 2/3 are partners (front and rear, left and right); the
    // two sides of each pair start with crossovers and EQs of their own.
    static DspState TwoSidedState() {
        DspState s = test::ConnectedDefaults();
        s.outputs = {1, 7, 2, 8, 0, 0, 0, 0};
        auto side = [&s](int c, int hp, int slope, int band, float gain) {
            s.channels[c].crossover.hp.fs = hp;
            SetFilterSlope(s.channels[c].crossover.hp, slope);
            s.channels[c].bands[band].eqGain = gain;
            s.channels[c].bypass = 0;
        };
        side(0, 80, 2, 5, 4.0f);
        side(1, 120, 4, 7, -3.0f);
        side(2, 60, 1, 12, 2.5f);
        side(3, 150, 3, 20, -5.5f);
        return s;
    }
    void LinkWith(int choice) {
        prompts.answers = {choice};
        Click("btn_link_output");
        ASSERT_TRUE(Selected("btn_link_output"));
        AllSetters();
    }
    // Every output as the amplifier holds it equals the model, and in link
    // mode each pair's two sides are the same.
    void ExpectAmplifierFollowsTheModel(const char* step) {
        SCOPED_TRACE(step);
        AllSetters();
        const DspState& live = Controller().Live();
        const AmpSceneSettings want = SceneSettingsFromState(live);
        const AmpSceneSettings got = amp.LiveState().settings;
        for (int c = 0; c < kOutputChannels; ++c) {
            EXPECT_EQ(LinkedSettings(got.channels[c]), LinkedSettings(want.channels[c]))
                << "output " << c;
            const int k = live.linkMode == 1 ? live.linkOutputs[c] : -1;
            if (k >= 0) {
                EXPECT_EQ(LinkedSettings(got.channels[c]), LinkedSettings(got.channels[k]))
                    << "outputs " << c << " and " << k;
            }
        }
    }
};

TEST_F(Link, EachChoiceCopiesItsSideOnTheAmplifierToo) {
    struct Case {
        int choice;
        std::vector<int> copiedFrom;  // per pair: the side whose settings both take
    };
    for (const Case& c : {Case{1, {0, 2}}, Case{2, {1, 3}}}) {
        SCOPED_TRACE(c.choice);
        OpenWith(TwoSidedState());
        const AmpSceneSettings before = amp.LiveState().settings;
        LinkWith(c.choice);
        ExpectAmplifierFollowsTheModel("linked");
        // Independent of the model: both sides hold what the chosen side held.
        const AmpSceneSettings after = amp.LiveState().settings;
        for (int from : c.copiedFrom) {
            const int to = from ^ 1;
            EXPECT_EQ(LinkedSettings(after.channels[to]), LinkedSettings(before.channels[from]))
                << from << " -> " << to;
            EXPECT_EQ(LinkedSettings(after.channels[from]), LinkedSettings(before.channels[from]));
        }
        window.reset();
    }
}

TEST_F(Link, EditsInLinkModeReachBothSidesOnTheAmplifier) {
    OpenWith(TwoSidedState());
    Activate();
    LinkWith(1);
    ExpectAmplifierFollowsTheModel("linked");

    Type("eq_gain_9", "-6");
    ExpectAmplifierFollowsTheModel("band gain on output 0");
    EXPECT_EQ(amp.LiveState().settings.channels[1].bands[9].gainInteger, 12);  // -6 dB + 18

    Control<QComboBox>("hp_slop")->setCurrentIndex(6);
    ExpectAmplifierFollowsTheModel("high-pass slope");
    Control<QComboBox>("lp_type")->setCurrentIndex(3);
    ExpectAmplifierFollowsTheModel("low-pass type");
    Control<QComboBox>("hp_type")->setCurrentIndex(1);
    ExpectAmplifierFollowsTheModel("high-pass type");
    EXPECT_EQ(amp.LiveState().settings.channels[1].highPass.type, 1);

    // From the other side of the pair: the edit comes back to output 0.
    Click("ch_enable_1");
    ASSERT_EQ(Controller().Live().currChannel, 1);
    Control<QComboBox>("lp_slop")->setCurrentIndex(2);
    ExpectAmplifierFollowsTheModel("low-pass slope on output 1");
    EXPECT_EQ(amp.LiveState().settings.channels[0].lowPass.slope, 2);
    Type("eq_gain_12", "3");
    ExpectAmplifierFollowsTheModel("band gain on output 1");

    prompts.answers = {1};
    Click("btn_reset_eq");
    ExpectAmplifierFollowsTheModel("EQ reset");
    for (int c : {0, 1})
        for (int b : {5, 7, 9, 12})
            EXPECT_EQ(amp.LiveState().settings.channels[c].bands[b].gainInteger, 18)
                << "output " << c << " band " << b;

    // Another pair was linked too and kept apart from these edits.
    EXPECT_EQ(amp.LiveState().settings.channels[3].bands[12].gainInteger, 20);  // 2.5 dB copied
    EXPECT_EQ(amp.LiveState().settings.channels[3].bands[12].gainTenths, 5);
}

}  // namespace
}  // namespace kavelo
