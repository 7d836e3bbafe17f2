#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "device/PacketCodec.h"

namespace kavelo {
namespace {

using test::FromHex;

struct EncodeCase {
    const char* name;
    std::uint8_t cmd, subcmd, optype;
    std::vector<std::uint8_t> payload;
    const char* expectedStart;  // report bytes; the rest must be zero
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class EncodeReportTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeReportTest, WritesFramedReportPaddedWithZeros) {
    const EncodeCase& c = GetParam();
    OutputReport report;
    report.fill(0xCC);
    ASSERT_TRUE(
        EncodeReport(c.cmd, c.subcmd, c.optype, c.payload.data(), c.payload.size(), report));
    const std::vector<std::uint8_t> expected = FromHex(c.expectedStart);
    EXPECT_EQ(ToHex(report.data(), expected.size()), ToHex(expected.data(), expected.size()));
    for (std::size_t i = expected.size(); i < report.size(); ++i) {
        EXPECT_EQ(report[i], 0) << "offset " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedReports, EncodeReportTest,
    ::testing::Values(
        EncodeCase{"MainVolumeQuery", CMD_DSP, 0x02, OP_GET, {}, "00 AA 55 03 01 02 66 94"},
        EncodeCase{"PcConnect", CMD_MCU, 0x1F, OP_SET, {0x01}, "00 AA 55 04 03 1F BB 01 1E"},
        EncodeCase{"PcLeave", CMD_MCU, 0x1F, OP_SET, {0x00}, "00 AA 55 04 03 1F BB 00 1F"},
        EncodeCase{"Handshake", CMD_MCU, 0x08, OP_SET, {}, "00 AA 55 03 03 08 BB 37"},
        // The sum wraps: only its low byte is negated.
        EncodeCase{
            "SumWraps", CMD_DSP, 0xFF, OP_SET, {0xFF, 0xFF}, "00 AA 55 05 01 FF BB FF FF 42"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeReport, LongestPayloadFillsTheReportAndLongerIsRefused) {
    std::vector<std::uint8_t> payload(kMaxHostPayload, 0x11);
    OutputReport report;
    ASSERT_TRUE(EncodeReport(CMD_DSP, 1, OP_SET, payload.data(), payload.size(), report));
    EXPECT_EQ(report[3], kMaxHostPayload + 3);
    EXPECT_EQ(report[64], PacketChecksum(report[3], report[4], report.data() + 5));

    payload.push_back(0x11);
    EXPECT_FALSE(EncodeReport(CMD_DSP, 1, OP_SET, payload.data(), payload.size(), report));
}

TEST(PacketChecksum, MatchesTheWorkedValues) {
    const std::uint8_t getBody[] = {0x02, 0xDD};
    EXPECT_EQ(PacketChecksum(3, 1, getBody), 0x1D);
    const std::uint8_t ackBody[] = {0x02, 0xEE};
    EXPECT_EQ(PacketChecksum(3, 1, ackBody), 0x0C);
}

// Feeds a hex stream and returns every good packet as "cmd:body hex".
std::vector<std::string> ParseAll(PacketParser& parser, const std::string& hex) {
    std::vector<std::string> packets;
    for (std::uint8_t byte : FromHex(hex)) {
        if (parser.Feed(byte).checksumOk) {
            const Packet& p = parser.Current();
            packets.push_back(std::to_string(p.cmd) + ":" + ToHex(p.body.data(), p.length - 1));
        }
    }
    return packets;
}

struct FramingCase {
    const char* name;
    std::vector<std::string> reports;  // fed one after the other
    std::vector<std::string> expected;
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.name; }

class PacketParserTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(PacketParserTest, FindsExactlyTheGoodPackets) {
    PacketParser parser;
    std::vector<std::string> found;
    for (const std::string& report : GetParam().reports) {
        for (std::string& p : ParseAll(parser, report)) found.push_back(p);
    }
    EXPECT_EQ(found, GetParam().expected);
}

const std::string kLongBody = [] {
    // L = 45: a packet whose first 40 bytes fit one report.
    std::vector<std::uint8_t> payload(42);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
    std::uint8_t out[64];
    const std::size_t n = FramePacket(CMD_DSP, 0x30, OP_UPDATE, payload.data(), 42, out, 64);
    return ToHex(out, n);
}();

// "AA 55 46 01" and the 61 bytes the parser takes before it gives up.
const std::string kOverlongPacket = [] {
    std::string hex = "AA 55 46 01";
    for (int i = 0; i < 61; ++i) hex += " 00";
    return hex;
}();

INSTANTIATE_TEST_SUITE_P(
    Framing, PacketParserTest,
    ::testing::Values(
        FramingCase{"BadChecksumRejected", {"AA 55 03 01 02 DD 94"}, {}},
        FramingCase{"AckAccepted", {"AA 55 03 01 02 EE 0C"}, {"1:02 EE"}},
        FramingCase{"TwoPacketsInOneReport",
                    {"AA 55 03 01 02 EE 0C AA 55 04 03 1F BB 01 1E 00 00"},
                    {"1:02 EE", "3:1F BB 01"}},
        FramingCase{"PacketSplitOverReports",
                    {kLongBody.substr(0, 40 * 3), kLongBody.substr(40 * 3)},
                    {"1:" + kLongBody.substr(4 * 3, (44) * 3 - 1)}},
        FramingCase{"ZeroBetweenSyncBytesSkipped", {"AA 00 55 03 01 02 EE 0C"}, {"1:02 EE"}},
        FramingCase{"NoiseBeforeSyncSkipped", {"00 13 55 AA 55 03 01 02 EE 0C"}, {"1:02 EE"}},
        // L = 70 cannot fit; the parser gives up at position 64 and then finds
        // the next valid packet.
        FramingCase{"OverlongAbandonedThenResynchronised",
                    {kOverlongPacket, "AA 55 03 01 02 EE 0C"},
                    {"1:02 EE"}},
        FramingCase{"UnknownClassStillFramed", {"AA 55 03 05 02 EE 08"}, {"5:02 EE"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PacketParser, OverlongPacketIsAbandonedAtPosition64) {
    PacketParser parser;
    for (std::uint8_t byte : FromHex("AA 55 46 01")) parser.Feed(byte);
    int fed = 0;
    while (parser.Index() != 0 && fed < 100) {
        EXPECT_FALSE(parser.Feed(0x00).packetDone);
        ++fed;
    }
    EXPECT_EQ(fed, 61);  // positions 4..64; the byte at 64 is dropped
}

}  // namespace
}  // namespace kavelo
