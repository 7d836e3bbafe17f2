// The difference engine against the virtual amplifier: the commands it finds
// turn the amplifier's settings into the target exactly (checked by a full
// read-back, compared field by field here), and only what differs is sent.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "LinkedAmplifier.h"
#include "control/DspOperations.h"
#include "control/EditHistory.h"
#include "control/ReadBack.h"
#include "control/StateDiff.h"

namespace kavelo {
namespace {

// Every setting the amplifier keeps that the read-back `a` and the target `b`
// disagree on, by name.
std::vector<std::string> SettingDifferences(const DspState& a, const DspState& b) {
    std::vector<std::string> out;
    auto check = [&out](bool same, const std::string& what) {
        if (!same) out.push_back(what);
    };
    check(a.inputSource == b.inputSource, "source");
    check(a.mainVolume == b.mainVolume, "main volume");
    check(a.mainVolumeMute == b.mainVolumeMute, "main mute");
    check(a.ampPower == b.ampPower, "amplifier power");
    check(a.linkMode == b.linkMode, "link");
    check(a.lockMode == b.lockMode, "lock");
    for (int c = 0; c < kOutputChannels; ++c) {
        const std::string ch = "ch" + std::to_string(c) + " ";
        const ChannelState& x = a.channels[c];
        const ChannelState& y = b.channels[c];
        check(a.outputs[c] == b.outputs[c], ch + "role");
        check(x.gain == y.gain, ch + "gain");
        check(x.delay == y.delay, ch + "delay");
        check(x.mute == y.mute, ch + "mute");
        check(x.phase == y.phase, ch + "phase");
        check(x.bypass == y.bypass, ch + "bypass");
        for (const auto& [f, g, name] : {std::tuple{x.crossover.hp, y.crossover.hp, "hp"},
                                         std::tuple{x.crossover.lp, y.crossover.lp, "lp"}}) {
            check(f.fs == g.fs && f.type == g.type && f.slope == g.slope, ch + name);
        }
        for (int k = 0; k < kEqBands; ++k) {
            const EqBand& p = x.bands[k];
            const EqBand& q = y.bands[k];
            const float pg = p.enable ? p.eqGain : 0.0f;
            const float qg = q.enable ? q.eqGain : 0.0f;
            check(p.freq == q.freq && p.eqFactor == q.eqFactor && pg == qg,
                  ch + "band " + std::to_string(k));
        }
        if (a.linkMode == 1) check(a.linkOutputs[c] == b.linkOutputs[c], ch + "partner");
    }
    for (int s = 0; s < kInputSources; ++s) {
        for (int c = 0; c < kOutputChannels; ++c) {
            check(a.inputs[s][c] == b.inputs[s][c],
                  "routing s" + std::to_string(s) + " ch" + std::to_string(c));
            for (int i = 0; i < InputChannelCount(s); ++i)
                check(a.inputMixVolume[s][i][c] == b.inputMixVolume[s][i][c],
                      "level s" + std::to_string(s) + " in" + std::to_string(i) + " ch" +
                          std::to_string(c));
        }
    }
    return out;
}

class StateDiffTest : public test::LinkedAmplifier, public ::testing::Test {
protected:
    // The amplifier's live settings as the application reads them back.
    DspState ReadBack() {
        const std::size_t first = main.Messages().size();
        EXPECT_EQ(RunStatusInit(link), 0);
        ControllerModel model;
        const std::vector<DeviceMessage> messages = main.Messages();
        for (std::size_t i = first; i < messages.size(); ++i) {
            const DeviceMessage& m = messages[i];
            const int code = static_cast<int>(m.wParam);
            if (m.id == WM_READ_DSP_VALUE) ApplyDspValue(model, code, m.lParam);
            if (m.id == WM_READ_MCU_VALUE) ApplyMcuValue(model, code, m.lParam, true);
        }
        if (model.live.linkMode == 1) ComputeLinkPairs(model.live);
        return model.live;
    }
    void Send(const DspCommands& commands) {
        for (const DspCommand& c : commands) ASSERT_TRUE(SendDspCommand(link, c, true)) << c;
    }
};

// One edit each, as a user makes them; the commands are exactly the ones
// listed, and the amplifier ends up holding the target.
TEST_F(StateDiffTest, EachKindOfEditBecomesItsOwnCommands) {
    const DspState start = ReadBack();
    struct Case {
        const char* name;
        std::function<void(DspState&)> edit;
        std::vector<std::string> commands;
    };
    const std::vector<Case> cases = {
        {"nothing", [](DspState&) {}, {}},
        {"main volume", [](DspState& s) { s.mainVolume = 12; }, {"MainVolume p12"}},
        {"main mute", [](DspState& s) { s.mainVolumeMute = 1; }, {"MainMute 1"}},
        // The amplifier is switched off by muting it.
        {"amplifier off", [](DspState& s) { s.ampPower = 0; }, {"AmpMute 1"}},
        {"source", [](DspState& s) { s.inputSource = 2; }, {"SourceSwitch 0x53"}},
        {"source and power together",
         [](DspState& s) {
             s.inputSource = 5;
             s.ampPower = 0;
         },
         {"SourceSwitch 0x56", "AmpMute 1"}},
        {"role", [](DspState& s) { s.outputs[3] = 9; }, {"ChannelType ch3 role 9"}},
        {"high-pass",
         [](DspState& s) {
             s.channels[1].crossover.hp.fs = 80;
             s.channels[1].crossover.hp.slope = 3;
         },
         {"Filter ch1 hp type 2 fs 80 slope 3"}},
        {"band",
         [](DspState& s) {
             s.channels[0].bands[4] = EqBand{-3.5f, 2.0f, 250, 1};
         },
         {"Eq ch0 band 4 250 Hz q 2 gain -3.5"}},
        {"disabled band is flat",
         [](DspState& s) {
             s.channels[6].bands[9].eqGain = 4.0f;
             s.channels[6].bands[9].enable = 0;
         },
         {}},
        {"bypass", [](DspState& s) { s.channels[2].bypass = 0; }, {"PeqBypass ch2 0"}},
        {"two gains in one command",
         [](DspState& s) {
             s.channels[2].gain = -6.0f;
             s.channels[5].gain = -12.0f;
         },
         {"Trim 2..5 [-6 0 0 -12]"}},
        {"delay", [](DspState& s) { s.channels[7].delay = 1.5f; }, {"Delay 7..7 [1.5]"}},
        {"mute and phase",
         [](DspState& s) {
             s.channels[4].mute = 1;
             s.channels[4].phase = 1;
         },
         {"ChannelMute ch4 1", "Phase ch4 1"}},
        {"routing", [](DspState& s) { s.inputs[5][6] = 0x5; }, {"Mix source 5 ch6 mask 0x5"}},
        {"mix level",
         [](DspState& s) { s.inputMixVolume[5][2][1] = 60; },
         {"InputMixTrim source 5 in2 ch1 60"}},
        {"lock", [](DspState& s) { s.lockMode = 1; }, {"Lock 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DspState target = start;
        c.edit(target);
        const DspCommands commands = DiffStates(start, target);
        std::vector<std::string> described;
        for (const DspCommand& cmd : commands) described.push_back(DescribeDspCommand(cmd));
        EXPECT_EQ(described, c.commands);
        Send(commands);
        EXPECT_EQ(SettingDifferences(ReadBack(), target), std::vector<std::string>{});
        Send(DiffStates(target, start));  // and back
        EXPECT_EQ(SettingDifferences(ReadBack(), start), std::vector<std::string>{});
    }
}

TEST_F(StateDiffTest, LinkCarriesItsPairs) {
    DspState start = ReadBack();
    DspState target = start;
    target.outputs = {1, 2, 3, 4, 0, 0, 0, 0};  // front and rear pairs
    target.linkMode = 1;
    target.lockMode = 1;
    ComputeLinkPairs(target);
    Send(DiffStates(start, target));
    EXPECT_EQ(SettingDifferences(ReadBack(), target), std::vector<std::string>{});
    Send(DiffStates(target, start));
    EXPECT_EQ(SettingDifferences(ReadBack(), start), std::vector<std::string>{});
}

// Random tunings one after another, as a session of edits would leave them;
// undoing them all through the history returns the amplifier to where it began.
TEST_F(StateDiffTest, UndoingARandomSessionRestoresTheStartExactly) {
    const DspState start = ReadBack();
    for (unsigned seed : {1u, 7u, 42u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto pick = [&random](int lo, int hi) {
            return std::uniform_int_distribution<int>(lo, hi)(random);
        };
        const std::vector<std::function<void(DspState&)>> edits = {
            // Positions the amplifier reports back as themselves (0 and 40 are not).
            [&](DspState& s) { s.mainVolume = 12 + 7 * pick(0, 3); },
            [&](DspState& s) { s.channels[pick(0, 7)].gain = static_cast<float>(-pick(0, 60)); },
            [&](DspState& s) { s.channels[pick(0, 7)].delay = pick(0, 120) / 8.0f; },
            [&](DspState& s) { s.channels[pick(0, 7)].phase = pick(0, 1); },
            [&](DspState& s) { s.channels[pick(0, 7)].mute = pick(0, 1); },
            [&](DspState& s) { s.channels[pick(0, 7)].bypass = static_cast<uint8_t>(pick(0, 1)); },
            [&](DspState& s) { s.outputs[pick(0, 7)] = pick(0, 24); },
            [&](DspState& s) {
                EqBand& b = s.channels[pick(0, 7)].bands[pick(0, kEqBands - 1)];
                b.freq = pick(20, 20000);
                b.eqFactor = QuantiseEqFactor(pick(5, 90) / 10.0);
                b.eqGain = pick(-36, 24) / 2.0f;
            },
            [&](DspState& s) {
                CrossoverFilter& f = pick(0, 1) ? s.channels[pick(0, 7)].crossover.hp
                                                : s.channels[pick(0, 7)].crossover.lp;
                f.fs = pick(20, 20000);
                f.type = pick(1, 3);
                f.slope = pick(0, 7);
            },
            [&](DspState& s) { s.inputs[5][pick(0, 7)] = pick(0, 63); },
            [&](DspState& s) { s.inputMixVolume[5][pick(0, 5)][pick(0, 7)] = pick(0, 100); },
            [&](DspState& s) { s.ampPower = static_cast<uint8_t>(pick(0, 1)); },
            // The sources a user can pick (the hidden ones are never selected).
            [&](DspState& s) {
                static constexpr int kVisible[] = {0, 2, 3, 5, 6};
                s.inputSource = kVisible[pick(0, 4)];
            },
        };
        EditHistory history;
        DspState current = start;
        for (int step = 0; step < 25; ++step) {
            DspState next = current;
            edits[pick(0, static_cast<int>(edits.size()) - 1)](next);
            Send(DiffStates(current, next));
            history.Push(current);
            current = next;
        }
        EXPECT_EQ(SettingDifferences(ReadBack(), current), std::vector<std::string>{});
        while (std::optional<DspState> back = history.Undo(current)) {
            Send(DiffStates(current, *back));
            current = *back;
        }
        EXPECT_EQ(SettingDifferences(ReadBack(), start), std::vector<std::string>{});
    }
}

TEST(EditHistory, UndoRedoAndItsLimits) {
    auto state = [](int volume) {
        DspState s;
        s.mainVolume = volume;
        return s;
    };
    // The volume of a step taken back, or -1 when there was none.
    auto volume = [](const std::optional<DspState>& s) { return s ? s->mainVolume : -1; };
    EditHistory history(3);
    EXPECT_FALSE(history.Undo(state(0)));
    for (int v = 1; v <= 5; ++v) history.Push(state(v - 1));  // 0 -> 1 -> ... -> 5
    EXPECT_EQ(history.UndoCount(), 3u);                       // the oldest went
    EXPECT_EQ(volume(history.Undo(state(5))), 4);
    EXPECT_EQ(volume(history.Undo(state(4))), 3);
    EXPECT_EQ(volume(history.Redo(state(3))), 4);
    EXPECT_EQ(volume(history.Undo(state(4))), 3);
    EXPECT_EQ(volume(history.Undo(state(3))), 2);
    EXPECT_FALSE(history.Undo(state(2)));
    EXPECT_EQ(history.RedoCount(), 3u);
    history.Push(state(2));  // a new edit: nothing left to redo
    EXPECT_EQ(history.RedoCount(), 0u);
    EXPECT_FALSE(history.Redo(state(9)));
    history.Clear();
    EXPECT_EQ(history.UndoCount(), 0u);
}

}  // namespace
}  // namespace kavelo
