// A close from another thread does not wait out a silent amplifier: the read
// in progress ends early (as a time-out) and the handle is released after it.
// One table over both fakes a read can wait on.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <ostream>

#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

// A port whose reads wait for a reply that does not come.
struct SilentPort {
    virtual ~SilentPort() = default;
    virtual HidPort& Port() = 0;
    virtual bool WaitForWaitingRead() = 0;
    // Ends a read that ignored the close, so that the test fails instead of hanging.
    virtual void Unblock() = 0;
    virtual void CheckAfterClose() {}
};

struct HeldScriptedPort : SilentPort {
    test::ScriptedHidPort port;
    HeldScriptedPort() { port.script.holdReads = true; }
    HidPort& Port() override { return port; }
    bool WaitForWaitingRead() override { return port.WaitForReads(1, std::chrono::seconds(30)); }
    void Unblock() override { port.Release(); }
    void CheckAfterClose() override {
        const auto events = port.Events();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[events.size() - 2], "read-cancelled");  // before the handle goes
        EXPECT_EQ(events.back(), "close");
    }
};

struct SilentAmplifier : SilentPort {
    VirtualAmplifier amp;
    SilentAmplifier() { amp.SetSilent(true); }
    HidPort& Port() override { return amp; }
    bool WaitForWaitingRead() override { return amp.WaitForWaitingRead(std::chrono::seconds(30)); }
    void Unblock() override { amp.Unplug(); }
};

struct CloseCase {
    const char* name;
    std::function<std::unique_ptr<SilentPort>()> make;
    bool notifyDevice;
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class CloseDuringRead : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseDuringRead, EndsTheReadInsteadOfWaitingItOut) {
    const std::unique_ptr<SilentPort> silent = GetParam().make();
    DeviceLink link(silent->Port());
    link.SetLinkConfig(87, 8, 6, 0, 0);
    link.OpenHIDDevice();
    ASSERT_TRUE(link.IsDeviceOpen());
    // The read's own time-out is far beyond the close's bound but finite, so a close
    // that ignores the read fails the test instead of hanging it.
    auto read = std::async(std::launch::async,
                           [&] { return link.ReadHIDData(link.ReceiveBuffer(), 30 * 1000); });
    ASSERT_TRUE(silent->WaitForWaitingRead());
    auto closed =
        std::async(std::launch::async, [&] { link.CloseHIDDevice(GetParam().notifyDevice); });
    // Only a read that ignores the close gets anywhere near this bound.
    const bool closedInTime =
        closed.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!closedInTime) silent->Unblock();
    EXPECT_TRUE(closedInTime);
    EXPECT_FALSE(read.get());
    closed.get();
    EXPECT_FALSE(link.IsDeviceOpen());
    silent->CheckAfterClose();
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, CloseDuringRead,
    ::testing::Values(
        CloseCase{"ScriptedPort", [] { return std::make_unique<HeldScriptedPort>(); }, false},
        CloseCase{"VirtualAmplifier", [] { return std::make_unique<SilentAmplifier>(); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavelo
