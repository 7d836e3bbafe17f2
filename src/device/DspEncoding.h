#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// Value encodings of the DSP setting commands. Pure functions; the byte forms
// are what the amplifier expects and must not change.
namespace kavelo {

// By-channel arrays hold 16 slots; slot c is channel c.
inline constexpr int kChannelSlots = 16;
inline constexpr int kLastChannel = kChannelSlots - 1;
template <typename T>
using ChannelArray = std::array<T, kChannelSlots>;

// EQ gain g dB travels as g + 18 to the nearest tenth: its whole part, then the tenths.
std::array<std::uint8_t, 2> EncodeGain(float gainDb);

// EQ quality Q travels as its whole part and tenths, to the nearest tenth. The
// amplifier reports it back as the whole part and hundredths (2.5 goes out as
// 2, 5 and comes back as 2, 50).
std::array<std::uint8_t, 2> EncodeQuality(float q);
// The Q a reply block stands for: whole part + hundredths / 100, the hundredths
// divided in double precision and added in single precision.
float DecodeQuality(int whole, int hundredths);
// The Q the amplifier holds after `q` was written: the nearest tenth, as the
// float its report decodes to, so a written Q reads back bit for bit.
float WireQuality(double q);

// A delay in whole microseconds, to the nearest (0 for a negative or NaN delay, at
// most 65535). The one count the screen, the model and the wire use: cut in single
// precision, 5.1 ms went out as 5100 us while the screen floored it to 5099.
int DelayMicroseconds(float delayMs);

// Delay d ms travels as whole milliseconds and a 16-bit count of the
// microseconds beyond them.
std::array<std::uint8_t, 3> EncodeDelay(float delayMs);

// Output trim and main volume travel as int(x) in a signed byte.
std::uint8_t EncodeSignedByte(float value);

void AppendBe16(std::vector<std::uint8_t>& out, std::uint16_t value);
void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value);

// A channel range as it travels: first and last inclusive, limited to the 16
// channel slots. `count` is 0 when nothing is in range (last below first, or
// first beyond the last slot); a last channel above 15 is cut to 15.
struct ChannelRange {
    int first = 0;
    int last = -1;
    int count() const { return last >= first ? last - first + 1 : 0; }
};
ChannelRange ClampRange(int first, int last);

// Payload of a range command: scene, source, first and last channel, then
// `entry(channel)` appended per channel of the clamped range. A last channel
// below the first gives the header alone. Returns false, with `out` empty, when
// the first channel lies beyond the channel slots.
bool BuildRangePayload(std::uint8_t scene, std::uint8_t source, int first, int last,
                       std::vector<std::uint8_t>& out,
                       const std::function<void(int channel)>& entry);

}  // namespace kavelo
