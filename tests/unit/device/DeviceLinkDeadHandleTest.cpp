// A vanished amplifier fails every read at once. The link must neither spin on
// it for the whole time-out nor keep a close waiting that long.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "HexBytes.h"
#include "ScriptedHidPort.h"
#include "StandingClock.h"
#include "TempDir.h"
#include "TickingClock.h"
#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {
namespace {

using namespace std::chrono_literals;
using test::ScriptedHidPort;

// Who is reading when the close arrives, and what its call returns.
struct ReaderCase {
    const char* name;
    std::function<bool(DeviceLink&)> start;
    bool expectedReturn;
    bool notifyOnClose;
};
void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class CloseDuringFailingRead : public ::testing::TestWithParam<ReaderCase> {
protected:
    CloseDuringFailingRead() : link(port, clock) {
        port.script.failingReads = -1;
        link.OpenHIDDevice();
    }
    ~CloseDuringFailingRead() override { LogShutdown(); }
    void SetUp() override { ASSERT_TRUE(InitConsoleWindow((logDir.path() / "save.log").string())); }

    TempDir logDir;
    ScriptedHidPort port;
    test::StandingClock clock;
    DeviceLink link;
};

TEST_P(CloseDuringFailingRead, EndsTheReadAtOnceAndCloses) {
    const ReaderCase& c = GetParam();
    ASSERT_TRUE(link.IsDeviceOpen());
    bool returned = !c.expectedReturn;
    std::thread caller([&] { returned = c.start(link); });
    // The clock stands still, so the reader now waits in its pause between
    // retries until something ends it; nothing but the close can.
    const bool paused = clock.WaitForPauses(1, 5s);
    auto closed = std::async(std::launch::async, [&] { link.CloseHIDDevice(c.notifyOnClose); });
    const bool prompt = closed.wait_for(5s) == std::future_status::ready;
    clock.Expire();  // a loop the close failed to end runs out of time now
    closed.get();
    caller.join();

    EXPECT_TRUE(paused);
    EXPECT_TRUE(prompt) << "the close waited for the read's time-out";
    EXPECT_EQ(returned, c.expectedReturn);
    EXPECT_FALSE(link.IsDeviceOpen());
    EXPECT_EQ(port.CountEvents("read-begin"), 1);
    EXPECT_EQ(clock.Pauses(), 1);

    // The handle is released only after the read let go of it, and the
    // goodbye to the amplifier goes out between the two.
    const std::vector<std::string> events = port.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "close");
    const auto failed = std::find(events.begin(), events.end(), "read-failed");
    const auto goodbye = std::find(failed, events.end(), "write:31");
    EXPECT_EQ(goodbye != events.end(), c.notifyOnClose);
    if (c.notifyOnClose) {
        EXPECT_EQ(ToHex(port.Writes().back().data(), 9), "00 AA 55 04 03 1F BB 00 1F");
    }

