#include "device/PacketCodec.h"

#include <cstdio>
#include <cstring>

namespace kavelo {

namespace {

std::uint32_t NegatedSum(std::uint8_t length, std::uint8_t cmd, const std::uint8_t* body) {
    std::uint32_t sum = length + cmd;
    for (int i = 0; i + 2 <= length && i < static_cast<int>(kBodySize); ++i) sum += body[i];
    return 0u - sum;
}

}  // namespace

std::uint8_t PacketChecksum(std::uint8_t length, std::uint8_t cmd, const std::uint8_t* body) {
    return static_cast<std::uint8_t>(NegatedSum(length, cmd, body) & 0xFF);
}

std::size_t FramePacket(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                        const std::uint8_t* payload, std::size_t len, std::uint8_t* out,
                        std::size_t outSize) {
    const std::size_t total = len + 7;
    if (len + 2 > kBodySize || total > outSize) return 0;
    const auto length = static_cast<std::uint8_t>(len + 3);
    std::uint8_t body[kBodySize] = {};
    body[0] = subcmd;
    body[1] = optype;
    if (len > 0) std::memcpy(body + 2, payload, len);
    out[0] = 0xAA;
    out[1] = 0x55;
    out[2] = length;
    out[3] = cmd;
    std::memcpy(out + 4, body, len + 2);
    out[len + 6] = PacketChecksum(length, cmd, body);
    return total;
}

bool EncodeReport(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                  const std::uint8_t* payload, std::size_t len, OutputReport& report) {
    report.fill(0);
    if (len > kMaxHostPayload) return false;
    report[0] = 0x00;  // no report ids on this device
    return FramePacket(cmd, subcmd, optype, payload, len, report.data() + 1, report.size() - 1) !=
           0;
}

void PacketParser::Reset() {
    mIndex = 0;
    mPacket = Packet{};
}

PacketParser::Step PacketParser::Feed(std::uint8_t byte) {
    Step step;
    step.index = mIndex;
    switch (mIndex) {
        case 0:
            if (byte == 0xAA) mIndex = 1;
            return step;
        case 1:
            // Keep waiting for the second sync byte; anything else is skipped.
            if (byte == 0x55) mIndex = 2;
            return step;
        case 2:
            mPacket.length = byte;
            mIndex = 3;
            return step;
        case 3:
            mPacket.cmd = byte;
            mIndex = 4;
            return step;
        default:
            break;
    }
    step.logged = true;
    if (mIndex == mPacket.length + 3) {
        step.packetDone = true;
        step.negatedSum = NegatedSum(mPacket.length, mPacket.cmd, mPacket.body.data());
        step.checksumOk = (step.negatedSum & 0xFF) == byte;
        mIndex = 0;
        return step;
    }
    if (mIndex >= kParserMaxIndex) {
        // A length that cannot fit: give up and look for the next sync.
        mIndex = 0;
        return step;
    }
    mPacket.body[mIndex - 4] = byte;
    ++mIndex;
    return step;
}

std::string ToHex(const std::uint8_t* data, std::size_t len) {
    std::string text;
    char buf[4];
    for (std::size_t i = 0; i < len; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        if (i) text += ' ';
        text += buf;
    }
    return text;
}

}  // namespace kavelo
