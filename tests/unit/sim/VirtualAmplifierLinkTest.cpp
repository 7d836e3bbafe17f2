#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <variant>
#include <vector>

#include "AmplifierPresets.h"
#include "HexBytes.h"
#include "RecordingSink.h"
#include "StandingClock.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

using namespace std::chrono_literals;

class AmplifierLinkTest : public ::testing::Test {
protected:
    AmplifierLinkTest() : link(amp) { link.MainReceiver = &sink; }
    ~AmplifierLinkTest() override { link.CloseHIDDevice(false); }

    void Connect() {
        link.OpenHIDDevice();
        ASSERT_TRUE(link.IsDeviceOpen());
    }
    const McuHandshakeRecord* LastHandshake() {
        messages = sink.Messages();
        if (messages.empty()) return nullptr;
        return std::get_if<McuHandshakeRecord>(&messages.back().lParam);
    }

    VirtualAmplifier amp;
    test::RecordingSink sink;
    DeviceLink link;
    std::vector<DeviceMessage> messages;
};

TEST_F(AmplifierLinkTest, HandshakeIdentifiesTheAmplifier) {
    amp.SetVersions(2, 7);
    Connect();
    link.PC_Connect(1);
    EXPECT_TRUE(amp.HostConnected());
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_TRUE(link.McuNormalMode);
    EXPECT_EQ(link.DeviceModel, 87);
    const McuHandshakeRecord* record = LastHandshake();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->model, 87);
    EXPECT_EQ(record->masterVersion, 2);
    EXPECT_EQ(record->slaveVersion, 7);

    const auto reports = amp.WrittenReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(ToHex(reports[0].data(), 9), "00 AA 55 04 03 1F BB 01 1E");
    EXPECT_EQ(ToHex(reports[1].data(), 8), "00 AA 55 03 03 08 BB 37");

    link.CloseHIDDevice(true);
    EXPECT_FALSE(amp.HostConnected());
    EXPECT_EQ(amp.WriteCount(), 3u);
}

TEST_F(AmplifierLinkTest, WrongModelIsReportedAsIs) {
    amp.SetModel(12);
    Connect();
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_EQ(link.DeviceModel, 12);
}

TEST_F(AmplifierLinkTest, LoaderModeIsReportedAsAbnormal) {
    amp.SetLoaderMode(true);
    Connect();
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_FALSE(link.McuNormalMode);
    EXPECT_EQ(link.DeviceModel, -1);
    messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, WM_DEVICE_ABNORMAL);
}

TEST_F(AmplifierLinkTest, UnsolicitedReportsAreDecodedOnTheNextRead) {
    Connect();
    ASSERT_TRUE(link.Hand_Connect());
    amp.SetFlashVersion({4, 3, 2, 1});
    amp.SendVersionReport();
    amp.SendPing();
    ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 1000));
    ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 1000));
    messages = sink.Messages();
    ASSERT_EQ(messages.size(), 3u);
    const auto* version = std::get_if<McuFlashVersionRecord>(&messages[1].lParam);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->version[0], 4);
    EXPECT_EQ(version->version[3], 1);
    EXPECT_EQ(messages[2].wParam, 147u);
    EXPECT_FALSE(link.McuNormalMode);
}

// DSP reports the amplifier sends unasked: the DSP status (0 = off) and the
// input threshold, which the amplifier also keeps.
TEST_F(AmplifierLinkTest, UnsolicitedDspReportsReachTheMainReceiver) {
    Connect();
    amp.SendDspStatus(0);
    amp.SendDspStatus(1);
    amp.SendInputThreshold(-42);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 1000));
    messages = sink.Messages();
    ASSERT_EQ(messages.size(), 3u);
    const std::pair<std::uintptr_t, std::int64_t> expected[] = {{0x46, 0}, {0x46, 1}, {0x26, -42}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].id, WM_READ_DSP_VALUE);
        EXPECT_EQ(messages[i].wParam, expected[i].first);
        EXPECT_EQ(std::get<std::int64_t>(messages[i].lParam), expected[i].second);
    }
    EXPECT_EQ(static_cast<std::int8_t>(amp.LiveState().inputThreshold), -42);
}

TEST_F(AmplifierLinkTest, SilentAmplifierReadTimesOut) {
    amp.SetSilent(true);
    Connect();
    EXPECT_TRUE(link.SendCtrlCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0));
    amp.TakeLongestReadWaitMs();
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), 100));
    EXPECT_EQ(amp.TakeLongestReadWaitMs(), 100);  // the whole wait was handed to the port
    EXPECT_EQ(link.DeviceModel, -1);
}

TEST_F(AmplifierLinkTest, LateReplyArrivesWithinALongEnoughRead) {
    Connect();
    amp.HoldReplies(true);
    link.SendCtrlCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0);
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), 1));  // not there yet
    amp.HoldReplies(false);
    EXPECT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 5000));
    EXPECT_EQ(link.DeviceModel, 87);
}

