#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "FakeUpgradeLink.h"
#include "TempDir.h"
#include "UpgradeFiles.h"
#include "base/Log.h"
#include "firmware/UpgradeEngine.h"

namespace kavelo {
namespace {

class UpgradeEngineTest : public ::testing::Test {
protected:
    std::string WriteMcu(std::size_t n, const char* name = "MCU_UPG.BIN") {
        ContainerParts parts;
        parts.kind = 1;
        parts.start = {0xA1, 0xB2, 0xC3, 0xD4};
        parts.data = PatternBytes(n, 5);
        image = parts.data;
        return Write(MakeContainer(parts), name);
    }
    std::string WriteDsp(std::size_t n) {
        ContainerParts parts;
        parts.kind = 2;
        parts.start = {0x01, 0x02, 0x03, 0x04};
        parts.data = PatternBytes(n, 6);
        image = parts.data;
        return Write(MakeContainer(parts), "FLASH_UPG.BIN");
    }
    std::string Write(const std::vector<std::uint8_t>& bytes, const char* name) {
        const auto path = dir.path() / name;
        WriteBytes(path, bytes);
        return path.string();
    }
    // Steps until the engine ends; the step results in order.
    std::vector<int> RunSteps(int limit = 10000) {
        std::vector<int> results;
        while (static_cast<int>(results.size()) < limit) {
            results.push_back(engine.Step(link));
            if (results.back() > 100) break;
        }
        return results;
    }
    void ExpectIdle() {
        EXPECT_EQ(link.state, UPG_IDLE);
        EXPECT_FALSE(engine.Images().HasMcuImage());
        EXPECT_FALSE(engine.Images().HasDspImage());
    }

