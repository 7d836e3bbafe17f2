#pragma once

#include <cstring>

#include "control/DspOperations.h"
#include "control/DspRecords.h"
#include "sim/AmplifierState.h"
#include "sim/VirtualAmplifier.h"

// A rich, non-default amplifier for tests that start from a state worth
// reading back: roles, crossovers, EQ (one channel bypassed with its gains
// kept), delays, output gains, mutes, phases, routing and mix levels, link and
// lock, and stored scenes with names.
namespace kavelo::test {

// The live state as the host model should read it back.
inline DspState RichLiveState() {
    DspState s;
    const int roles[8] = {3, 9, 1, 7, 14, 17, 24, 0};
    for (int o = 0; o < 8; ++o) {
        s.outputs[o] = roles[o];
        s.channels[o].crossover = DefaultCrossover(roles[o]);
    }
    CrossoverFilter& hp0 = s.channels[0].crossover.hp;
    hp0.fs = 90;
    hp0.type = 1;
    SetFilterSlope(hp0, 3);
    CrossoverFilter& lp0 = s.channels[0].crossover.lp;
    lp0.fs = 3500;
    lp0.type = 3;
    SetFilterSlope(lp0, 5);

    auto setBand = [&](int ch, int band, float gain, float q) {
        s.channels[ch].bands[band].eqGain = gain;
        s.channels[ch].bands[band].eqFactor = q;
    };
    setBand(0, 3, -4.5f, 2.5f);
    setBand(0, 10, 3.0f, 1.2f);
    setBand(0, 20, -1.5f, 7.0f);
    s.channels[0].bands[20].freq = 1100;
    s.channels[0].bypass = 0;
    setBand(1, 5, 6.0f, 4.0f);  // bypassed: the gain is kept, not applied
    s.channels[1].bypass = 1;

    const float delays[8] = {1.25f, 0.0f, 0.5f, 0.0f, 3.333f, 3.333f, 7.0f, 0.0f};
    const float gains[8] = {-6, -3, 0, -12, -20, -20, -1, -60};
    for (int o = 0; o < 8; ++o) {
        s.channels[o].delay = delays[o];
        s.channels[o].gain = gains[o];
    }
    s.channels[5].mute = 1;
    s.channels[3].phase = 1;
    s.channels[6].phase = 1;

    s.inputSource = 3;  // aux
    const int routing[8] = {2, 1, 3, 3, 1, 2, 3, 0};
    for (int o = 0; o < 8; ++o) s.inputs[3][o] = routing[o];
    s.inputMixVolume[3][0][0] = 80;
    s.inputMixVolume[3][1][1] = 50;
    s.mainVolume = 30;
    s.mainVolumeMute = 0;
    s.linkMode = 1;
    s.lockMode = 1;
    ComputeLinkPairs(s);
    return s;
}

// The rich live state, scenes 2 ("Evening", crossovers of the defaults) and 5
// ("Bass", the rich settings with a quieter subwoofer) stored and valid, scene
// 5 current, and two DSP memory words.
inline AmplifierSnapshot RichAmplifierSnapshot() {
    AmplifierSnapshot snapshot = FactorySnapshot();
    const DspState live = RichLiveState();
    snapshot.live = LiveStateFromState(live);
    auto store = [&](int k, const DspState& state, const char* name) {
        AmpStoredScene& scene = snapshot.scenes[k - 1];
        scene.settings = SceneSettingsFromState(state);
        scene.name.fill(0);
        std::memcpy(scene.name.data(), name, std::strlen(name));
        scene.valid = true;
    };
    store(2, DspState{}, "Evening");
    DspState bass = live;
    bass.channels[6].gain = -9;
    store(5, bass, "Bass");
    snapshot.currentScene = 5;
    snapshot.memory = {{0x1234, 1}, {0x00401000, 0xCAFEF00D}};
    return snapshot;
}

inline void ApplyRichPreset(VirtualAmplifier& amp) { amp.Restore(RichAmplifierSnapshot()); }

}  // namespace kavelo::test
