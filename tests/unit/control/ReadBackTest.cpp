#include <gtest/gtest.h>

#include <set>

#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "control/DspOperations.h"
#include "control/ReadBack.h"
#include "device/DeviceLink.h"
#include "device/PacketCodec.h"

namespace kavelo {
namespace {

// ---------------------------------------------------------------- callbacks

struct DspCase {
    const char* name;
    int code;
    Payload value;
    std::function<void(ControllerModel&)> arrange;
    std::function<void(const ControllerModel&, const ValueUpdate&)> check;
};
void PrintTo(const DspCase& c, std::ostream* os) { *os << c.name; }

class DspValueTest : public ::testing::TestWithParam<DspCase> {};

TEST_P(DspValueTest, WritesModelAndNamesControls) {
    const DspCase& c = GetParam();
    ControllerModel model;
    if (c.arrange) c.arrange(model);
    const ValueUpdate u = ApplyDspValue(model, c.code, c.value);
    c.check(model, u);
}

// Link on with the lock that goes with it, as the amplifier reports them.
void LinkedAndLocked(ControllerModel& m) {
    m.live.linkMode = 1;
    m.live.lockMode = 1;
    ComputeLinkPairs(m.live);
}

const DspCase kDspCases[] = {
    {"VolumeZeroIsPosition28", 2, Payload{std::int64_t{0}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.mainVolume, 28);
         EXPECT_EQ(u.kind, UpdateKind::MainVolume);
     }},
    {"VolumeMinus60IsPosition1", 2, Payload{std::int64_t{-60}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.mainVolume, 1); }},
    {"VolumeBelowRangeIsPosition0", 2, Payload{std::int64_t{-128}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.mainVolume, 0); }},
    {"SourceCode55IsIndex4", 1, Payload{std::int64_t{0x55}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.inputSource, 4);
         EXPECT_EQ(u.kind, UpdateKind::SourceSelector);
     }},
    {"UnknownSourceCodeIsIndex4", 1, Payload{std::int64_t{0x20}},
     [](ControllerModel& m) { m.live.inputSource = 5; },
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.inputSource, 4); }},
    {"SourceCode59IsIndex8", 1, Payload{std::int64_t{0x59}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.inputSource, 8); }},
    {"Scene3RoleChangesSlot3Only", 13, Payload{DspChannelValueRecord{3, 2, 9}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.scenes[2].outputs[2], 9);
         EXPECT_EQ(m.live.outputs[2], 15);
         EXPECT_EQ(u.kind, UpdateKind::None);
         EXPECT_EQ(u.scene, 3);
     }},
    {"LiveRoleNamesRoles", 13, Payload{DspChannelValueRecord{0, 5, 24}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.outputs[5], 24);
         EXPECT_EQ(u.kind, UpdateKind::Roles);
     }},
    {"RoleOutsideTableIsEmpty", 13, Payload{DspChannelValueRecord{0, 1, 77}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.outputs[1], 0); }},
    {"RecordForScene11IsIgnored", 13, Payload{DspChannelValueRecord{11, 1, 3}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::None);
         EXPECT_EQ(m.live.outputs[1], 12);
     }},
    {"ChannelBeyondOutputsIsIgnored", 9, Payload{DspChannelValueRecord{0, 9, 1}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::None);
         for (const ChannelState& ch : m.live.channels) EXPECT_EQ(ch.mute, 0);
     }},
    {"LinkOnSetsLockAndPairs", 14, Payload{DspLinkRecord{0, 1}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.linkMode, 1);
         EXPECT_EQ(m.live.lockMode, 1);
         EXPECT_EQ(m.live.linkOutputs[0], 1);  // front left full <-> front right full
         EXPECT_EQ(m.live.linkOutputs[1], 0);
         EXPECT_EQ(m.live.linkOutputs[6], 7);   // the two subwoofers
         EXPECT_EQ(m.live.linkOutputs[4], -1);  // centre has no partner
         EXPECT_EQ(u.kind, UpdateKind::Link);
     }},
    {"LinkOffClearsPairsKeepsLock", 14, Payload{DspLinkRecord{0, 0}}, LinkedAndLocked,
     [](const ControllerModel& m, const ValueUpdate&) {
         EXPECT_EQ(m.live.linkMode, 0);
         EXPECT_EQ(m.live.lockMode, 1);
         for (int o : m.live.linkOutputs) EXPECT_EQ(o, -1);
     }},
    {"LinkForSceneSetsOnlyItsLinkMode", 14, Payload{DspLinkRecord{4, 1}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.scenes[3].linkMode, 1);
         EXPECT_EQ(m.scenes[3].lockMode, 0);
         EXPECT_EQ(m.live.linkMode, 0);
         EXPECT_EQ(u.kind, UpdateKind::None);
     }},
    {"UnlockWhileLinkedEndsLink", 15, Payload{DspLockRecord{0, 0}}, LinkedAndLocked,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.lockMode, 0);
         EXPECT_EQ(m.live.linkMode, 0);
         EXPECT_EQ(m.live.linkOutputs[0], -1);
         EXPECT_TRUE(u.unlinked);
     }},
    {"UnlockWithoutLinkSendsNothing", 15, Payload{DspLockRecord{0, 0}},
     [](ControllerModel& m) { m.live.lockMode = 1; },
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(m.live.lockMode, 0);
         EXPECT_FALSE(u.unlinked);
     }},
    {"LockValue2IsUnlocked", 15, Payload{DspLockRecord{0, 2}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.lockMode, 0); }},
    {"MixTrimZeroRoutedIs100UnroutedIs0", 36,
     // source 0 row A: outputs 0, 2, 4, 5, 6 take in1 (bit 0)
     Payload{DspInputMixTrimRecord{0, 0, 0, 0, 3, {0, 0, 0xF6, 40}}},
     [](ControllerModel& m) { m.live.inputMixVolume[0][0].fill(55); },
     [](const ControllerModel& m, const ValueUpdate&) {
         const auto& row = m.live.inputMixVolume[0][0];
         EXPECT_EQ(row[0], 100);  // routed, 0
         EXPECT_EQ(row[1], 0);    // not routed
         EXPECT_EQ(row[2], 100);  // routed, -10
         EXPECT_EQ(row[3], 40);
         EXPECT_EQ(row[4], 55);  // outside the record's range
     }},
    {"MixTrimRangeCutAtLastOutput", 36,
     Payload{DspInputMixTrimRecord{0, 5, 2, 6, 12, {7, 8, 9, 10}}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) {
         EXPECT_EQ(m.live.inputMixVolume[5][2][6], 7);
         EXPECT_EQ(m.live.inputMixVolume[5][2][7], 8);
     }},
    {"MixTrimBadSourceIgnored", 36, Payload{DspInputMixTrimRecord{0, 9, 0, 0, 7, {5}}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::None);
         EXPECT_EQ(m.live.inputMixVolume[8][0][0], 100);
     }},
    {"LiveEqBandEnablesIt", 6, Payload{DspEqBandRecord{0, 3, 30, 16000, 2.5f, -4.5f}},
     [](ControllerModel& m) { m.live.channels[3].bands[30].enable = 0; },
     [](const ControllerModel& m, const ValueUpdate& u) {
         const EqBand& b = m.live.channels[3].bands[30];
         EXPECT_EQ(b.freq, 16000);
         EXPECT_FLOAT_EQ(b.eqFactor, 2.5f);
         EXPECT_FLOAT_EQ(b.eqGain, -4.5f);
         EXPECT_EQ(b.enable, 1);
         EXPECT_EQ(u.kind, UpdateKind::EqBand);
         EXPECT_EQ(u.band, 30);
         EXPECT_EQ(u.channel, 3);
     }},
    {"SceneEqBandKeepsEnable", 6, Payload{DspEqBandRecord{2, 0, 1, 30, 1.0f, 3.0f}},
     [](ControllerModel& m) { m.scenes[1].channels[0].bands[1].enable = 0; },
     [](const ControllerModel& m, const ValueUpdate&) {
         EXPECT_EQ(m.scenes[1].channels[0].bands[1].enable, 0);
         EXPECT_FLOAT_EQ(m.scenes[1].channels[0].bands[1].eqGain, 3.0f);
     }},
    {"EqBandBeyondSizeIgnored", 6, Payload{DspEqBandRecord{0, 0, 31, 30, 1.0f, 3.0f}}, nullptr,
     [](const ControllerModel&, const ValueUpdate& u) { EXPECT_EQ(u.kind, UpdateKind::None); }},
    {"FilterGoesThroughValidatingSetters", 5,
     Payload{DspFilterRecord{0, 2, 0, 25000, 3, 3, 8000, 0}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         const Crossover& x = m.live.channels[2].crossover;
         EXPECT_EQ(x.hp.type, 1);
         EXPECT_EQ(x.hp.fs, 20);
         EXPECT_EQ(x.hp.slope, 3);
         EXPECT_EQ(x.hp.bypass, 0);
         EXPECT_EQ(x.lp.type, 3);
         EXPECT_EQ(x.lp.fs, 8000);
         EXPECT_EQ(x.lp.bypass, 1);
         EXPECT_EQ(u.kind, UpdateKind::Filter);
     }},
    {"AmpMuteTurnsPowerOff", 63, Payload{std::int64_t{1}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) { EXPECT_EQ(m.live.ampPower, 0); }},
    {"DspStatusOffAsksForDisconnect", 70, Payload{std::int64_t{0}}, nullptr,
     [](const ControllerModel&, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::DspStatus);
         EXPECT_EQ(u.value, 0);
     }},
    {"CompressorThresholdBecomesFloat", 62,
     Payload{DspCompressorRecord{0, 4, 0, -12, 4.5f, 200, 5000, 6.0f}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate&) {
         EXPECT_EQ(m.live.compBypass[4], 0);
         EXPECT_FLOAT_EQ(m.live.compThreshold[4], -12.0f);
         EXPECT_EQ(m.live.compRelease[4], 5000);
     }},
    {"WrongPayloadIgnored", 2, Payload{DspLinkRecord{0, 1}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::None);
         EXPECT_EQ(m.live.mainVolume, -5);
     }},
    {"SubwooferVolumeCodeIgnored", 3, Payload{std::int64_t{-7}}, nullptr,
     [](const ControllerModel& m, const ValueUpdate& u) {
         EXPECT_EQ(u.kind, UpdateKind::None);
         EXPECT_EQ(m.live.subVolume, 0);
     }},
};
INSTANTIATE_TEST_SUITE_P(Reports, DspValueTest, ::testing::ValuesIn(kDspCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(McuValue, HandshakeMismatchOnlyInNormalMode) {
    ControllerModel model;
    const McuHandshakeRecord foreign{0, 88, 1, 20};
    ValueUpdate u = ApplyMcuValue(model, 8, foreign, true);
    EXPECT_EQ(model.live.model, 88);
    EXPECT_EQ(model.live.slaveVersion, 20);
    EXPECT_TRUE(u.modelMismatch);
    EXPECT_FALSE(ApplyMcuValue(model, 8, foreign, false).modelMismatch);
    EXPECT_FALSE(ApplyMcuValue(model, 8, McuHandshakeRecord{0, 87, 1, 18}, true).modelMismatch);

    McuFlashVersionRecord flash;
    for (int i = 0; i < 4; ++i) flash.version[i] = 10 + i;
    EXPECT_EQ(ApplyMcuValue(model, 11, flash, true).kind, UpdateKind::FlashVersion);
    EXPECT_EQ(model.live.flashVersion[3], 13);
}

// ---------------------------------------------------------------- scene names

struct NameCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::u16string expected;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class SceneNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SceneNameTest, ConvertsWithinTheSlot) {
    const NameCase& c = GetParam();
    ControllerModel model;
    SceneNameRecord r;
    r.index = 9;
    if (!c.bytes.empty()) std::memcpy(r.name, c.bytes.data(), c.bytes.size());
    EXPECT_EQ(ApplySceneValue(model, 11, r).kind, UpdateKind::SceneName);
    std::u16string got;
    for (int k = 0; k < kSceneNameBytes; k += 2) {
        const char16_t unit = model.names[9][k] | (model.names[9][k + 1] << 8);
        if (unit == 0) break;
        got.push_back(unit);
    }
    EXPECT_EQ(got, c.expected);
}

const NameCase kNameCases[] = {
    {"Plain", {'R', 'o', 'a', 'd', 0}, u"Road"},
    {"SixteenBytesWithoutTerminator",
     {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'},
     u"ABCDEFGH"},
    {"Utf8", {'S', 't', 'r', 'a', 0xC3, 0x9F, 'e', 0}, u"Stra\u00DFe"},
    {"SurrogatePairNotCut",
     {'1', '2', '3', '4', '5', '6', '7', 0xF0, 0x9F, 0x8E, 0xB5},
     u"1234567"},
    {"SurrogatePairFits", {'a', 0xF0, 0x9F, 0x8E, 0xB5, 0}, u"a\U0001F3B5"},
    {"MalformedByteKept", {'x', 0xFF, 'y', 0}, u"x\u00FFy"},
    {"TruncatedSequenceAtEnd",
     {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 0xE2},
     u"abcdefgh"},
    {"Erased", {}, u""},
};
INSTANTIATE_TEST_SUITE_P(Names, SceneNameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SceneValue, ValidSetAndBadIndex) {
    ControllerModel model;
    EXPECT_EQ(ApplySceneValue(model, 15, SceneValidRecord{0x0205}).kind, UpdateKind::SceneValid);
    EXPECT_EQ(model.validScenes, 0x0205);
    SceneNameRecord r;
    r.index = 10;
    r.name[0] = 'x';
    EXPECT_EQ(ApplySceneValue(model, 11, r).kind, UpdateKind::None);
    EXPECT_EQ(SceneNameToUtf8(SceneNameFromDeviceBytes(r.name, 16)), "x");
}

// ---------------------------------------------------------------- forced update

TEST(ForcedUpdate, FirmwareOlderThanExpected) {
    struct Row {
        int model, main, slave;
        bool normal, expected;
    };
    const Row rows[] = {
        {87, 1, 17, true, true}, {87, 1, 18, true, false},  {87, 2, 0, true, false},
        {87, 0, 30, true, true}, {87, 1, 17, false, false}, {88, 1, 17, true, false},
    };
    for (const Row& r : rows) {
        DspState s;
        s.model = r.model;
        s.mainVersion = r.main;
        s.slaveVersion = r.slave;
        EXPECT_EQ(NeedsForcedUpdate(s, r.normal), r.expected)
            << r.model << " " << r.main << "." << r.slave << " normal " << r.normal;
    }
}

// ---------------------------------------------------------------- the sequence

// An amplifier that answers the handshake as told and every other request with a
// bare acknowledgement; records what the host wrote. Reads never wait.
class AnsweringPort : public HidPort {
public:
    int model = 87;
    bool loader = false;
    bool silentHandshake = false;
    int unplugAtWrite = 0;  // 1-based; 0 = never
    std::set<int> failedWrites;  // single write attempts (1-based) that fail

    int Init() override { return 0; }
    std::unique_ptr<HidDevice> Open(std::uint16_t, std::uint16_t) override;

    std::vector<std::vector<std::uint8_t>> Writes() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mWrites;
    }
    // Every write tried, the failed ones included.
    int Attempts() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mAttempts;
    }

    int Write(const std::uint8_t* data, std::size_t length) {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mAttempts;
        if (unplugAtWrite != 0 && static_cast<int>(mWrites.size()) + 1 >= unplugAtWrite) return -1;
        if (failedWrites.count(mAttempts) != 0) return -1;
        mWrites.emplace_back(data, data + length);
        const std::uint8_t cmd = data[4], subcmd = data[5];
        if (cmd == CMD_MCU && subcmd == MCU_PC_CONNECT) return static_cast<int>(length);
        if (cmd == CMD_MCU && subcmd == MCU_HANDSHAKE) {
            if (!silentHandshake) {
                const std::uint8_t payload[] = {static_cast<std::uint8_t>(loader ? 0xF0 : 0),
                                                static_cast<std::uint8_t>(model), 1, 18};
                Queue(CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, payload, sizeof payload);
            }
        } else {
            const std::uint8_t payload[] = {ACK_READY};
            Queue(cmd, subcmd, OP_ACK, payload, 1);
        }
        return static_cast<int>(length);
    }
    int Read(std::uint8_t* data, std::size_t length) {
        std::lock_guard<std::mutex> lock(mMutex);
        // Once the writes fail nothing comes back: every read times out.
        if (mReplies.empty()) return 0;
        std::memset(data, 0, length);
        std::memcpy(data, mReplies.front().data(), std::min(length, mReplies.front().size()));
        mReplies.pop_front();
        return static_cast<int>(length);
    }

private:
    void Queue(std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
               const std::uint8_t* payload, std::size_t len) {
        std::vector<std::uint8_t> report(kInputReportSize, 0);
        FramePacket(cmd, subcmd, optype, payload, len, report.data(), report.size());
        mReplies.push_back(report);
    }
    std::mutex mMutex;
    int mAttempts = 0;
    std::vector<std::vector<std::uint8_t>> mWrites;
    std::deque<std::vector<std::uint8_t>> mReplies;
};