    TempDir dir;
    FakeUpgradeLink link;
    UpgradeEngine engine;
    std::vector<std::uint8_t> image;
};

// ---- whole transfers -------------------------------------------------------

struct TransferCase {
    const char* name;
    const char* file;  // name selecting the parser
    bool dsp;
    std::size_t length;
    std::vector<std::pair<std::uint32_t, std::size_t>> blocks;
    std::uint8_t enterSub, startSub, dataSub, finishSub;
    bool restarts;  // closes and reopens after entering upgrade mode
};
void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class UpgradeTransferRunTest : public UpgradeEngineTest,
                               public ::testing::WithParamInterface<TransferCase> {};

TEST_P(UpgradeTransferRunTest, WritesEveryBlockInOrderThenFinishes) {
    const TransferCase& c = GetParam();
    const std::string path = c.dsp ? WriteDsp(c.length) : WriteMcu(c.length, c.file);
    ASSERT_EQ(engine.Start(link, path), UPG_FILE_VALID);
    EXPECT_EQ(link.state, UPG_SEND_BIN_DATA);
    const std::vector<int> steps = RunSteps();
    EXPECT_EQ(steps.back(), kUpgradeStepDone);
    ExpectIdle();

    const std::uint8_t cls = c.dsp ? 2 : 3;
    ASSERT_GE(link.writes.size(), 2u);
    EXPECT_EQ(link.writes[0].cls, 3);
    EXPECT_EQ(link.writes[0].sub, c.enterSub);
    EXPECT_TRUE(link.writes[0].payload.empty());
    EXPECT_EQ(link.writes[1].cls, cls);
    EXPECT_EQ(link.writes[1].sub, c.startSub);
    const std::vector<std::uint8_t> param = c.dsp
                                                ? std::vector<std::uint8_t>{1, 2, 3, 4}
                                                : std::vector<std::uint8_t>{0xA1, 0xB2, 0xC3, 0xD4};
    EXPECT_EQ(link.writes[1].payload, param);

    const auto data = link.DataWrites();
    ASSERT_EQ(data.size(), c.blocks.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto [offset, n] = c.blocks[i];
        const auto& p = data[i].payload;
        EXPECT_EQ(data[i].cls, cls);
        EXPECT_EQ(data[i].sub, c.dataSub);
        ASSERT_EQ(p.size(), c.dsp ? 5 + n : 36u) << "block " << i;
        const std::uint32_t got = (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        EXPECT_EQ(got, offset) << "block " << i;
        const std::size_t at = c.dsp ? 5 : 4;
        if (c.dsp) {
            EXPECT_EQ(p[4], n);
        }
        EXPECT_EQ(std::vector<std::uint8_t>(p.begin() + at, p.begin() + at + n),
                  std::vector<std::uint8_t>(image.begin() + offset, image.begin() + offset + n));
        // MCU blocks are zero-filled to 32 bytes.
        for (std::size_t k = at + n; k < p.size(); ++k) EXPECT_EQ(p[k], 0);
    }
    const std::size_t finishAt = 2 + data.size();
    ASSERT_GT(link.writes.size(), finishAt);
    EXPECT_EQ(link.writes[finishAt].cls, cls);
    EXPECT_EQ(link.writes[finishAt].sub, c.finishSub);
    if (c.dsp) {
        ASSERT_EQ(link.writes.size(), finishAt + 2);
        EXPECT_EQ(link.writes.back().cls, 3);
        EXPECT_EQ(link.writes.back().sub, 0x8F);
    } else {
        EXPECT_EQ(link.writes.size(), finishAt + 1);
    }
    for (int t : link.timeouts) EXPECT_EQ(t, 10000);
    const std::vector<std::string> restart{"close", "sleep 8000", "open"};
    EXPECT_EQ(link.events, c.restarts ? restart : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UpgradeTransferRunTest,
    ::testing::Values(
        TransferCase{
            "Mcu64", "MCU_UPG.BIN", false, 64, {{32, 32}, {0, 32}}, 0x01, 0x02, 0x03, 0x04, true},
        TransferCase{"Mcu70",
                     "mcu_upg.bin",
                     false,
                     70,
                     {{64, 6}, {32, 32}, {0, 32}},
                     0x01,
                     0x02,
                     0x03,
                     0x04,
                     true},
        TransferCase{"Bootloader70",
                     "BL_UPG.BIN",
                     false,
                     70,
                     {{64, 6}, {32, 32}, {0, 32}},
                     0xA0,
                     0xA1,
                     0xA2,
                     0xA3,
                     false},
        TransferCase{"Dsp50", "", true, 50, {{0, 50}}, 0x01, 0x03, 0x04, 0x05, true},
        TransferCase{"Dsp120",
                     "",
                     true,
                     120,
                     {{0, 50}, {50, 50}, {100, 20}},
                     0x01,
                     0x03,
                     0x04,
                     0x05,
                     true}));

TEST_F(UpgradeEngineTest, DspFiftyBytesReportsFullProgressAfterItsBlock) {
    ASSERT_EQ(engine.Start(link, WriteDsp(50)), UPG_FILE_VALID);
    // send block, read pending, read ack, send finish, reboot and end.
    EXPECT_EQ(RunSteps(), (std::vector<int>{100, 100, 100, 100, kUpgradeStepDone}));
}

TEST_F(UpgradeEngineTest, McuProgressCountsFromTheEnd) {
    ASSERT_EQ(engine.Start(link, WriteMcu(70)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps(),
              (std::vector<int>{8, 8, 8, 54, 54, 54, 100, 100, 100, 100, kUpgradeStepDone}));
}

TEST_F(UpgradeEngineTest, CombinedFileSendsItsDspImage) {
    ContainerParts mcu;
    mcu.data = PatternBytes(40, 1);
    ContainerParts dsp;
    dsp.kind = 2;
    dsp.start = {9, 8, 7, 6};
    dsp.data = PatternBytes(60, 2);
    const std::string path =
        Write(MakeCombined(0x00, 0x73, {MakeContainer(mcu), MakeContainer(dsp)}), "UPG_FW.bin");
    ASSERT_EQ(engine.Start(link, path), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    const auto data = link.DataWrites();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[1].payload[3], 50);
    EXPECT_EQ(data[1].payload[4], 10);
    EXPECT_EQ(link.writes[1].payload, (std::vector<std::uint8_t>{9, 8, 7, 6}));
    ExpectIdle();
}

// ---- acknowledgements ------------------------------------------------------

TEST_F(UpgradeEngineTest, NotReadyBlockIsReadAgainNotResent) {
    int dataWrites = 0;
    link.replies = [&](const Written& w) {
        if (w.sub == 0x03 && ++dataWrites == 1) return std::vector<Ack>{Ack::NotReady, Ack::Ready};
        if (w.sub == 0x04) return std::vector<Ack>{};
        return std::vector<Ack>{Ack::Ready};
    };
    ASSERT_EQ(engine.Start(link, WriteMcu(64)), UPG_FILE_VALID);
    const int readsAfterStart = link.reads;
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    const auto data = link.DataWrites();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].payload[3], 32);
    EXPECT_EQ(data[1].payload[3], 0);
    EXPECT_EQ(link.reads - readsAfterStart, 3);
}

// An amplifier that keeps answering ACK_NOT_READY ends the transfer too.
struct UnreadyCase {
    const char* name;
    int notReady;  // answers before ACK_READY
    int expected;
};
void PrintTo(const UnreadyCase& c, std::ostream* os) { *os << c.name; }

class UnreadyTest : public UpgradeEngineTest, public ::testing::WithParamInterface<UnreadyCase> {};

TEST_P(UnreadyTest, GivesUpOnlyAfterTheLimit) {
    const int notReady = GetParam().notReady;
    link.replies = [&](const Written& w) {
        if (w.sub != 0x03) return std::vector<Ack>{Ack::Ready};
        std::vector<Ack> acks(notReady, Ack::NotReady);
        acks.push_back(Ack::Ready);
        return acks;
    };
    ASSERT_EQ(engine.Start(link, WriteMcu(64)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps().back(), GetParam().expected);
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Answers, UnreadyTest,
                         ::testing::Values(UnreadyCase{"ReadyAtTheLimit", 63, kUpgradeStepDone},
                                           UnreadyCase{"NeverReadyInTime", 64,
                                                       kUpgradeStepFailed}));

struct SilenceCase {
    const char* name;
    int silentReads;  // before the block's acknowledgement arrives
    int expected;
};
void PrintTo(const SilenceCase& c, std::ostream* os) { *os << c.name; }

class AckSilenceTest : public UpgradeEngineTest,
                       public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(AckSilenceTest, GivesUpAfterThreeConsecutiveTimeouts) {
    ASSERT_EQ(engine.Start(link, WriteMcu(64)), UPG_FILE_VALID);
    // The first block's acknowledgement is late by this many read time-outs.
    link.silentReads = GetParam().silentReads;
    const std::vector<int> steps = RunSteps(100);
    EXPECT_EQ(steps.back(), GetParam().expected);
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Silences, AckSilenceTest,
                         ::testing::Values(SilenceCase{"TwoTimeoutsThenAck", 2, kUpgradeStepDone},
                                           SilenceCase{"ThreeTimeouts", 3, kUpgradeStepFailed}));

// Another reader (a queued command's read, say) took the blocks'
// acknowledgements: this engine's reads find nothing, yet nothing is late.
TEST_F(UpgradeEngineTest, AcknowledgementTakenByAnotherReaderIsNoSilence) {
    ASSERT_EQ(engine.Start(link, WriteMcu(128)), UPG_FILE_VALID);
    link.stolenAcks = 3;
    EXPECT_EQ(RunSteps(100).back(), kUpgradeStepDone);
    EXPECT_EQ(link.DataWrites().size(), 4u);
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, UnplugDuringTransferFails) {
    link.unplugAfterWrites = 4;  // enter, start, two blocks
    ASSERT_EQ(engine.Start(link, WriteMcu(128)), UPG_FILE_VALID);
    const std::vector<int> steps = RunSteps(50);
    EXPECT_EQ(steps.back(), kUpgradeStepFailed);
    EXPECT_EQ(link.DataWrites().size(), 2u);
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, UnplugDuringDspTransferStillTriesTheReboot) {
    link.unplugAfterWrites = 3;
    ASSERT_EQ(engine.Start(link, WriteDsp(200)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps(50).back(), kUpgradeStepFailed);
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, DeviceGoneBeforeNextBlockFails) {
    ASSERT_EQ(engine.Start(link, WriteDsp(120)), UPG_FILE_VALID);
    link.open = false;
    EXPECT_EQ(RunSteps(5), (std::vector<int>{0, kUpgradeStepFailed}));
    EXPECT_TRUE(link.DataWrites().empty());
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, FailedBlockWriteFailsAtOnce) {
    ASSERT_EQ(engine.Start(link, WriteMcu(64)), UPG_FILE_VALID);
    link.failWrites = true;
    // The block was taken, so the progress already counts it.
    EXPECT_EQ(RunSteps(5), (std::vector<int>{50, kUpgradeStepFailed}));
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, AfterTheEndStepsChangeNothing) {
    ASSERT_EQ(engine.Start(link, WriteMcu(32)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    const std::size_t writes = link.writes.size();
    EXPECT_EQ(engine.Step(link), 0);
    EXPECT_EQ(link.writes.size(), writes);
}

// ---- start -----------------------------------------------------------------

struct StartCase {
    const char* name;
    std::function<void(FakeUpgradeLink&)> setup;
    bool dsp;
    int expected;
    std::vector<std::string> events;
    std::size_t writes;
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class UpgradeStartTest : public UpgradeEngineTest,
                         public ::testing::WithParamInterface<StartCase> {};

TEST_P(UpgradeStartTest, EndsWithResult) {
    const StartCase& c = GetParam();
    c.setup(link);
    const std::string path = c.dsp ? WriteDsp(60) : WriteMcu(60);
    EXPECT_EQ(engine.Start(link, path), c.expected);
    EXPECT_EQ(link.events, c.events);
    EXPECT_EQ(link.writes.size(), c.writes);
    if (c.expected != UPG_FILE_VALID) ExpectIdle();
}

std::vector<Ack> ReadyUnless(const Written& w, std::uint8_t sub, std::vector<Ack> instead) {
    return w.sub == sub ? instead : std::vector<Ack>{Ack::Ready};
}

const std::vector<std::string> kRestartOnce{"close", "sleep 8000", "open"};
std::vector<std::string> RestartTries(int opens) {
    std::vector<std::string> e{"close", "sleep 8000"};
    for (int i = 0; i < opens; ++i) {
        if (i > 0) e.push_back("sleep 500");
        e.push_back("open");
    }
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpgradeStartTest,
    ::testing::Values(
        StartCase{"LoaderModeDoesNotReopen",
                  [](FakeUpgradeLink& l) { l.normalMode = false; },
                  false,
                  UPG_FILE_VALID,
                  {},
                  2},
        StartCase{"BackOnThirdAttempt", [](FakeUpgradeLink& l) { l.opensBeforeBack = 2; }, false,
                  UPG_FILE_VALID, RestartTries(3), 2},
        StartCase{"NeverBack", [](FakeUpgradeLink& l) { l.opensBeforeBack = 100; }, false,
                  UPG_CONNECT_FAIL, RestartTries(10), 1},
        StartCase{"EnterUnanswered",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) { return ReadyUnless(w, 0x01, {}); };
                  },
                  false,
                  UPG_REFUSED,
                  {},
                  1},
        StartCase{"EnterRefused",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) {
                          return ReadyUnless(w, 0x01, {Ack::NotReady});
                      };
                  },
                  false,
                  UPG_REFUSED,
                  {},
                  1},
        StartCase{"StartRefused",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) {
                          return ReadyUnless(w, 0x02, {Ack::NotReady});
                      };
                  },
                  false, UPG_REFUSED, kRestartOnce, 2},
        StartCase{"StartUnanswered",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) { return ReadyUnless(w, 0x02, {}); };
                  },
                  false, UPG_REFUSED, kRestartOnce, 2},
        StartCase{"DspStartRefused",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) {
                          return ReadyUnless(w, 0x03, {Ack::NotReady});
                      };
                  },
                  true, UPG_REFUSED, kRestartOnce, 2},
        // A DSP image is ready to start when parsed; upgrade mode needs no answer.
        StartCase{"DspEnterUnanswered",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) { return ReadyUnless(w, 0x01, {}); };
                  },
                  true, UPG_FILE_VALID, kRestartOnce, 2},
        StartCase{"DspStartUnanswered",
                  [](FakeUpgradeLink& l) {
                      l.replies = [](const Written& w) { return ReadyUnless(w, 0x03, {}); };
                  },
                  true, UPG_REFUSED, kRestartOnce, 2},
        StartCase{"NoDevice",
                  [](FakeUpgradeLink& l) { l.open = false; },
                  false,
                  UPG_CONNECT_FAIL,
                  {},
                  0}));

