#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <type_traits>
#include <vector>

// The virtual amplifier's settings as the amplifier keeps them: wire values,
// not the host's units. A query answers these bytes back unchanged, so what a
// test presets here is exactly what the host decodes.
namespace kavelo {

inline constexpr int kAmpOutputs = 8;
inline constexpr int kAmpBands = 31;
inline constexpr int kAmpSources = 9;
inline constexpr int kAmpInputRows = 8;  // input channels per source on the wire
inline constexpr int kAmpScenes = 10;
inline constexpr int kAmpSceneNameBytes = 16;
inline constexpr int kAmpLinkPairs = 8;
inline constexpr int kAmpCalibrationBands = 11;
inline constexpr int kAmpSpectrumPoints = 121;

struct AmpFilter {
    std::uint8_t type = 2;
    std::uint16_t frequency = 20;
    std::uint8_t slope = 0;
};

// One EQ band as its reply block carries it: Q as its whole part and
// hundredths, the gain offset by 18 dB with its tenths. The host writes Q in
// tenths and reads it in hundredths, so the amplifier converts a written Q
// (2, 5 is kept and reported as 2, 50).
struct AmpEqBand {
    std::uint16_t frequency = 1000;
    std::uint8_t qInteger = 5;
    std::uint8_t qFraction = 80;
    std::uint8_t gainInteger = 18;
    std::uint8_t gainTenths = 0;
};

struct AmpChannel {
    AmpFilter highPass;
    AmpFilter lowPass;
    std::array<AmpEqBand, kAmpBands> bands{};
    std::array<std::uint8_t, 3> delay{};  // whole ms, then 16-bit microseconds beyond
    std::uint8_t trim = 0;                // signed dB
    std::uint8_t mute = 0;
    std::uint8_t phase = 0;
    std::uint8_t type = 0;  // speaker role code
    std::uint8_t solo = 0;
    std::uint8_t eqBypass = 1;
};

// Everything a command addresses with a scene number: the live settings hold
// one, and so does each stored scene.
struct AmpSceneSettings {
    std::array<AmpChannel, kAmpOutputs> channels{};
    // Input routing mask per source and output.
    std::array<std::array<std::uint16_t, kAmpOutputs>, kAmpSources> mix{};
    // Mix level of an input into an output, [source][input][output], signed.
    std::array<std::array<std::array<std::uint8_t, kAmpOutputs>, kAmpInputRows>, kAmpSources>
        inputMixTrim{};
    std::uint8_t linkMode = 0;
    std::uint8_t linkPairCount = 0;
    std::array<std::array<std::uint8_t, 2>, kAmpLinkPairs> linkPairs{};
    std::uint16_t lock = 0;
};

// The live state: the scene-addressed settings plus what only exists live.
struct AmpLiveState {
    AmpSceneSettings settings;
    std::uint8_t source = 0x51;   // device code of the selected input
    std::uint8_t mainVolume = 0;  // signed dB, as reported
    std::uint8_t subVolume = 0;   // signed
    std::uint8_t mute = 0;
    std::uint8_t ampMute = 0;
    std::uint8_t speakerConfig = 0;
    std::uint8_t inputThreshold = static_cast<std::uint8_t>(-60);  // signed dB
};

struct AmpStoredScene {
    AmpSceneSettings settings;
    std::array<std::uint8_t, kAmpSceneNameBytes> name{};  // 0xFF bytes when erased
    bool valid = false;
};

struct AmpIdentity {
    int model = 87;
    int masterVersion = 1;
    int slaveVersion = 18;
    bool loaderMode = false;
    std::array<std::uint8_t, 4> flashVersion{1, 0, 0, 0};
};

// Everything the amplifier remembers across a power cycle.
struct AmplifierSnapshot {
    AmpIdentity identity;
    AmpLiveState live;
    std::array<AmpStoredScene, kAmpScenes> scenes{};  // scenes[k - 1] is scene k
    std::uint8_t currentScene = 0;                    // 0: none loaded or saved yet
    std::map<std::uint32_t, std::uint32_t> memory;    // DSP memory words written
};

struct DspState;

// What the amplifier holds so that a host reading it back gets `state`: roles,
// crossovers, EQ (Q kept in hundredths, as it is reported),
// output gains as trims, delays, mutes, phases, EQ bypass, routing, mix levels,
// link and lock; live-only values (source code, main volume, mutes, threshold)
// in the live form.
AmpSceneSettings SceneSettingsFromState(const DspState& state);
AmpLiveState LiveStateFromState(const DspState& state);

// Factory settings: the host model's defaults (default roles with their
// crossovers, flat bypassed EQ on the third-octave frequencies, default routing,
// full mix levels).
AmpSceneSettings FactorySceneSettings();
AmpLiveState FactoryLiveState();
AmpStoredScene ErasedScene();
AmplifierSnapshot FactorySnapshot();

// An EQ band as the amplifier keeps it after the host wrote (frequency, Q, gain
// in dB): the written Q's tenths held as hundredths.
AmpEqBand WireEqBand(int frequency, float q, float gainDb);
// A written Q (whole part, tenths) as the amplifier keeps it.
void StoreWrittenQuality(AmpEqBand& band, std::uint8_t whole, std::uint8_t tenths);
// Appends the six-byte reply block of a band.
void AppendEqBandBlock(std::vector<std::uint8_t>& out, const AmpEqBand& band);

// Field lists of the records above, one place for comparing, saving and
// loading them: FieldList<T>::Each(f) calls f(name, member pointer) per field.
template <typename T>
struct FieldList;
template <typename T, typename = void>
struct HasFieldList : std::false_type {};
template <typename T>
struct HasFieldList<T, std::void_t<decltype(FieldList<T>::Each(0))>> : std::true_type {};

#define KAVELO_FIELD(Type, name) f(#name, &Type::name)
template <>
struct FieldList<AmpFilter> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpFilter, type);
        KAVELO_FIELD(AmpFilter, frequency);
        KAVELO_FIELD(AmpFilter, slope);
        return 0;
    }
};
template <>
struct FieldList<AmpEqBand> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpEqBand, frequency);
        KAVELO_FIELD(AmpEqBand, qInteger);
        KAVELO_FIELD(AmpEqBand, qFraction);
        KAVELO_FIELD(AmpEqBand, gainInteger);
        KAVELO_FIELD(AmpEqBand, gainTenths);
        return 0;
    }
};
template <>
struct FieldList<AmpChannel> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpChannel, highPass);
        KAVELO_FIELD(AmpChannel, lowPass);
        KAVELO_FIELD(AmpChannel, bands);
        KAVELO_FIELD(AmpChannel, delay);
        KAVELO_FIELD(AmpChannel, trim);
        KAVELO_FIELD(AmpChannel, mute);
        KAVELO_FIELD(AmpChannel, phase);
        KAVELO_FIELD(AmpChannel, type);
        KAVELO_FIELD(AmpChannel, solo);
        KAVELO_FIELD(AmpChannel, eqBypass);
        return 0;
    }
};
template <>
struct FieldList<AmpSceneSettings> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpSceneSettings, channels);
        KAVELO_FIELD(AmpSceneSettings, mix);
        KAVELO_FIELD(AmpSceneSettings, inputMixTrim);
        KAVELO_FIELD(AmpSceneSettings, linkMode);
        KAVELO_FIELD(AmpSceneSettings, linkPairCount);
        KAVELO_FIELD(AmpSceneSettings, linkPairs);
        KAVELO_FIELD(AmpSceneSettings, lock);
        return 0;
    }
};
template <>
struct FieldList<AmpLiveState> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpLiveState, settings);
        KAVELO_FIELD(AmpLiveState, source);
        KAVELO_FIELD(AmpLiveState, mainVolume);
        KAVELO_FIELD(AmpLiveState, subVolume);
        KAVELO_FIELD(AmpLiveState, mute);
        KAVELO_FIELD(AmpLiveState, ampMute);
        KAVELO_FIELD(AmpLiveState, speakerConfig);
        KAVELO_FIELD(AmpLiveState, inputThreshold);
        return 0;
    }
};
template <>
struct FieldList<AmpStoredScene> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpStoredScene, settings);
        KAVELO_FIELD(AmpStoredScene, name);
        KAVELO_FIELD(AmpStoredScene, valid);
        return 0;
    }
};
template <>
struct FieldList<AmpIdentity> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmpIdentity, model);
        KAVELO_FIELD(AmpIdentity, masterVersion);
        KAVELO_FIELD(AmpIdentity, slaveVersion);
        KAVELO_FIELD(AmpIdentity, loaderMode);
        KAVELO_FIELD(AmpIdentity, flashVersion);
        return 0;
    }
};
template <>
struct FieldList<AmplifierSnapshot> {
    template <typename F>
    static int Each(F f) {
        KAVELO_FIELD(AmplifierSnapshot, identity);
        KAVELO_FIELD(AmplifierSnapshot, live);
        KAVELO_FIELD(AmplifierSnapshot, scenes);
        KAVELO_FIELD(AmplifierSnapshot, currentScene);
        KAVELO_FIELD(AmplifierSnapshot, memory);
        return 0;
    }
};
#undef KAVELO_FIELD

// Field-by-field equality of any of the records above.
template <typename T>
bool SameValue(const T& a, const T& b) {
    if constexpr (HasFieldList<T>::value) {
        bool same = true;
        FieldList<T>::Each(
            [&](const char*, auto member) { same = same && SameValue(a.*member, b.*member); });
        return same;
    } else if constexpr (std::is_arithmetic_v<T>) {
        return a == b;
    } else if constexpr (std::is_same_v<T, std::map<std::uint32_t, std::uint32_t>>) {
        return a == b;
    } else {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!SameValue(a[i], b[i])) return false;
        }
        return true;
    }
}

template <typename T, typename = std::enable_if_t<HasFieldList<T>::value>>
bool operator==(const T& a, const T& b) {
    return SameValue(a, b);
}
template <typename T, typename = std::enable_if_t<HasFieldList<T>::value>>
bool operator!=(const T& a, const T& b) {
    return !SameValue(a, b);
}

}  // namespace kavelo
