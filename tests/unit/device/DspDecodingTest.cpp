#include <gtest/gtest.h>

#include <random>
#include <variant>

#include "FeedPacket.h"
#include "HexBytes.h"
#include "RecordingSink.h"
#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"

namespace kavelo {
namespace {

using test::FromHex;

class ReplyDecodingTest : public ::testing::Test {
protected:
    ReplyDecodingTest() : link(port) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.MainReceiver = &main;
        link.SceneReceiver = &scene;
        link.IrcReceiver = &irc;
        link.MemReceiver = &mem;
    }
    void Feed(std::uint8_t cmd, std::uint8_t subcmd, const std::string& payload,
              std::uint8_t optype = OP_UPDATE) {
        test::FeedPacket(link, cmd, subcmd, optype, FromHex(payload));
    }

    test::ScriptedHidPort port;
    test::RecordingSink main, scene, irc, mem;
    DeviceLink link;
};

TEST_F(ReplyDecodingTest, EqBandsReadQualityAsHundredths) {
    Feed(CMD_DSP, 0x06, "00 00 02 00 01 03 E8 02 05 0E 05 00 64 00 46 12 00");
    const auto bands = main.RecordsOf<DspEqBandRecord>();
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].channel, 2);
    EXPECT_EQ(bands[0].frequency, 1000);
    EXPECT_FLOAT_EQ(bands[0].q, 2.05f);
    EXPECT_FLOAT_EQ(bands[0].gain, -3.5f);
    EXPECT_EQ(bands[1].band, 1);
    EXPECT_EQ(bands[1].frequency, 100);
    EXPECT_FLOAT_EQ(bands[1].q, 0.70f);
    EXPECT_FLOAT_EQ(bands[1].gain, 0.0f);
}

TEST_F(ReplyDecodingTest, DelaysPerChannel) {
    Feed(CMD_DSP, 0x07, "00 00 00 01 01 00 FA 00 01 F4");
    const auto delays = main.RecordsOf<DspDelayRecord>();
    ASSERT_EQ(delays.size(), 2u);
    EXPECT_FLOAT_EQ(delays[0].delayMs, 1.25f);
    EXPECT_FLOAT_EQ(delays[1].delayMs, 0.5f);
    EXPECT_EQ(delays[1].channel, 1);
}

TEST_F(ReplyDecodingTest, InputMixTrimIsOneRecordStartingAtTheFirstOutput) {
    Feed(CMD_DSP, 0x24, "00 00 01 02 03 05 FB");
    const auto records = main.RecordsOf<DspInputMixTrimRecord>();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].trim[0], 0x05);
    EXPECT_EQ(records[0].trim[1], 0xFB);
    for (int i = 2; i < 16; ++i) EXPECT_EQ(records[0].trim[i], 0);
}

TEST_F(ReplyDecodingTest, QFactorModeFillsItsSlotsOnly) {
    Feed(CMD_DSP, 0x37, "00 00 02 03 07 09");
    const auto records = main.RecordsOf<DspQFactRecord>();
    ASSERT_EQ(records.size(), 1u);
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(records[0].mode[c], c == 2 ? 7 : c == 3 ? 9 : 0) << "slot " << c;
    }
}

TEST_F(ReplyDecodingTest, BackwardsRangePostsNothingPerChannelButOneWholeRecord) {
    Feed(CMD_DSP, 0x09, "00 00 03 02 01");
    Feed(CMD_DSP, 0x38, "00 00 03 02");
    EXPECT_TRUE(main.RecordsOf<DspChannelValueRecord>().empty());
    EXPECT_EQ(main.RecordsOf<DspQFactRecord>().size(), 1u);
}

TEST_F(ReplyDecodingTest, RangesStopAtChannel15AndAtThePacketEnd) {
    // Last channel 255: channels 14 and 15 decode, nothing beyond the slots.
    Feed(CMD_DSP, 0x0A, "00 00 0E FF 01 FF 05 06");
    const auto values = main.RecordsOf<DspChannelValueRecord>();
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].value, 1);
    EXPECT_EQ(values[1].channel, 15);
    EXPECT_EQ(values[1].value, -1);  // phase is signed
    // A range claiming 8 channels with entries for 2 posts 2.
    Feed(CMD_DSP, 0x08, "00 00 00 07 FA 03");
    const auto trims = main.RecordsOf<DspTrimRecord>();
    ASSERT_EQ(trims.size(), 2u);
    EXPECT_FLOAT_EQ(trims[0].trimDb, -6.0f);
}

TEST_F(ReplyDecodingTest, CompressorReplyOfMoreThanOneChannelIsRejected) {
    Feed(CMD_DSP, 0x3E, "00 00 01 02 01 50 05 04 00 02 05 00 0A 01 F4");
    EXPECT_TRUE(main.RecordsOf<DspCompressorRecord>().empty());
    Feed(CMD_DSP, 0x3E, "00 00 01 01 01 50 05 04 00 02 05 00 0A 01 F4");
    const auto records = main.RecordsOf<DspCompressorRecord>();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].threshold, -19);  // 80 + 0.5 - 100 toward zero
    EXPECT_FLOAT_EQ(records[0].ratio, 4.0f);
    EXPECT_FLOAT_EQ(records[0].softKnee, 2.5f);
    EXPECT_EQ(records[0].attack, 10);
    EXPECT_EQ(records[0].release, 500);
}

