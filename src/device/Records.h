#pragma once

#include <cstdint>

// Decoded reply records posted by the device link. Plain values, zero-initialised.
namespace kavelo {

// Handshake reply: reserved (0), model, master and slave firmware version.
struct McuHandshakeRecord {
    std::int32_t reserved = 0;
    std::int32_t model = 0;
    std::int32_t masterVersion = 0;
    std::int32_t slaveVersion = 0;
};

// DSP flash version report: four reserved words, then the four version parts.
struct McuFlashVersionRecord {
    std::int32_t reserved[4] = {0, 0, 0, 0};
    std::int32_t version[4] = {0, 0, 0, 0};
};

// By-channel arrays in records have 16 slots; slot c is channel c.
inline constexpr int kRecordChannelSlots = 16;

struct DspFilterRecord {
    std::int32_t scene = 0, channel = 0;
    std::int32_t hpType = 0, hpFrequency = 0, hpSlope = 0;
    std::int32_t lpType = 0, lpFrequency = 0, lpSlope = 0;
};

struct DspEqBandRecord {
    std::int32_t scene = 0, channel = 0, band = 0, frequency = 0;
    float q = 0.0f, gain = 0.0f;
};

struct DspDelayRecord {
    std::int32_t scene = 0, channel = 0;
    float delayMs = 0.0f;
};

struct DspTrimRecord {
    std::int32_t scene = 0, channel = 0;
    float trimDb = 0.0f;
};

struct DspChannelValueRecord {
    std::int32_t scene = 0, channel = 0, value = 0;
};

struct DspMixRecord {
    std::int32_t scene = 0, source = 0, channel = 0, mix = 0;
};

struct DspLinkRecord {
    std::int32_t scene = 0, link = 0;
    std::uint8_t links[4] = {0, 0, 0, 0};
};

struct DspLockRecord {
    std::int32_t scene = 0, lock = 0;
};

struct DspInputMixTrimRecord {
    std::int32_t scene = 0, source = 0, inputChannel = 0, firstOutput = 0, lastOutput = 0;
    std::uint8_t trim[kRecordChannelSlots] = {};  // trim[0] belongs to the first output
};

struct DspSpeakerConfigRecord {
    std::int32_t config = 0;
};

struct DspQFactRecord {
    std::uint8_t scene = 0, source = 0, first = 0, last = 0;
    std::uint8_t mode[kRecordChannelSlots] = {};
};

struct DspCompressorRecord {
    std::int32_t scene = 0, channel = 0, bypass = 0, threshold = 0;
    float ratio = 0.0f;
    std::int32_t attack = 0, release = 0;
    float softKnee = 0.0f;
};

// Address and data words as received (little-endian on the wire).
struct DspMemRecord {
    std::uint32_t address = 0, data = 0;
};

struct IrcValueRecord {
    std::int32_t channel = 0;
    float value = 0.0f;
};

struct IrcEqBandRecord {
    std::int32_t channel = 0, band = 0, frequency = 0;
    float q = 0.0f, gain = 0.0f;
};

struct IrcSpectrumRecord {
    std::int32_t channel = 0, band = 0;
    float frequency = 0.0f, gain = 0.0f;
};

// A stored scene's name; an erased name is all zero.
struct SceneNameRecord {
    std::int32_t index = 0;
    std::uint8_t name[16] = {};
};

// Bit set of the stored scenes that hold data.
struct SceneValidRecord {
    std::int32_t valid = 0;
};

}  // namespace kavelo