class AnsweringDevice : public HidDevice {
public:
    explicit AnsweringDevice(AnsweringPort& port) : mPort(port) {}
    int GetManufacturerString(wchar_t* b, std::size_t) override { return Empty(b); }
    int GetProductString(wchar_t* b, std::size_t) override { return Empty(b); }
    int GetSerialNumberString(wchar_t* b, std::size_t) override { return Empty(b); }
    int GetIndexedString(int, wchar_t* b, std::size_t) override { return Empty(b); }
    int SetNonblocking(int) override { return 0; }
    int Write(const std::uint8_t* d, std::size_t n) override { return mPort.Write(d, n); }
    int ReadTimeout(std::uint8_t* d, std::size_t n, int) override { return mPort.Read(d, n); }
    std::wstring Error() override { return L"unplugged"; }

private:
    static int Empty(wchar_t* b) {
        b[0] = L'\0';
        return 0;
    }
    AnsweringPort& mPort;
};

std::unique_ptr<HidDevice> AnsweringPort::Open(std::uint16_t, std::uint16_t) {
    return std::make_unique<AnsweringDevice>(*this);
}

// (class, subcmd, first payload bytes) of each host report.
std::string Describe(const std::vector<std::uint8_t>& w) {
    const int len = w[3] - 3;  // L counts subcmd, optype, the payload and the checksum
    std::string s = std::to_string(w[4]) + ":" + std::to_string(w[5]);
    for (int i = 0; i < len && i < 5; ++i) s += "," + std::to_string(w[7 + i]);
    return s;
}

