#include "sim/AmplifierState.h"

#include <algorithm>
#include <cmath>

#include "control/DspRecords.h"
#include "control/SpeakerRoles.h"
#include "device/DspEncoding.h"

namespace kavelo {

namespace {
std::uint8_t SignedByte(int value) {
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
}

AmpFilter FilterOf(const CrossoverFilter& f) {
    AmpFilter out;
    out.type = static_cast<std::uint8_t>(f.type);
    out.frequency = static_cast<std::uint16_t>(f.fs);
    out.slope = static_cast<std::uint8_t>(f.slope);
    return out;
}

// The reported main volume v whose position floor(10^((v + 60) / 41.25)) is p.
std::uint8_t MainVolumeForPosition(int p) {
    auto position = [](int v) {
        return static_cast<int>(std::floor(std::pow(10.0, (v + 60) / 41.25)));
    };
    int v = p <= 1 ? -60 : static_cast<int>(std::ceil(41.25 * std::log10(p) - 60.0)) - 1;
    while (position(v) < p && v < 127) ++v;
    return SignedByte(v);
}
}  // namespace

AmpEqBand WireEqBand(int frequency, float q, float gainDb) {
    AmpEqBand band;
    band.frequency = static_cast<std::uint16_t>(frequency);
    const auto qBytes = EncodeQuality(q);
    const auto gainBytes = EncodeGain(gainDb);
    StoreWrittenQuality(band, qBytes[0], qBytes[1]);
    band.gainInteger = gainBytes[0];
    band.gainTenths = gainBytes[1];
    return band;
}

void StoreWrittenQuality(AmpEqBand& band, std::uint8_t whole, std::uint8_t tenths) {
    // Tenths beyond 9 carry into the whole part; the whole part saturates.
    const int hundredths = std::min(whole * 100 + tenths * 10, 255 * 100 + 99);
    band.qInteger = static_cast<std::uint8_t>(hundredths / 100);
    band.qFraction = static_cast<std::uint8_t>(hundredths % 100);
}

void AppendEqBandBlock(std::vector<std::uint8_t>& out, const AmpEqBand& band) {
    out.insert(out.end(), {static_cast<std::uint8_t>(band.frequency >> 8),
                           static_cast<std::uint8_t>(band.frequency & 0xFF), band.qInteger,
                           band.qFraction, band.gainInteger, band.gainTenths});
}

AmpSceneSettings SceneSettingsFromState(const DspState& state) {
    AmpSceneSettings out;
    for (int o = 0; o < kAmpOutputs; ++o) {
        const ChannelState& ch = state.channels[o];
        AmpChannel& wire = out.channels[o];
        wire.highPass = FilterOf(ch.crossover.hp);
        wire.lowPass = FilterOf(ch.crossover.lp);
        for (int b = 0; b < kAmpBands; ++b) {
            const EqBand& band = ch.bands[b];
            wire.bands[b] = WireEqBand(band.freq, band.eqFactor, band.eqGain);
            // The Q the host should read back, also one that is not on a tenth.
            const int hundredths = static_cast<int>(std::lround(band.eqFactor * 100.0f));
            wire.bands[b].qInteger = static_cast<std::uint8_t>(hundredths / 100);
            wire.bands[b].qFraction = static_cast<std::uint8_t>(hundredths % 100);
        }
        wire.delay = EncodeDelay(ch.delay);
        wire.trim = EncodeSignedByte(ch.gain);
        wire.mute = static_cast<std::uint8_t>(ch.mute);
        wire.phase = static_cast<std::uint8_t>(ch.phase);
        wire.type = static_cast<std::uint8_t>(state.outputs[o]);
        wire.eqBypass = ch.bypass;
    }
    for (int s = 0; s < kAmpSources; ++s) {
        for (int o = 0; o < kAmpOutputs; ++o) {
            out.mix[s][o] = static_cast<std::uint16_t>(state.inputs[s][o]);
            for (int i = 0; i < kAmpInputRows; ++i) {
                out.inputMixTrim[s][i][o] = SignedByte(state.inputMixVolume[s][i][o]);
            }
        }
    }
    out.linkMode = static_cast<std::uint8_t>(state.linkMode);
    for (int o = 0; o < kAmpOutputs && state.linkMode; ++o) {
        const int to = state.linkOutputs[o];
        if (to > o)
            out.linkPairs[out.linkPairCount++] = {static_cast<std::uint8_t>(o),
                                                  static_cast<std::uint8_t>(to)};
    }
    out.lock = static_cast<std::uint16_t>(state.lockMode);
    return out;
}

AmpLiveState LiveStateFromState(const DspState& state) {
    AmpLiveState live;
    live.settings = SceneSettingsFromState(state);
    const InputSourceInfo* source = InputSource(state.inputSource);
    live.source = static_cast<std::uint8_t>(source ? source->deviceCode : 0x55);
    live.mainVolume = MainVolumeForPosition(state.mainVolume);
    live.subVolume = SignedByte(state.subVolume);
    live.mute = static_cast<std::uint8_t>(state.mainVolumeMute);
    live.ampMute = state.ampPower ? 0 : 1;
    live.inputThreshold = SignedByte(state.inputThreshold);
    return live;
}

AmpSceneSettings FactorySceneSettings() { return SceneSettingsFromState(DspState{}); }

AmpLiveState FactoryLiveState() {
    AmpLiveState live = LiveStateFromState(DspState{});
    live.mainVolume = 0;
    return live;
}

AmpStoredScene ErasedScene() {
    AmpStoredScene scene;
    scene.settings = FactorySceneSettings();
    scene.name.fill(0xFF);
    scene.valid = false;
    return scene;
}

AmplifierSnapshot FactorySnapshot() {
    AmplifierSnapshot snapshot;
    snapshot.live = FactoryLiveState();
    snapshot.scenes.fill(ErasedScene());
    return snapshot;
}

}  // namespace kavelo
