#include <gtest/gtest.h>

#include <ostream>
#include <variant>

#include "HexBytes.h"
#include "RecordingSink.h"
#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"

namespace kavelo {
namespace {

using test::FromHex;

// Feeds one framed packet straight into the link's parser.
void Feed(DeviceLink& link, std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
          const std::vector<std::uint8_t>& payload) {
    std::uint8_t bytes[64];
    const std::size_t n =
        FramePacket(cmd, subcmd, optype, payload.data(), payload.size(), bytes, sizeof bytes);
    ASSERT_NE(n, 0u);
    for (std::size_t i = 0; i < n; ++i) link.packet_process(bytes[i]);
}

class McuDecodingTest : public ::testing::Test {
protected:
    McuDecodingTest() : link(port) { link.MainReceiver = &sink; }
    test::ScriptedHidPort port;
    test::RecordingSink sink;
    DeviceLink link;
};

TEST_F(McuDecodingTest, NormalHandshakeSetsModelAndPostsTheRecord) {
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, FromHex("00 57 01 12"));
    EXPECT_TRUE(link.McuNormalMode);
    EXPECT_EQ(link.DeviceModel, 87);
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, WM_READ_MCU_VALUE);
    EXPECT_EQ(messages[0].wParam, 8u);
    const auto* record = std::get_if<McuHandshakeRecord>(&messages[0].lParam);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->reserved, 0);
    EXPECT_EQ(record->model, 87);
    EXPECT_EQ(record->masterVersion, 1);
    EXPECT_EQ(record->slaveVersion, 18);
}

TEST_F(McuDecodingTest, LoaderHandshakeClearsNormalModeAndKeepsTheModel) {
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, FromHex("00 57 01 12"));
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, FromHex("F0 00 00 00"));
    EXPECT_FALSE(link.McuNormalMode);
    EXPECT_EQ(link.DeviceModel, 87);
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].id, WM_DEVICE_ABNORMAL);
    EXPECT_EQ(messages[1].wParam, 0u);
}

TEST_F(McuDecodingTest, VersionReportPostsTheFourParts) {
    Feed(link, CMD_MCU, MCU_GET_DSPFLASH_VER, OP_UPDATE, FromHex("01 02 03 04"));
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, 11u);
    const auto* record = std::get_if<McuFlashVersionRecord>(&messages[0].lParam);
    ASSERT_NE(record, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(record->reserved[i], 0);
        EXPECT_EQ(record->version[i], i + 1);
    }
}

TEST_F(McuDecodingTest, PingClearsNormalMode) {
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, FromHex("00 57 01 12"));
    Feed(link, CMD_MCU, MCU_PING, OP_UPDATE, {});
    EXPECT_FALSE(link.McuNormalMode);
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].id, WM_READ_MCU_VALUE);
    EXPECT_EQ(messages[1].wParam, 147u);
}

TEST_F(McuDecodingTest, UnexpectedOptypeUnknownSubcmdShortPacketChangeNothing) {
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_ACK, FromHex("00 57 01 12"));
    Feed(link, CMD_MCU, MCU_PING, OP_ACK, {});
    Feed(link, CMD_MCU, 0x77, OP_UPDATE, FromHex("00 57"));
    Feed(link, 5, MCU_HANDSHAKE, OP_UPDATE, FromHex("00 57 01 12"));  // unknown class
    // L = 2: no optype; dropped before any processor runs.
    for (std::uint8_t b : FromHex("AA 55 02 03 08 F3")) link.packet_process(b);
    EXPECT_FALSE(link.McuNormalMode);
    EXPECT_EQ(link.DeviceModel, -1);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(McuDecodingTest, EmptyReceiverSlotDropsTheMessage) {
    link.MainReceiver = nullptr;
    Feed(link, CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, FromHex("00 57 01 12"));
    EXPECT_EQ(link.DeviceModel, 87);
}