class StatusInitTest : public ::testing::Test {
protected:
    AnsweringPort port;
    DeviceLink link{port};
    void SetUp() override {
        link.OpenHIDDevice();
        ASSERT_TRUE(link.IsDeviceOpen());
    }
    void TearDown() override { link.CloseHIDDevice(false); }
};

TEST_F(StatusInitTest, ReadsEverythingInOrder) {
    int timerRestarts = 0;
    ReadBackHooks hooks;
    hooks.afterPcConnect = [&] {
        ++timerRestarts;
        EXPECT_EQ(port.Writes().size(), 1u);  // after PC_Connect, before the handshake
    };
    EXPECT_EQ(RunStatusInit(link, hooks), 0);
    EXPECT_EQ(timerRestarts, 1);

    const auto writes = port.Writes();
    ASSERT_EQ(static_cast<int>(writes.size()), 1 + ReadBackExchangeCount());
    // 1 handshake + 7 singles + 5 ranges/links + 2 filters + bypass + 32 EQ + 3 + 9 mixes
    // + 14 mix trims (2+2+2+6+2 input channels) + 10 names
    EXPECT_EQ(ReadBackExchangeCount(), 84);
    std::vector<std::string> d;
    for (const auto& w : writes) d.push_back(Describe(w));
    EXPECT_EQ(d[0], "3:31,1");  // PC_Connect(1)
    EXPECT_EQ(d[1], "3:8");     // handshake
    const std::vector<std::string> head = {
        "1:1",         "1:2",         "1:3",          "1:4",           "1:63",          "1:53",
        "2:15",        "1:7,0,0,0,7", "1:13,0,0,0,7", "1:52,0,0,0,7",  "1:14,0",        "1:15,0",
        "1:5,0,0,0,3", "1:5,0,0,4,7", "1:18,0,0,0,7", "1:6,0,0,0,0,7", "1:6,0,0,0,8,15"};
    for (std::size_t i = 0; i < head.size(); ++i) EXPECT_EQ(d[2 + i], head[i]) << i;
    EXPECT_EQ(d[2 + 15 + 31], "1:6,0,0,7,24,30");  // last EQ block of channel 7
    EXPECT_EQ(d[2 + 47], "1:8,0,0,0,7");           // trims follow
    EXPECT_EQ(d[2 + 50], "1:11,0,0,0,7");          // mix of source 0
    EXPECT_EQ(d[2 + 58], "1:11,0,8,0,7");          // mix of source 8
    EXPECT_EQ(d[2 + 59], "1:36,0,0,0,0,7");        // trim: source 0, input 0
    EXPECT_EQ(d[2 + 61], "1:36,0,2,0,0,7");        // source 1 has no inputs
    EXPECT_EQ(d[2 + 72], "1:36,0,6,1,0,7");        // last: source 6, input 1
    EXPECT_EQ(d[2 + 73], "2:11,1");
    EXPECT_EQ(d.back(), "2:11,10");
}