TEST_F(UpgradeEngineTest, StartUnansweredReadsABoundedNumberOfTimes) {
    link.normalMode = false;
    link.replies = [](const Written& w) { return ReadyUnless(w, 0x02, {}); };
    ASSERT_EQ(engine.Start(link, WriteMcu(10)), UPG_REFUSED);
    EXPECT_EQ(link.reads, 1 + 3);  // enter, then three silent reads for the start
}

TEST_F(UpgradeEngineTest, UnknownNameSendsNothing) {
    link.state = UPG_ENTER;
    EXPECT_EQ(engine.Start(link, WriteMcu(10, "firmware.bin")), UPG_FILE_INVALID);
    EXPECT_TRUE(link.writes.empty());
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, InvalidFileLeavesStateIdle) {
    ContainerParts parts;
    parts.model = 0x56;
    parts.data = PatternBytes(10);
    EXPECT_EQ(engine.Start(link, Write(MakeContainer(parts), "MCU_UPG.BIN")), UPG_FILE_INVALID);
    EXPECT_TRUE(link.writes.empty());
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, MissingFileGivesOne) {
    EXPECT_EQ(engine.Start(link, (dir.path() / "FLASH_UPG.BIN").string()), UPG_FILE_OPEN_FAIL);
    ExpectIdle();
}

