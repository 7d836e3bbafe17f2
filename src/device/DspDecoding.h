#pragma once

#include <cstdint>

#include "device/DspEncoding.h"

// Reading DSP reply payloads. Every access is checked against the bytes the
// packet really carried, so a short or hostile reply can never make a decoder
// read past its packet or write past a record's channel slots.
namespace kavelo {

class ReplyPayload {
public:
    ReplyPayload(const std::uint8_t* bytes, int size) : mBytes(bytes), mSize(size) {}
    bool Has(int offset, int count) const { return offset >= 0 && offset + count <= mSize; }
    // Callers check Has first.
    int operator[](int i) const { return mBytes[i]; }
    int Signed(int i) const { return static_cast<std::int8_t>(mBytes[i]); }
    int Be16(int i) const { return mBytes[i] * 256 + mBytes[i + 1]; }
    std::uint32_t Le32(int i) const {
        return mBytes[i] | (mBytes[i + 1] << 8) | (mBytes[i + 2] << 16) |
               (static_cast<std::uint32_t>(mBytes[i + 3]) << 24);
    }
    int Size() const { return mSize; }

private:
    const std::uint8_t* mBytes;
    int mSize;
};

// Range reply (scene, source, first, last, entries from offset 4): calls
// each(channel, offset of its entry) for the channels within the 16 slots
// whose entry arrived whole.
template <typename Each>
void ForEachRangeEntry(const ReplyPayload& p, int entrySize, Each each) {
    if (!p.Has(0, 4)) return;
    const int first = p[2];
    const ChannelRange range = ClampRange(first, p[3]);
    for (int channel = range.first; channel <= range.last; ++channel) {
        const int at = 4 + entrySize * (channel - first);
        if (!p.Has(at, entrySize)) return;
        each(channel, at);
    }
}

// Band or channel lists given as first and last at `boundsAt`, entries from
// `dataAt`: calls each(index, offset) for every entry that arrived whole.
template <typename Each>
void ForEachBand(const ReplyPayload& p, int boundsAt, int dataAt, int entrySize, Each each) {
    if (!p.Has(boundsAt, 2)) return;
    const int first = p[boundsAt];
    const int last = p[boundsAt + 1];
    for (int index = first; index <= last; ++index) {
        const int at = dataAt + entrySize * (index - first);
        if (!p.Has(at, entrySize)) return;
        each(index, at);
    }
}

struct EqBand {
    int frequency = 0;
    float q = 0.0f;
    float gain = 0.0f;
};

// EQ band block: frequency (2), Q integer, Q hundredths, gain integer, gain
// tenths (gain offset by 18 dB). Q comes back in hundredths; it is written in
// tenths.
EqBand DecodeEqBand(const ReplyPayload& p, int at);

float DecodeDelay(int wholeMs, int microsHigh, int microsLow);

// Log texts of the one-value-per-channel replies.
struct ChannelReply {
    const char* head;  // range header name, or null when the reply logs none
    const char* line;  // per channel, with channel and value
};
const ChannelReply& ChannelReplyOf(std::uint8_t subcmd);

}  // namespace kavelo