struct IrcStatusCase {
    const char* name;
    const char* payload;
    bool posts;
    std::uintptr_t wParam;
    std::int64_t lParam;
};

void PrintTo(const IrcStatusCase& c, std::ostream* os) { *os << c.name; }

class IrcStatusTest : public ReplyDecodingTest,
                      public ::testing::WithParamInterface<IrcStatusCase> {};

TEST_P(IrcStatusTest, PostsStatusAndItsValue) {
    Feed(CMD_DSP, 0x13, GetParam().payload);
    const auto messages = irc.Messages();
    ASSERT_EQ(messages.size(), GetParam().posts ? 1u : 0u);
    if (!GetParam().posts) return;
    EXPECT_EQ(messages[0].id, WM_READ_IRC_VALUE);
    EXPECT_EQ(messages[0].wParam, GetParam().wParam);
    EXPECT_EQ(std::get<std::int64_t>(messages[0].lParam), GetParam().lParam);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, IrcStatusTest,
    ::testing::Values(IrcStatusCase{"StartWithProgress", "00 09 00 21", true, 0, 0x21},
                      IrcStatusCase{"RtaUpdateCarriesP1", "07 09 00 21", true, 7, 9},
                      IrcStatusCase{"EqUpdateCarriesP1", "08 03 00 21", true, 8, 3},
                      IrcStatusCase{"Done", "0A 00 00 64", true, 10, 100},
                      IrcStatusCase{"FailNoMic", "0B 00 00 00 01", true, 11, 1},
                      IrcStatusCase{"FailUnknownReason", "0B 00 00 00 07", false, 0, 0},
                      IrcStatusCase{"Exit", "0C 00 00 05", true, 12, 5},
                      IrcStatusCase{"UnknownStatus", "0D 00 00 05", false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplyDecodingTest, SimpleValuesAndMemoryWords) {
    Feed(CMD_DSP, 0x02, "F6");
    Feed(CMD_DSP, 0x02, "0A", OP_ACK);  // acknowledged setter: nothing posted
    Feed(CMD_DSP, 0x42, "34 12 00 00 01 00 00 00");
    const auto messages = main.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(std::get<std::int64_t>(messages[0].lParam), -10);
    const auto words = mem.RecordsOf<DspMemRecord>();
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].address, 0x1234u);
    EXPECT_EQ(words[0].data, 1u);
}

TEST_F(ReplyDecodingTest, SceneNamesAreEmptiedOnlyWhenErased) {
    Feed(CMD_FLASH, 0x0B, "01 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF");
    Feed(CMD_FLASH, 0x0B, "02 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41");
    Feed(CMD_FLASH, 0x0B, "03 43 61 72 20 4F 6E 65 00 00 00 00 00 00 00 00 00");
    const auto names = main.RecordsOf<SceneNameRecord>();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0].index, 0);
    for (std::uint8_t b : names[0].name) EXPECT_EQ(b, 0);
    for (std::uint8_t b : names[1].name) EXPECT_EQ(b, 0x41);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names[2].name)), "Car One");
}

TEST_F(ReplyDecodingTest, SceneAcknowledgementsIdAndValidSet) {
    Feed(CMD_FLASH, 0x0F, "00 05");
    Feed(CMD_FLASH, 0x0E, "03");
    Feed(CMD_FLASH, 0x08, "0A 04", OP_ACK);
    Feed(CMD_FLASH, 0x08, "60 04", OP_ACK);  // not ready: nothing posted
    Feed(CMD_FLASH, 0x0A, "0A 06", OP_ACK);
    const auto valid = main.RecordsOf<SceneValidRecord>();
    ASSERT_EQ(valid.size(), 1u);
    EXPECT_EQ(valid[0].valid, 5);
    const auto messages = scene.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].id, WM_SCENE_ID);
    EXPECT_EQ(std::get<std::int64_t>(messages[0].lParam), 3);
    EXPECT_EQ(messages[1].id, WM_READ_SCENE_VALUE);
    EXPECT_EQ(messages[1].wParam, 4u);
    EXPECT_EQ(messages[2].id, WM_SCENE_DELETED);
    EXPECT_EQ(messages[2].wParam, 6u);
}

// Random bytes and random well-framed packets must never crash a decoder or
// let it index past a record (the sanitizer build checks the memory side).
TEST_F(ReplyDecodingTest, RandomTrafficIsHandledSafely) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 20000; ++i) link.packet_process(static_cast<std::uint8_t>(byte(random)));
    for (int i = 0; i < 20000; ++i) {
        const std::uint8_t cmd = static_cast<std::uint8_t>(1 + byte(random) % 3);
        const std::uint8_t optype = byte(random) % 2 ? OP_UPDATE : OP_ACK;
        std::vector<std::uint8_t> payload(byte(random) % 58);
        for (std::uint8_t& b : payload) b = static_cast<std::uint8_t>(byte(random));
        test::FeedPacket(link, cmd, static_cast<std::uint8_t>(byte(random) % 0x48), optype,
                         payload);
    }
    for (const auto& r : main.RecordsOf<DspChannelValueRecord>()) {
        EXPECT_LE(r.channel, 15);
    }
    for (const auto& r : main.RecordsOf<DspFilterRecord>()) EXPECT_LE(r.channel, 15);
}

}  // namespace
}  // namespace kavelo
