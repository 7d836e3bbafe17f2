#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <ostream>
#include <vector>

#include "HexBytes.h"
#include "RecordingSink.h"
#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"

namespace kavelo {
namespace {

using test::ScriptedHidPort;

struct OpenCase {
    const char* name;
    ScriptedHidPort::Script script;
    int expectedResult;
    bool expectedOpen;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

ScriptedHidPort::Script OpenScript(int initResult, bool present, unsigned failingStrings) {
    ScriptedHidPort::Script script;
    script.initResult = initResult;
    script.present = present;
    script.failingStrings = failingStrings;
    return script;
}

class OpenHIDDeviceTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenHIDDeviceTest, OpensOnlyAUsableAmplifier) {
    const OpenCase& c = GetParam();
    ScriptedHidPort port;
    port.script = c.script;
    {
        DeviceLink link(port);
        EXPECT_EQ(link.OpenHIDDevice(), c.expectedResult);
        EXPECT_EQ(link.IsDeviceOpen(), c.expectedOpen);
        if (c.script.initResult == 0) {
            EXPECT_EQ(port.openedVendor, 0x0483);
            EXPECT_EQ(port.openedProduct, 0x5750);
        } else {
            EXPECT_EQ(port.CountEvents("open"), 0);
        }
        // Only an accepted device is switched to non-blocking mode; a rejected
        // one is closed again.
        EXPECT_EQ(port.CountEvents("nonblocking:1"), c.expectedOpen ? 1 : 0);
        const bool rejectedAfterOpen =
            c.script.present && c.script.initResult == 0 && !c.expectedOpen;
        EXPECT_EQ(port.CountEvents("close"), rejectedAfterOpen ? 1 : 0);
        link.CloseHIDDevice(false);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transport, OpenHIDDeviceTest,
    ::testing::Values(
        OpenCase{"Accepted", {}, 0, true},
        OpenCase{"InitFails", OpenScript(-1, true, 0), -1, false},
        OpenCase{"NoDevice", OpenScript(0, false, 0), 0, false},
        OpenCase{"TwoStringsUnreadableAccepted", OpenScript(0, true, 4 | 8), 0, true},
        OpenCase{"ThreeStringsUnreadableRejected", OpenScript(0, true, 2 | 4 | 8), 0, false},
        OpenCase{"AllStringsUnreadableRejected", OpenScript(0, true, 15), 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Opening again replaces the interface with the new result: another handle, or
// none when the amplifier is gone or unusable now.
TEST(DeviceLinkTransport, OpeningAgainTakesTheNewResult) {
    struct Row {
        const char* name;
        bool present;
        unsigned failingStrings;
        bool open;
    };
    const Row rows[] = {
        {"Found", true, 0, true}, {"Gone", false, 0, false}, {"Unusable", true, 15, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedHidPort port;
        DeviceLink link(port);
        link.OpenHIDDevice();
        ASSERT_TRUE(link.IsDeviceOpen());
        port.script.present = r.present;
        port.script.failingStrings = r.failingStrings;
        link.OpenHIDDevice();
        EXPECT_EQ(link.IsDeviceOpen(), r.open);
        // The first interface is closed in every case, a rejected new one too.
        EXPECT_EQ(port.CountEvents("close"), r.present && !r.open ? 2 : 1);
        link.CloseHIDDevice(false);
    }
}

// An amplifier unplugged in the middle of a reply leaves a packet cut off;
// the first reply of the next interface must not be taken for its rest.
TEST(DeviceLinkTransport, APacketCutOffWithItsInterfaceIsDropped) {
    struct Row {
        const char* name;
        bool closeFirst;  // a removal closes the interface before it is opened again
    };
    for (const Row& r : {Row{"ClosedThenOpened", true}, Row{"OpenedAgain", false}}) {
        SCOPED_TRACE(r.name);
        std::uint8_t packet[64];
        const std::uint8_t handshake[] = {0x00, 0x57, 0x01, 0x12};
        const std::size_t n = FramePacket(CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, handshake,
                                          sizeof handshake, packet, sizeof packet);
        ASSERT_GT(n, 6u);
        ScriptedHidPort port;
        test::RecordingSink sink;
        DeviceLink link(port);
        link.MainReceiver = &sink;
        // The last five bytes of the report start the packet; its rest never comes.
        port.script.report.assign(64, 0);
        std::copy(packet, packet + 5, port.script.report.end() - 5);
        link.OpenHIDDevice();
        ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 10));
        if (r.closeFirst) link.CloseHIDDevice(false);
        link.OpenHIDDevice();
        port.script.report.assign(packet, packet + n);
        ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 10));
        EXPECT_EQ(link.DeviceModel, 87);
        EXPECT_EQ(sink.Messages().size(), 1u);
        link.CloseHIDDevice(false);
    }
}

// The upgrade engine logs and inspects what a read returned, not a whole report.
TEST(DeviceLinkTransport, UpgradeReadsGiveTheBytesRead) {
    ScriptedHidPort port;
    port.script.report = {0xAA, 0x55, 0x04, 0x03, 0x03, 0xEE, 0x0A};
    DeviceLink link(port);
    link.OpenHIDDevice();
    std::vector<std::uint8_t> report;
    ASSERT_TRUE(link.UpgradeRead(100, report));
    EXPECT_EQ(report, port.script.report);
    bool written = false;
    report.clear();
    ASSERT_TRUE(link.UpgradeExchange(3, 0x03, nullptr, 0, 100, &written, report));
    EXPECT_TRUE(written);
    EXPECT_EQ(report, port.script.report);
    link.CloseHIDDevice(false);
}

TEST(DeviceLinkTransport, SendWithoutDeviceWritesNothing) {
    ScriptedHidPort port;
    DeviceLink link(port);
    const std::uint8_t payload[] = {1};
    EXPECT_FALSE(link.SendCtrlCommand(CMD_MCU, 0x1F, OP_SET, payload, 1));
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), 10));
    EXPECT_EQ(port.CountEvents("write"), 0);
    EXPECT_EQ(port.CountEvents("read"), 0);
}