TEST_F(AmplifierLinkTest, BadChecksumReplyArrivesButIsNotDecoded) {
    amp.SetBadChecksum(true);
    Connect();
    EXPECT_TRUE(link.Hand_Connect());
    EXPECT_EQ(link.DeviceModel, -1);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(AmplifierLinkTest, SplitReplyIsCompletedByTheNextRead) {
    amp.SetSplitReplies(6);
    Connect();
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_EQ(link.DeviceModel, -1);  // only the first part so far
    ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 1000));
    EXPECT_EQ(link.DeviceModel, 87);
}

TEST_F(AmplifierLinkTest, UnplugAtTheNthExchange) {
    amp.UnplugAtExchange(2);
    Connect();
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_FALSE(link.SendCtrlCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0));
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), 10));
    link.CloseHIDDevice(false);
    link.OpenHIDDevice();
    EXPECT_FALSE(link.IsDeviceOpen());
    amp.Plug();
    Connect();
    EXPECT_TRUE(link.Hand_Connect());
}

// The cable is pulled while the worker sends a queued setting: its read of the
// reply fails at once on the dead handle. The removal's close ends the
// worker's retries instead of waiting out their 10 s, and the worker goes on.
TEST(AmplifierUnplug, RemovalCloseEndsTheWorkersRetriesAtOnce) {
    VirtualAmplifier amp;
    test::StandingClock clock;  // only the close can end the retries
    DeviceLink link(amp, clock);
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    link.EnableCmdQueue();
    amp.UnplugAtExchange(1);
    ASSERT_TRUE(link.Main_Volume_Ctrl(-12.0f, false));
    const bool paused = clock.WaitForPauses(1, 5s);
    auto closed = std::async(std::launch::async, [&] { link.CloseHIDDevice(true); });
    const bool prompt = closed.wait_for(5s) == std::future_status::ready;
    clock.Expire();  // a loop the close failed to end runs out of time now
    closed.get();
    EXPECT_TRUE(paused);
    EXPECT_TRUE(prompt) << "the close waited for the worker's read time-out";
    EXPECT_EQ(clock.Pauses(), 1);
    EXPECT_FALSE(link.IsDeviceOpen());
    EXPECT_FALSE(amp.IsPlugged());

    // The worker still serves the link once the amplifier is back.
    amp.Plug();
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    ASSERT_TRUE(link.Main_Volume_Ctrl(-6.0f, false));
    EXPECT_TRUE(amp.WaitForWrites(2, 5s));  // the first was the one that failed
    link.CloseHIDDevice(false);
}

// What the system's device notifications would report, in order, told
// outside the amplifier's lock (the observer asks the amplifier itself).
TEST_F(AmplifierLinkTest, EnumerationChangesAreReportedInOrder) {
    std::vector<std::string> seen;
    amp.SetEnumerationObserver([&](bool present) {
        seen.push_back(std::string(present ? "arrived" : "removed") +
                       (amp.IsPlugged() ? " plugged" : " unplugged"));
    });
    Connect();
    ASSERT_TRUE(link.MCU_Factory_Reset_Ctrl());  // restarts once the reply is read
    amp.Unplug();
    amp.Unplug();  // already out: nothing new
    amp.Plug();
    amp.UnplugAtExchange(static_cast<int>(amp.WriteCount()) + 1);
    link.CloseHIDDevice(false);
    Connect();
    EXPECT_FALSE(link.Hand_Connect());
    amp.SetEnumerationObserver(nullptr);
    amp.Plug();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"removed plugged", "arrived plugged", "removed unplugged",
                                        "arrived plugged", "removed unplugged"}));
}

TEST_F(AmplifierLinkTest, FactoryResetRestoresDefaultsAndRestarts) {
    test::ApplyRichPreset(amp);
    Connect();
    ASSERT_TRUE(link.MCU_Factory_Reset_Ctrl());
    EXPECT_EQ(amp.RestartCount(), 1);
    const AmplifierSnapshot after = amp.Snapshot();
    EXPECT_EQ(after.live, FactoryLiveState());
    for (const AmpStoredScene& scene : after.scenes) EXPECT_EQ(scene, ErasedScene());
    EXPECT_EQ(after.currentScene, 0);
    EXPECT_EQ(after.memory, test::RichAmplifierSnapshot().memory);  // DSP memory is not settings
    // The old handle is gone with the restart; a reopen finds the new interface.
    EXPECT_FALSE(link.SendCtrlCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0));
    link.CloseHIDDevice(false);
    Connect();
    EXPECT_TRUE(link.Hand_Connect());
    EXPECT_EQ(link.DeviceModel, 87);
}

TEST_F(AmplifierLinkTest, QueuedHandshakeIsDecodedByTheWorker) {
    Connect();
    link.EnableCmdQueue();
    ASSERT_TRUE(link.SendOrQueue(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0, false));
    ASSERT_TRUE(sink.WaitForCount(1, 10s));
    EXPECT_EQ(link.DeviceModel, 87);
}

}  // namespace
}  // namespace kavelo
