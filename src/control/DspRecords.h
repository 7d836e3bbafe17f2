#pragma once

#include <array>
#include <cstdint>

// The complete set of amplifier settings as plain, copyable data.
namespace kavelo {

inline constexpr int kOutputChannels = 8;
inline constexpr int kMaxInputChannels = 6;
inline constexpr int kInputRows = 8;  // rows 6 and 7 are stored but never used
inline constexpr int kInputSources = 9;
inline constexpr int kEqBands = 31;
inline constexpr int kSceneSlots = 10;
inline constexpr int kSceneNameBytes = 16;
inline constexpr int kMinFrequency = 20;
inline constexpr int kMaxFrequency = 20000;
inline constexpr float kMinEqFactor = 0.5f;
inline constexpr float kMaxEqFactor = 9.0f;
inline constexpr float kDefaultEqFactor = 5.8f;
inline constexpr float kMaxDelayMs = 15.0f;
inline constexpr float kMinOutputGain = -60.0f;
inline constexpr float kMaxOutputGain = 0.0f;
inline constexpr int kMaxMainVolume = 40;
inline constexpr int kSpeakerRoles = 25;

struct EqBand {
    float eqGain = 0.0f;
    float eqFactor = kDefaultEqFactor;
    int32_t freq = 1000;
    uint8_t enable = 1;
};

struct CrossoverFilter {
    int32_t fs = kMinFrequency;
    int32_t type = 2;
    int32_t slope = 0;
    int32_t bypass = 1;
};

struct Crossover {
    int32_t bpType = 0;
    CrossoverFilter hp;
    CrossoverFilter lp{kMaxFrequency, 2, 0, 1};
};

// The band table lives inside the channel so that copying a state copies its
// bands too; nothing else refers to it by address.
struct ChannelState {
    std::array<EqBand, kEqBands> bands{};
    int32_t eqSize = kEqBands;
    float gain = 0.0f;
    int32_t mute = 0;
    float delay = 0.0f;
    int32_t phase = 0;
    uint8_t bypass = 1;
    Crossover crossover;
};

template <typename T>
using PerOutput = std::array<T, kOutputChannels>;

struct DspState {
    int32_t model = -1;
    int32_t mainVersion = -1;
    int32_t slaveVersion = -1;
    std::array<int32_t, 4> flashVersion{};
    int32_t inputSource = 0;
    int32_t mainVolume = -5;
    int32_t subVolume = 0;
    uint8_t commandScene = 0;
    int32_t mainVolumeMute = 0;
    uint8_t ampPower = 1;
    int32_t autoEffect = 0;
    int32_t channelCount = kOutputChannels;
    PerOutput<ChannelState> channels{};
    std::array<PerOutput<int32_t>, kInputSources> inputs{};
    std::array<std::array<PerOutput<int32_t>, kInputRows>, kInputSources> inputMixVolume{};
    std::array<std::array<PerOutput<int32_t>, kInputRows>, kInputSources> inputMixPhase{};
    std::array<std::array<int32_t, kInputRows>, kInputSources> crossSource{};
    std::array<std::array<int32_t, kInputRows>, kInputSources> crossChannel{};
    std::array<std::array<int32_t, kInputRows>, kInputSources> crossGain{};
    PerOutput<int32_t> outputs{};
    PerOutput<int32_t> linkOutputs{};
    PerOutput<int32_t> syncVolumePos{};
    PerOutput<float> syncVolumeValue{};
    PerOutput<int32_t> showChEqualizer{};
    int32_t currChannel = 0;
    int32_t linkMode = 0;
    int32_t lockMode = 0;
    PerOutput<int32_t> syncFlags{};
    int32_t inputThreshold = -60;
    PerOutput<int32_t> compBypass{};
    PerOutput<float> compThreshold{};
    PerOutput<float> compRatio{};
    PerOutput<int32_t> compAttack{};
    PerOutput<int32_t> compRelease{};
    PerOutput<float> compSoftKnee{};

    // A freshly built state holds the defaults.
    DspState();
};

// Validating setters that keep a filter's invariants.
// Stores 20 for any frequency outside 20 ... 20000 (not the nearest limit).
void SetFilterFs(CrossoverFilter& f, int fs);
// Stores 1 for any family other than 1, 2 or 3.
void SetFilterType(CrossoverFilter& f, int type);
// A negative slope is stored as 0; bypass follows the slope.
void SetFilterSlope(CrossoverFilter& f, int slope);

}  // namespace kavelo