    LogShutdown();
    const std::string log = ReadWholeFile(logDir.path() / "save.log");
    std::size_t at = 0;
    for (const char* line : {"ReadHIDData timestart = 0\n", "ReadHIDData done timeend-timestart = 0\n",
                             "ReadHIDData NumberOfBytesRead = -1\n", "CloseHIDDevice!\n"}) {
        const std::size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
        at = found + std::string(line).size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    DeadHandle, CloseDuringFailingRead,
    ::testing::Values(
        ReaderCase{"ReadOnAnotherThread",
                   [](DeviceLink& l) { return l.ReadHIDData(l.ReceiveBuffer(), 10000); }, false,
                   false},
        ReaderCase{"ImmediateQueryAndNotifyingClose",
                   [](DeviceLink& l) { return l.Get_Main_Volume(); }, false, true},
        // The worker thread reads the reply of the queued command.
        ReaderCase{"QueuedCommandOnTheWorker",
                   [](DeviceLink& l) {
                       l.EnableCmdQueue();
                       return l.Main_Volume_Ctrl(-10.0f, false);
                   },
                   true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A read asked for while a close is under way does not touch the port: on a
// silent device it would hold the close for its whole time-out. The goodbye
// written by the close is the one moment a read can start then without a race.
TEST(DeadHandle, ReadIsSkippedWhileACloseIsUnderWay) {
    ScriptedHidPort port;
    DeviceLink link(port);
    link.OpenHIDDevice();
    bool readDuringClose = true;
    port.script.onWrite = [&] { readDuringClose = link.ReadHIDData(link.ReceiveBuffer(), 10000); };
    link.CloseHIDDevice(true);
    EXPECT_FALSE(readDuringClose);
    EXPECT_EQ(port.CountEvents("read-begin"), 0);
    EXPECT_EQ(port.CountEvents("close"), 1);

    // Outside a close, reads reach the port again.
    port.script.onWrite = nullptr;
    link.OpenHIDDevice();
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), 10));  // a time-out
    EXPECT_EQ(port.CountEvents("read-begin"), 1);
    link.CloseHIDDevice(false);
}

// With time passing, a read that keeps failing still honours its whole
// time-out, but pauses between attempts instead of spinning.
class FailingReadPace : public ::testing::TestWithParam<int> {};

TEST_P(FailingReadPace, AttemptsAreBoundedByTheRetryPause) {
    const int timeoutMs = GetParam();
    ScriptedHidPort port;
    port.script.failingReads = -1;
    test::TickingClock clock;
    DeviceLink link(port, clock);
    link.OpenHIDDevice();
    const std::int64_t begin = clock.Peek();
    EXPECT_FALSE(link.ReadHIDData(link.ReceiveBuffer(), timeoutMs));
    const std::int64_t spent = clock.Peek() - begin;

    const int reads = port.CountEvents("read-begin");
    EXPECT_GE(reads, 1);
    EXPECT_LE(reads, timeoutMs / kReadRetryMs + 1);
    EXPECT_GE(clock.waitCount, reads - 1);
    EXPECT_EQ(clock.waitedMs, std::int64_t{clock.waitCount} * kReadRetryMs);
    // The time-out rule is unchanged: retried until the time-out is over,
    // overshooting by at most one pause and the clock's own ticks.
    EXPECT_GT(spent, timeoutMs);
    EXPECT_LE(spent, timeoutMs + kReadRetryMs + 4);
    link.CloseHIDDevice(false);
}

INSTANTIATE_TEST_SUITE_P(DeadHandle, FailingReadPace, ::testing::Values(10, 500, 10000));

struct RecoveryCase {
    const char* name;
    int failures;
    std::vector<std::uint8_t> report;  // empty: the read after the failures times out
    bool expectedResult;
};
void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.name; }

class FailingThenAnswering : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(FailingThenAnswering, RetriesUntilTheReportOrTheTimeOut) {
    const RecoveryCase& c = GetParam();
    ScriptedHidPort port;
    port.script.failingReads = c.failures;
    port.script.report = c.report;
    test::TickingClock clock;
    DeviceLink link(port, clock);
    link.OpenHIDDevice();
    std::uint8_t* buffer = link.ReceiveBuffer();
    std::fill(buffer, buffer + kInputReportSize, 0xFF);

    EXPECT_EQ(link.ReadHIDData(buffer, 10000), c.expectedResult);
    EXPECT_EQ(port.CountEvents("read-begin"), c.failures + 1);
    EXPECT_EQ(clock.waitCount, c.failures);
    if (c.expectedResult) {
        EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + c.report.size()), c.report);
    }
    link.CloseHIDDevice(false);
}

const std::vector<std::uint8_t> kMainVolumeAck = test::FromHex("AA 55 03 01 02 EE 0C");

INSTANTIATE_TEST_SUITE_P(
    DeadHandle, FailingThenAnswering,
    ::testing::Values(RecoveryCase{"AnswersAtOnce", 0, kMainVolumeAck, true},
                      RecoveryCase{"FailsThenAnswers", 3, kMainVolumeAck, true},
                      RecoveryCase{"FailsThenTimesOut", 3, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavelo
