#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

using namespace std::chrono_literals;
using test::ScriptedHidPort;

class LinkQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        link = std::make_unique<DeviceLink>(port);
        link->OpenHIDDevice();
        ASSERT_TRUE(link->IsDeviceOpen());
    }
    void TearDown() override {
        port.Release();
        if (link) link->CloseHIDDevice(false);
        link.reset();
    }
    bool Queue(std::uint8_t subcmd, bool sync = false) {
        const std::uint8_t payload[] = {subcmd};
        return link->SendOrQueue(CMD_DSP, subcmd, OP_SET, payload, 1, sync, 50);
    }

    ScriptedHidPort port;
    std::unique_ptr<DeviceLink> link;
};

TEST_F(LinkQueueTest, ClosedGateDropsQueuedCommands) {
    EXPECT_FALSE(Queue(0x10));
    EXPECT_EQ(link->QueuedCommandCount(), 0u);
    // An immediate command ignores the gate.
    Queue(0x11, /*sync=*/true);
    link->RequestStop();
    link.reset();
    EXPECT_EQ(port.CountEvents("write"), 1);
}

TEST_F(LinkQueueTest, QueuedCommandsAreWrittenInOrderEachAfterThePreviousRead) {
    link->EnableCmdQueue();
    ASSERT_TRUE(Queue(0x21));
    ASSERT_TRUE(Queue(0x22));
    ASSERT_TRUE(Queue(0x23));
    ASSERT_TRUE(port.WaitForReads(3, 5s));
    port.Release();
    link->RequestStop();
    link.reset();
    std::vector<std::string> exchanges;
    for (const std::string& e : port.Events()) {
        if (e.rfind("write", 0) == 0 || e.rfind("read", 0) == 0) exchanges.push_back(e);
    }
    const std::vector<std::string> expected = {"write:33", "read-begin", "read-end",
                                               "write:34", "read-begin", "read-end",
                                               "write:35", "read-begin", "read-end"};
    EXPECT_EQ(exchanges, expected);
}

TEST_F(LinkQueueTest, DestructionSendsNoPendingRecordButCompletesTheCurrentOne) {
    port.script.holdReads = true;
    link->EnableCmdQueue();
    ASSERT_TRUE(Queue(0x30));
    ASSERT_TRUE(port.WaitForReads(1, 5s));  // the worker is inside the first exchange
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(Queue(static_cast<std::uint8_t>(0x40 + i)));
    EXPECT_EQ(link->QueuedCommandCount(), 20u);
    link->RequestStop();
    port.Release();
    link.reset();  // payloads of the 20 are freed (checked by the sanitizer build)
    EXPECT_EQ(port.CountEvents("write"), 1);
    EXPECT_EQ(port.CountEvents("read-end"), 1);
}

// Idle means every queued command was written and its reply read: what a
// close waits for before it ends the link.
TEST_F(LinkQueueTest, IdleOnceEveryQueuedCommandIsAnswered) {
    link->EnableCmdQueue();
    EXPECT_TRUE(link->WaitCmdQueueIdle(0ms));
    port.script.holdReads = true;
    ASSERT_TRUE(Queue(0x50));
    ASSERT_TRUE(Queue(0x51));
    ASSERT_TRUE(port.WaitForReads(1, 5s));  // the first is in hand, the second queued
    EXPECT_FALSE(link->WaitCmdQueueIdle(0ms));
    EXPECT_FALSE(link->WaitCmdQueueIdle(50ms));  // a wait that times out says so
    port.Release();
    ASSERT_TRUE(link->WaitCmdQueueIdle(5s));
    EXPECT_EQ(port.CountEvents("write"), 2);
    EXPECT_EQ(port.CountEvents("read-end"), 2);
}

// Against the virtual amplifier: a long burst is kept whole and arrives in order.
TEST(LinkQueueVirtualAmplifier, MoreThan511RecordsAreAllSentInOrder) {
    VirtualAmplifier amp;
    DeviceLink link(amp);
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    // The first reply is held: the worker stays inside the first exchange while the
    // rest queue up behind it, however fast or slow the enqueuing is.
    amp.HoldReplies(true);
    link.EnableCmdQueue();
    constexpr int kCount = 700;
    for (int i = 0; i < kCount; ++i) {
        const std::uint8_t payload[] = {static_cast<std::uint8_t>(i >> 8),
                                        static_cast<std::uint8_t>(i)};
        ASSERT_TRUE(link.EnqueueCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, payload, 2));
    }
    ASSERT_TRUE(amp.WaitForWrites(1, 5s));
    EXPECT_EQ(link.QueuedCommandCount(), static_cast<std::size_t>(kCount - 1));
    amp.HoldReplies(false);
    ASSERT_TRUE(amp.WaitForWrites(kCount, 60s));
    const auto reports = amp.WrittenReports();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(reports[i][7] * 256 + reports[i][8], i) << "report " << i;
    }
    link.CloseHIDDevice(false);
}

}  // namespace
}  // namespace kavelo