struct AckCase {
    const char* name;
    std::uint8_t cmd;
    std::uint8_t subcmd;
    std::uint8_t status;
    int before;
    int after;
};

void PrintTo(const AckCase& c, std::ostream* os) { *os << c.name; }

class UpgradeAckTest : public McuDecodingTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(UpgradeAckTest, MovesTheUpgradeStateAsTheAcknowledgementSays) {
    const AckCase& c = GetParam();
    link.sys_upg_status = c.before;
    Feed(link, c.cmd, c.subcmd, OP_ACK, {c.status});
    EXPECT_EQ(link.sys_upg_status, c.after);
    EXPECT_TRUE(sink.Messages().empty());
}

constexpr std::uint8_t R = ACK_READY;
constexpr std::uint8_t N = ACK_NOT_READY;

INSTANTIATE_TEST_SUITE_P(
    Rows, UpgradeAckTest,
    ::testing::Values(
        AckCase{"McuEnterReady", CMD_MCU, 0x01, R, UPG_ENTER, UPG_START},
        AckCase{"BootEnterReady", CMD_MCU, 0xA0, R, UPG_ENTER, UPG_START},
        AckCase{"McuEnterNotReady", CMD_MCU, 0x01, N, UPG_ENTER, UPG_ENTER},
        AckCase{"McuStartReady", CMD_MCU, 0x02, R, UPG_START, UPG_SEND_BIN_DATA},
        AckCase{"BootStartNotReady", CMD_MCU, 0xA1, N, UPG_START, UPG_FAIL},
        AckCase{"McuStartOtherStatusFails", CMD_MCU, 0x02, 0x33, UPG_START, UPG_FAIL},
        AckCase{"McuDataReady", CMD_MCU, 0x03, R, UPG_WAITING_BIN_DATA_ACK, UPG_SEND_BIN_DATA},
        AckCase{"BootDataNotReadyWaitsAgain", CMD_MCU, 0xA2, N, UPG_WAITING_BIN_DATA_ACK,
                UPG_WAITING_BIN_DATA_ACK},
        AckCase{"McuDataOutsideWaitIgnored", CMD_MCU, 0x03, R, UPG_SEND_BIN_DATA,
                UPG_SEND_BIN_DATA},
        AckCase{"McuFinishReadyKeepsFinish", CMD_MCU, 0x04, R, UPG_FINISH, UPG_FINISH},
        AckCase{"BootFinishReadyKeepsFinish", CMD_MCU, 0xA3, R, UPG_FINISH, UPG_FINISH},
        AckCase{"FlashStartReady", CMD_FLASH, 0x03, R, UPG_START, UPG_SEND_BIN_DATA},
        AckCase{"FlashStartReadyOutsideStartIgnored", CMD_FLASH, 0x03, R, UPG_IDLE, UPG_IDLE},
        AckCase{"FlashStartNotReady", CMD_FLASH, 0x03, N, UPG_START, UPG_FAIL},
        AckCase{"FlashDataReady", CMD_FLASH, 0x04, R, UPG_WAITING_BIN_DATA_ACK, UPG_SEND_BIN_DATA},
        AckCase{"FlashDataNotReady", CMD_FLASH, 0x04, N, UPG_WAITING_BIN_DATA_ACK,
                UPG_WAITING_BIN_DATA_ACK},
        AckCase{"FlashFinishReady", CMD_FLASH, 0x05, R, UPG_FINISH, UPG_FINISH}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(McuDecodingTest, UpgradeRowsNeedAnAcknowledgement) {
    link.sys_upg_status = UPG_START;
    Feed(link, CMD_MCU, 0x02, OP_UPDATE, {ACK_READY});
    Feed(link, CMD_FLASH, 0x03, OP_UPDATE, {ACK_READY});
    Feed(link, CMD_MCU, 0x02, OP_ACK, {});  // no status byte
    EXPECT_EQ(link.sys_upg_status, UPG_START);
}

}  // namespace
}  // namespace kavelo
