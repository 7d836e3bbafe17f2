#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "CliFixture.h"
#include "TracePort.h"
#include "control/ProfileTransfer.h"
#include "control/DspOperations.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

// One host command as written: class, subcommand, optype and payload.
struct Sent {
    std::uint8_t cmd, subcmd, optype;
    std::vector<std::uint8_t> payload;
};

std::vector<Sent> Commands(const VirtualAmplifier& amp) {
    std::vector<Sent> out;
    for (const OutputReport& r : amp.WrittenReports()) {
        // 00 AA 55 length cmd subcmd optype payload... checksum
        const int length = r[3];
        Sent s{r[4], r[5], r[6], {}};
        s.payload.assign(r.begin() + 7, r.begin() + 4 + length);
        out.push_back(s);
    }
    return out;
}

constexpr std::uint8_t kDspClass = 1, kFlashClass = 2;
constexpr std::uint8_t kMainVolume = 0x02, kMute = 0x04, kFilter = 0x05, kEq = 0x06, kMix = 0x0B,
                       kBypass = 0x12, kMixTrim = 0x24;
constexpr std::uint8_t kSaveScene = 0x08, kReadScene = 0x09, kSceneName = 0x0B;

std::vector<Sent> Only(const std::vector<Sent>& all, std::uint8_t cmd, std::uint8_t subcmd) {
    std::vector<Sent> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out),
                 [&](const Sent& s) { return s.cmd == cmd && s.subcmd == subcmd; });
    return out;
}


class ProfileTransferTest : public ::testing::Test {
protected:
    ProfileTransferTest() : link(amp, clock) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.OpenHIDDevice();
    }
    ~ProfileTransferTest() override { link.CloseHIDDevice(false); }

    VirtualAmplifier amp;
    test::NoSleepClock clock;
    DeviceLink link;
};