TEST(DeviceLinkTransport, WriteFailureIsReportedAndNotRetried) {
    ScriptedHidPort port;
    port.script.writeFails = true;
    DeviceLink link(port);
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    EXPECT_FALSE(link.SendCtrlCommand(CMD_DSP, 0x02, OP_GET, nullptr, 0));
    EXPECT_EQ(port.CountEvents("write"), 1);
    link.CloseHIDDevice(false);
}

TEST(DeviceLinkTransport, FailedWriteIsAFailedExchangeEvenWithAReportWaiting) {
    ScriptedHidPort port;
    port.script.writeFails = true;
    port.script.report = test::FromHex("AA 55 03 01 02 EE 0C");  // a main volume report
    DeviceLink link(port);
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    EXPECT_FALSE(link.Get_Main_Volume());
    EXPECT_EQ(port.CountEvents("write"), 1);
    EXPECT_EQ(port.CountEvents("read-begin"), 0);  // nothing taken for the answer
    port.script.writeFails = false;
    EXPECT_TRUE(link.Get_Main_Volume());  // the same report answers a command that went out
    link.CloseHIDDevice(false);
}

TEST(DeviceLinkTransport, WritesTheWholeReportAndRefusesAnOversizedPayload) {
    ScriptedHidPort port;
    DeviceLink link(port);
    link.OpenHIDDevice();
    const std::uint8_t payload[] = {1};
    ASSERT_TRUE(link.SendCtrlCommand(CMD_MCU, 0x1F, OP_SET, payload, 1));
    ASSERT_EQ(port.Writes().size(), 1u);
    const auto report = port.Writes()[0];
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(ToHex(report.data(), 9), "00 AA 55 04 03 1F BB 01 1E");

    std::uint8_t big[58] = {};
    EXPECT_FALSE(link.SendCtrlCommand(CMD_DSP, 0x30, OP_SET, big, sizeof big));
    EXPECT_EQ(port.Writes().size(), 1u);
    link.CloseHIDDevice(false);
}

TEST(DeviceLinkTransport, CloseNotifiesTheAmplifierOnlyWhenAsked) {
    for (bool notify : {true, false}) {
        ScriptedHidPort port;
        DeviceLink link(port);
        link.OpenHIDDevice();
        link.CloseHIDDevice(notify);
        EXPECT_FALSE(link.IsDeviceOpen());
        const auto writes = port.Writes();
        ASSERT_EQ(writes.size(), notify ? 1u : 0u);
        if (notify) {
            EXPECT_EQ(ToHex(writes[0].data(), 9), "00 AA 55 04 03 1F BB 00 1F");
        }
        EXPECT_EQ(port.CountEvents("close"), 1);
        link.CloseHIDDevice(notify);  // closing twice does nothing
        EXPECT_EQ(port.Writes().size(), writes.size());
    }
}

}  // namespace
}  // namespace kavelo