TEST_F(StatusInitTest, HandshakeSilenceFails) {
    port.silentHandshake = true;
    EXPECT_EQ(RunStatusInit(link), -1);
    EXPECT_EQ(port.Writes().size(), 2u);
}

TEST_F(StatusInitTest, ForeignModelOrLoaderReadsNothing) {
    port.model = 88;
    EXPECT_EQ(RunStatusInit(link), 0);
    EXPECT_EQ(port.Writes().size(), 2u);
    port.model = 87;
    port.loader = true;
    EXPECT_EQ(RunStatusInit(link), 0);
    EXPECT_EQ(port.Writes().size(), 4u);
}

TEST_F(StatusInitTest, GivesUpWhenTheAmplifierStopsAnswering) {
    port.unplugAtWrite = 20;
    EXPECT_EQ(RunStatusInit(link), -1);
    // 19 reports went out; three more were tried, failed, and the sequence stopped.
    EXPECT_EQ(port.Writes().size(), 19u);
    EXPECT_EQ(port.Attempts(), 22);
}

TEST_F(StatusInitTest, IsolatedMissesDoNotEndTheReadBack) {
    // Two misses, an answer, two more misses: never three in a row.
    port.failedWrites = {20, 21, 23, 24};
    EXPECT_EQ(RunStatusInit(link), 0);
    EXPECT_EQ(port.Attempts(), ReadBackExchangeCount() + 1);  // PC_Connect too
    EXPECT_EQ(port.Writes().size(), static_cast<std::size_t>(ReadBackExchangeCount() + 1 - 4));
}

TEST_F(StatusInitTest, StopsWhenAsked) {
    std::atomic<int> polls{0};
    ReadBackHooks hooks;
    hooks.stopRequested = [&] { return ++polls > 5; };
    EXPECT_EQ(RunStatusInit(link, hooks), -1);
    EXPECT_LT(port.Writes().size(), 10u);
}

}  // namespace
}  // namespace kavelo