TEST_F(ProfileTransferTest, SceneWriteSendsEveryValueAndWaitsForEachReply) {
    DspState state;
    state.mainVolume = 40;
    state.inputSource = 5;
    state.inputs[2][3] = 0x3;
    state.inputMixVolume[5][4][7] = 77;
    state.channels[6].bypass = 0;
    std::vector<int> seen;
    // The queue gate stays closed: nothing of the profile may depend on it.
    const TransferResult r =
        SetReadCurProfileToMCU(link, state, [&](int done, int) { seen.push_back(done); });

    const auto sent = Commands(amp);
    // Main volume and mute (2), per output two filters and 31 bands (8 x 33 = 264),
    // roles, trims, mutes, phases, delays and EQ bypass (6), the routing of the
    // nine sources (9), and the mix levels of the 14 input channels (optical 2,
    // Bluetooth 2, AUX 2, high level 6, DMP 2; the other sources have none).
    const int expected = 295;
    EXPECT_EQ(r.commands, expected);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(static_cast<int>(sent.size()), expected);
    ASSERT_EQ(static_cast<int>(seen.size()), expected);
    EXPECT_EQ(seen.back(), expected);

    // Position 40 is +6 dB, sent as 6 - 6 = 0; the mute follows.
    EXPECT_EQ(sent[0].subcmd, kMainVolume);
    EXPECT_EQ(sent[0].payload, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(sent[1].subcmd, kMute);
    // Low-pass before high-pass, then the channel's bands.
    EXPECT_EQ(sent[2].subcmd, kFilter);
    EXPECT_EQ(sent[2].payload[3], 1);
    EXPECT_EQ(sent[3].payload[3], 2);
    EXPECT_EQ(Only(sent, kDspClass, kEq).size(), 248u);

    // Every source's routing row, not only the selected source's.
    const auto mix = Only(sent, kDspClass, kMix);
    ASSERT_EQ(mix.size(), 9u);
    EXPECT_EQ(mix[2].payload, (std::vector<std::uint8_t>{0, 2, 0, 7, 1, 2, 1, 3, 3, 3, 1, 2}));

    // The mix levels are sent even with the gate closed.
    const auto trims = Only(sent, kDspClass, kMixTrim);
    ASSERT_EQ(trims.size(), 14u);
    const auto level = std::find_if(trims.begin(), trims.end(), [](const Sent& s) {
        return s.payload[1] == 5 && s.payload[2] == 4;
    });
    ASSERT_NE(level, trims.end());
    EXPECT_EQ(level->payload.back(), 77);

    const auto bypass = Only(sent, kDspClass, kBypass);
    ASSERT_EQ(bypass.size(), 1u);
    EXPECT_EQ(bypass[0].payload[4 + 6], 0);
}

TEST_F(ProfileTransferTest, MainVolumeOffIsSentAsSixtySix) {
    DspState state;
    state.mainVolume = 0;
    SetReadCurProfileToMCU(link, state);
    EXPECT_EQ(Commands(amp)[0].payload, std::vector<std::uint8_t>{66});
}

TEST_F(ProfileTransferTest, WholeWriteStoresEachSlotUnderItsNumberThenTheLiveState) {
    WholeProfile whole;
    whole.names[4] = {'A', 0};
    for (int k = 0; k < kSceneSlots; ++k) whole.scenes[k].channels[0].bypass = k % 2;
    const TransferResult r = SetReadWholeProfileToMCU(link, whole);
    const auto sent = Commands(amp);
    EXPECT_EQ(r.commands, static_cast<int>(sent.size()));

    const auto bypass = Only(sent, kDspClass, kBypass);
    ASSERT_EQ(bypass.size(), 11u);  // ten slots and the live state
    for (int k = 1; k <= kSceneSlots; ++k) {
        EXPECT_EQ(bypass[k - 1].payload[0], k);
        EXPECT_EQ(bypass[k - 1].payload[4], (k - 1) % 2);
    }
    EXPECT_EQ(bypass[10].payload[0], 0);

    // Each slot ends with its name and a store-now save; nothing follows the
    // save of a slot before the next slot's settings.
    std::vector<std::size_t> saves;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (sent[i].cmd == kFlashClass && sent[i].subcmd == kSaveScene) saves.push_back(i);
    }
    ASSERT_EQ(saves.size(), 10u);
    for (int k = 1; k <= kSceneSlots; ++k) {
        const Sent& save = sent[saves[k - 1]];
        EXPECT_EQ(save.payload, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(k), 1}));
        const Sent& name = sent[saves[k - 1] - 1];
        EXPECT_EQ(name.subcmd, kSceneName);
        ASSERT_EQ(name.payload.size(), 18u);
        EXPECT_EQ(name.payload[0], k);
        EXPECT_EQ(name.payload[1], 16);
        EXPECT_EQ(name.payload[2], k == 5 ? 'A' : 0);
    }
    // The live state follows the last slot, starting with its main volume.
    const auto volume = std::find_if(sent.begin(), sent.end(), [](const Sent& s) {
        return s.cmd == kDspClass && s.subcmd == kMainVolume;
    });
    ASSERT_NE(volume, sent.end());
    EXPECT_GT(static_cast<std::size_t>(volume - sent.begin()), saves.back());
    EXPECT_EQ(Only(sent, kDspClass, kMainVolume).size(), 1u);
}

// A silent amplifier: three unanswered commands in a row end the run, and
// what was never sent counts as failed, so a caller cannot mistake it for a
// complete write.
TEST_F(ProfileTransferTest, SilentAmplifierAbandonsTheRunAfterThreeMisses) {
    amp.SetSilent(true);
    cli::TracePort quick(amp, nullptr, 1);
    DeviceLink silentLink(quick, clock);
    silentLink.OpenHIDDevice();
    ASSERT_TRUE(silentLink.IsDeviceOpen());
    amp.ClearWrittenReports();
    const TransferResult r = SetReadCurProfileToMCU(silentLink, DspState{});
    EXPECT_GT(r.commands, 3);
    EXPECT_EQ(r.failed, r.commands);
    EXPECT_TRUE(r.abandoned);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(Commands(amp).size(), 3u);
    silentLink.CloseHIDDevice(false);
}

TEST_F(ProfileTransferTest, StopEndsTheRunBeforeTheNextCommand) {
    int sentBeforeStop = 0;
    const TransferResult r = SetReadWholeProfileToMCU(
        link, WholeProfile{}, [&](int done, int) { sentBeforeStop = done; },
        [&] { return sentBeforeStop >= 5; });
    EXPECT_TRUE(r.abandoned);
    EXPECT_EQ(r.failed, r.commands - 5);
    EXPECT_EQ(Commands(amp).size(), 5u);
}

