#include "device/DspEncoding.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

std::array<std::uint8_t, 2> EncodeGain(float gainDb) {
    // The nearest tenth: ten times the shifted gain cut in single precision sends
    // some steps (-11.6 dB among them) a tenth low.
    if (!std::isfinite(gainDb)) gainDb = 0.0f;
    const long tenths = std::lround((static_cast<double>(gainDb) + 18.0) * 10.0);
    return {static_cast<std::uint8_t>(tenths / 10), static_cast<std::uint8_t>(tenths % 10)};
}

namespace {
// Q in tenths: the nearest one, kept within what the whole-part byte carries.
long QualityTenths(double q) {
    if (!std::isfinite(q)) return 0;
    return std::lround(std::clamp(q, 0.0, 255.9) * 10.0);
}
}  // namespace

std::array<std::uint8_t, 2> EncodeQuality(float q) {
    const long tenths = QualityTenths(q);
    return {static_cast<std::uint8_t>(tenths / 10), static_cast<std::uint8_t>(tenths % 10)};
}

float DecodeQuality(int whole, int hundredths) {
    return static_cast<float>(whole) + static_cast<float>(hundredths / 100.0);
}

float WireQuality(double q) {
    const long tenths = QualityTenths(q);
    return DecodeQuality(static_cast<int>(tenths / 10), static_cast<int>(tenths % 10) * 10);
}

int DelayMicroseconds(float delayMs) {
    const double us = static_cast<double>(delayMs) * 1000.0;
    if (!(us > 0.0)) return 0;
    if (us >= 65535.0) return 65535;
    return static_cast<int>(std::lround(us));
}

std::array<std::uint8_t, 3> EncodeDelay(float delayMs) {
    const int micros = DelayMicroseconds(delayMs);
    const int beyond = micros % 1000;
    return {static_cast<std::uint8_t>(micros / 1000), static_cast<std::uint8_t>(beyond >> 8),
            static_cast<std::uint8_t>(beyond & 0xFF)};
}

std::uint8_t EncodeSignedByte(float value) {
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(static_cast<int>(value)));
}

void AppendBe16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

ChannelRange ClampRange(int first, int last) {
    ChannelRange range;
    if (first < 0 || first > kLastChannel || last < first) return range;
    range.first = first;
    range.last = std::min(last, kLastChannel);
    return range;
}

bool BuildRangePayload(std::uint8_t scene, std::uint8_t source, int first, int last,
                       std::vector<std::uint8_t>& out,
                       const std::function<void(int channel)>& entry) {
    out.clear();
    if (first < 0 || first > kLastChannel) return false;
    if (last < first) {
        out = {scene, source, static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last)};
        return true;
    }
    const ChannelRange range = ClampRange(first, last);
    out = {scene, source, static_cast<std::uint8_t>(range.first),
           static_cast<std::uint8_t>(range.last)};
    for (int channel = range.first; channel <= range.last; ++channel) entry(channel);
    return true;
}

}  // namespace kavelo
