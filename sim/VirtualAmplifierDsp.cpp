// The amplifier's DSP settings: setters change the live state and are
// acknowledged on their own subcommand; queries answer from the live state.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {
constexpr std::uint8_t kSource = 0x01, kVolume = 0x02, kMute = 0x04, kDelay = 0x07, kTrim = 0x08,
                       kMuteCh = 0x09, kPhase = 0x0A, kAmpMute = 0x3F, kMem = 0x42;

std::uint32_t Le32(const std::uint8_t* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
void AppendLe(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
}  // namespace

void VirtualAmplifier::ReplyRange(std::uint8_t subcmd, const Packet& packet,
                                  const std::array<std::uint8_t, 16>& values) {
    const std::uint8_t* p = packet.body.data() + 2;
    std::vector<std::uint8_t> reply = {p[0], p[1], p[2], p[3]};
    for (int c = p[2]; c <= p[3] && c < 16; ++c) reply.push_back(values[c]);
    Reply(CMD_DSP, subcmd, OP_UPDATE, reply);
}

void VirtualAmplifier::HandleDsp(const Packet& packet) {
    const std::uint8_t subcmd = packet.body[0];
    const std::uint8_t optype = packet.body[1];
    const std::uint8_t* p = packet.body.data() + 2;
    const int n = packet.length - 3;

    // Range setters: header, then one entry per channel within the 16 slots.
    auto setRange = [&](int entrySize, auto store) {
        if (n < 4) return;
        for (int c = p[2], k = 0; c <= p[3] && c < 16 && 4 + entrySize * (k + 1) <= n; ++c, ++k) {
            store(c, p + 4 + entrySize * k);
        }
    };

    if (optype == OP_SET) {
        switch (subcmd) {
            case kSource:
                if (n >= 1) mDsp.source = p[0];
                break;
            case kVolume:
                if (n >= 1) mDsp.mainVolume = p[0];
                break;
            case kMute:
                if (n >= 1) mDsp.mute = p[0];
                break;
            case kAmpMute:
                if (n >= 1) mDsp.ampMute = p[0];
                break;
            case kDelay:
                setRange(3, [&](int c, const std::uint8_t* e) {
                    mDsp.delay[c] = {e[0], e[1], e[2]};
                });
                break;
            case kTrim:
                setRange(1, [&](int c, const std::uint8_t* e) { mDsp.trim[c] = e[0]; });
                break;
            case kMuteCh:
                setRange(1, [&](int c, const std::uint8_t* e) { mDsp.muteCh[c] = e[0]; });
                break;
            case kPhase:
                setRange(1, [&](int c, const std::uint8_t* e) { mDsp.phase[c] = e[0]; });
                break;
            case kMem:
                if (n >= 8) mDsp.memory[Le32(p)] = Le32(p + 4);
                break;
            default:
                return;  // settings not modelled yet are not acknowledged
        }
        Reply(CMD_DSP, subcmd, OP_ACK, {ACK_READY});
        return;
    }
    if (optype != OP_GET) return;
    switch (subcmd) {
        case kSource:
            Reply(CMD_DSP, subcmd, OP_UPDATE, {mDsp.source});
            return;
        case kVolume:
            Reply(CMD_DSP, subcmd, OP_UPDATE, {mDsp.mainVolume});
            return;
        case kMute:
            Reply(CMD_DSP, subcmd, OP_UPDATE, {mDsp.mute});
            return;
        case kAmpMute:
            Reply(CMD_DSP, subcmd, OP_UPDATE, {mDsp.ampMute});
            return;
        case kTrim:
            if (n >= 4) ReplyRange(subcmd, packet, mDsp.trim);
            return;
        case kMuteCh:
            if (n >= 4) ReplyRange(subcmd, packet, mDsp.muteCh);
            return;
        case kPhase:
            if (n >= 4) ReplyRange(subcmd, packet, mDsp.phase);
            return;
        case kDelay: {
            if (n < 4) return;
            std::vector<std::uint8_t> reply = {p[0], p[1], p[2], p[3]};
            for (int c = p[2]; c <= p[3] && c < 16; ++c) {
                reply.insert(reply.end(), mDsp.delay[c].begin(), mDsp.delay[c].end());
            }
            Reply(CMD_DSP, subcmd, OP_UPDATE, reply);
            return;
        }
        case kMem: {
            if (n < 4) return;
            const std::uint32_t address = Le32(p);
            const auto found = mDsp.memory.find(address);
            std::vector<std::uint8_t> reply;
            AppendLe(reply, address);
            AppendLe(reply, found == mDsp.memory.end() ? 0 : found->second);
            Reply(CMD_DSP, subcmd, OP_UPDATE, reply);
            return;
        }
        default:
            return;  // queries not modelled yet stay unanswered
    }
}

}  // namespace kavelo