TEST_F(ProfileTransferTest, IsolatedMissesDoNotEndTheRun) {
    // Every other reply is lost: the run goes on to the end.
    cli::TracePort quick(amp, nullptr, 1);
    DeviceLink flaky(quick, clock);
    flaky.OpenHIDDevice();
    int n = 0;
    const TransferResult r = SetReadCurProfileToMCU(flaky, DspState{}, [&](int, int) {
        amp.SetSilent(++n % 2 == 1);
    });
    EXPECT_FALSE(r.abandoned);
    EXPECT_EQ(r.failed, r.commands / 2);
    flaky.CloseHIDDevice(false);
}

TEST_F(ProfileTransferTest, SceneReadAsksForTheSceneAndAllTenNames) {
    ReadSceneIntoSlot(link, 7);
    const auto sent = Commands(amp);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].cmd, kFlashClass);
    EXPECT_EQ(sent[0].subcmd, kReadScene);
    EXPECT_EQ(sent[0].payload, (std::vector<std::uint8_t>{7, 255}));
    EXPECT_EQ(clock.slept, 0);  // acknowledged: the copy is ready, no pause
    for (const Sent& s : sent) {
        if (s.cmd == kDspClass) {
            EXPECT_EQ(s.payload[0], 7) << "subcmd " << int(s.subcmd);
        }
    }
    const auto names = Only(sent, kFlashClass, kSceneName);
    ASSERT_EQ(names.size(), 10u);
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(names[n - 1].payload[0], n);
    EXPECT_EQ(Only(sent, kDspClass, kEq).size(), 8u * 4u);
}

TEST_F(ProfileTransferTest, UnacknowledgedSceneCopyGetsTheSettleTime) {
    cli::TracePort quick(amp, nullptr, 1);
    DeviceLink slow(quick, clock);
    slow.OpenHIDDevice();
    amp.SetSilent(true);
    ReadSceneIntoSlot(slow, 2, [&](int done, int) {
        if (done == 1) amp.SetSilent(false);  // answers again after the copy
    });
    EXPECT_EQ(clock.slept, kSceneReadSettleMs);
    slow.CloseHIDDevice(false);
}

struct NameCase {
    const char* name;
    std::vector<std::uint16_t> units;
    std::vector<std::uint8_t> bytes;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class SceneNameBytesTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SceneNameBytesTest, FitsSixteenBytesWithoutCuttingACharacter) {
    SceneName slot{};
    for (std::size_t i = 0; i < GetParam().units.size(); ++i) {
        slot[2 * i] = static_cast<std::uint8_t>(GetParam().units[i]);
        slot[2 * i + 1] = static_cast<std::uint8_t>(GetParam().units[i] >> 8);
    }
    std::array<std::uint8_t, 16> expected{};
    std::copy(GetParam().bytes.begin(), GetParam().bytes.end(), expected.begin());
    EXPECT_EQ(SceneNameToDeviceBytes(slot), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SceneNameBytesTest,
    ::testing::Values(NameCase{"Empty", {}, {}},
                      NameCase{"Ascii", {'C', 'l', 'u', 'b'}, {'C', 'l', 'u', 'b'}},
                      NameCase{"TwoByte", {0xE9}, {0xC3, 0xA9}},
                      // Eight CJK characters need 24 bytes; five fit whole.
                      NameCase{"CutBeforeAWholeCharacter",
                               {0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D},
                               {0xE4, 0xB8, 0xAD, 0xE4, 0xB8, 0xAD, 0xE4, 0xB8, 0xAD, 0xE4, 0xB8,
                                0xAD, 0xE4, 0xB8, 0xAD}},
                      NameCase{"SurrogatePair", {0xD83C, 0xDFB5}, {0xF0, 0x9F, 0x8E, 0xB5}},
                      NameCase{"LoneSurrogate", {0xD83C, 'x'}, {0xEF, 0xBF, 0xBD, 'x'}}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kavelo
