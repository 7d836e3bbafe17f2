#include "device/DspDecoding.h"

namespace kavelo {

EqBand DecodeEqBand(const ReplyPayload& p, int at) {
    EqBand band;
    band.frequency = p.Be16(at);
    band.q = DecodeQuality(p[at + 2], p[at + 3]);
    band.gain = static_cast<float>(p[at + 4]) + static_cast<float>(p[at + 5] / 10.0) - 18.0f;
    return band;
}

float DecodeDelay(int wholeMs, int microsHigh, int microsLow) {
    return static_cast<float>(wholeMs + (microsHigh * 256 + microsLow) / 1000.0);
}

const ChannelReply& ChannelReplyOf(std::uint8_t subcmd) {
    static const ChannelReply kMute{"DSP_MUTE_CH", "ch(%d), mute(%d)\n"};
    static const ChannelReply kPhase{"Get DSP_PHASE_CH", "ch(%d), phase(%d)\n"};
    static const ChannelReply kType{nullptr, "ch(%d), ch_type(%d)\n"};
    static const ChannelReply kBypass{"DSP_EQ_BYPASS", "ch(%d), bypass(%d)\n"};
    static const ChannelReply kSolo{"DSP_CH_SOLO", "ch(%d), solo(%d)\n"};
    switch (subcmd) {
        case 0x09:
            return kMute;
        case 0x0A:
            return kPhase;
        case 0x0D:
            return kType;
        case 0x12:
            return kBypass;
        default:
            return kSolo;
    }
}

}  // namespace kavelo