TEST_F(UpgradeEngineTest, ReceiveRingEmptiedBeforeStart) {
    ASSERT_EQ(engine.Start(link, WriteMcu(10)), UPG_FILE_VALID);
    EXPECT_EQ(link.emptied, 1);
}

class UpgradeEngineLogTest : public UpgradeEngineTest {
protected:
    void SetUp() override { ASSERT_TRUE(InitConsoleWindow((logDir.path() / "save.log").string())); }
    void TearDown() override { LogShutdown(); }
    std::string Log() {
        LogShutdown();
        return ReadWholeFile(logDir.path() / "save.log");
    }
    TempDir logDir;
};

TEST_F(UpgradeEngineLogTest, SilentBlockFailureNamesTheBlock) {
    ASSERT_EQ(engine.Start(link, WriteMcu(70)), UPG_FILE_VALID);
    link.silentReads = 3;
    EXPECT_EQ(RunSteps().back(), kUpgradeStepFailed);
    const std::string log = Log();
    for (const char* line :
         {"UpgradeStart filename\n", "before MCUUpgParsingFile\n", "Parsing return 0x0\n",
          "MCU_Enter_Upg_Mode\n", "UpgradeStart Device Connected\n",
          "UpgradeStart MCUUpgStart return 0x0\n", "begain to read data...\n", "read data error! ",
          "upgrade failed: block at offset 0x40 (6 bytes) not acknowledged after 3 reads\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(UpgradeEngineLogTest, DspTransferLogsPositionsAndReboot) {
    ASSERT_EQ(engine.Start(link, WriteDsp(120)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    const std::string log = Log();
    for (const char* line :
         {"before FlashUpgParsingFile\n", "UpgradeStart FlashUpgStart return 0x0\n",
          "Total file len 120; current read pos: 50;  has read len 50.\n",
          "Total file len 120; current read pos: 20;  has read len 120.\n",
          "has send out 7 dtata... \n", "data return from devices is:\n",
          "AA 55 04 02 04 EE 0A \n\r", "upgrade dsp finished!\n", "MCU_Reboot_Ctrl\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// A write that does not go out ends the upgrade with a code and a log line
// instead of waiting for a reply that cannot come.
struct WriteFailureCase {
    const char* name;
    bool dsp;
    int failingWrite;  // 1-based: 1 enter, 2 start, ...
    int startResult;
    int stepResult;  // when the start succeeded
    const char* logLine;
};
void PrintTo(const WriteFailureCase& c, std::ostream* os) { *os << c.name; }

class UpgradeWriteFailureTest : public UpgradeEngineLogTest,
                                public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(UpgradeWriteFailureTest, EndsWithACodeAndALogLine) {
    const WriteFailureCase& c = GetParam();
    link.normalMode = false;
    link.failWriteAt = c.failingWrite;
    ASSERT_EQ(engine.Start(link, c.dsp ? WriteDsp(50) : WriteMcu(32)), c.startResult);
    if (c.startResult == UPG_FILE_VALID) {
        EXPECT_EQ(RunSteps().back(), c.stepResult);
    }
    ExpectIdle();
    const std::string log = Log();
    EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Writes, UpgradeWriteFailureTest,
    ::testing::Values(
        WriteFailureCase{"Enter", false, 1, UPG_CONNECT_FAIL, 0,
                         "UpgradeStart enter command could not be written: UPG_CONNECT_FAIL\n"},
        WriteFailureCase{"McuStart", false, 2, UPG_CONNECT_FAIL, 0,
                         "UpgradeStart MCUUpgStart could not be written: UPG_CONNECT_FAIL\n"},
        WriteFailureCase{"DspStart", true, 2, UPG_CONNECT_FAIL, 0,
                         "UpgradeStart FlashUpgStart could not be written: UPG_CONNECT_FAIL\n"},
        WriteFailureCase{"Finish", false, 4, UPG_FILE_VALID, kUpgradeStepFailed,
                         "upgrade failed: the finish command could not be written\n"},
        // enter, start, one block, finish, reboot
        WriteFailureCase{"Reboot", true, 5, UPG_FILE_VALID, kUpgradeStepFailed,
                         "upgrade failed: MCU_Reboot_Ctrl could not be written\n"}));

TEST_F(UpgradeEngineTest, AckWaitLivesInTheLink) {
    link.normalMode = false;
    ASSERT_EQ(engine.Start(link, WriteMcu(32)), UPG_FILE_VALID);
    EXPECT_EQ(link.ackWait, ACK_WAIT_NONE);
    engine.Step(link);  // the block goes out
    EXPECT_EQ(link.ackWait, ACK_WAIT_BLOCK_SENT);
    engine.Step(link);
    EXPECT_EQ(link.ackWait, ACK_WAIT_READING);
    // The engine follows the link's value, not a copy of its own.
    link.ackWait = ACK_WAIT_BLOCK_SENT;
    engine.Step(link);
    EXPECT_EQ(link.ackWait, ACK_WAIT_READING);
    EXPECT_EQ(link.reads, 2);  // the enter and start replies; no acknowledgement yet
}

}  // namespace
}  // namespace kavelo
