// Whole firmware upgrades through DeviceLink against the virtual amplifier:
// what arrives block by block, the restarts, and how every failure ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TempDir.h"
#include "TickingClock.h"
#include "UpgradeFiles.h"
#include "device/DeviceLink.h"
#include "firmware/UpgradeEngine.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

using test::TickingClock;

using Target = VirtualAmplifier::UpgradeTarget;

// Image bytes 8 and 9 carry the MCU versions, 8..11 the DSP flash version.
std::vector<std::uint8_t> ImageWithVersion(std::size_t n, std::uint8_t seed,
                                           std::vector<std::uint8_t> version) {
    std::vector<std::uint8_t> image = PatternBytes(n, seed);
    std::copy(version.begin(), version.end(), image.begin() + 8);
    return image;
}

class UpgradeAmplifierTest : public ::testing::Test {
protected:
    UpgradeAmplifierTest() : link(amp, clock) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.MainReceiver = &sink;
    }
    ~UpgradeAmplifierTest() override { link.CloseHIDDevice(false); }

    void Connect() {
        link.OpenHIDDevice();
        ASSERT_TRUE(link.IsDeviceOpen());
        ASSERT_TRUE(link.Hand_Connect());
    }
    // Opens the amplifier again after it restarted and asks who it is.
    McuHandshakeRecord Reconnect() {
        link.CloseHIDDevice(false);
        link.OpenHIDDevice();
        EXPECT_TRUE(link.IsDeviceOpen());
        const std::size_t before = sink.RecordsOf<McuHandshakeRecord>().size();
        EXPECT_TRUE(link.Hand_Connect());
        const auto records = sink.RecordsOf<McuHandshakeRecord>();
        if (records.size() != before + 1) {
            ADD_FAILURE() << "no handshake decoded";
            return {};
        }
        return records.back();
    }
    std::string WriteFile(const char* name, const std::vector<std::uint8_t>& bytes) {
        const auto path = dir.path() / name;
        WriteBytes(path, bytes);
        return path.string();
    }
    std::string McuFile(const char* name, const std::vector<std::uint8_t>& image) {
        ContainerParts parts;
        parts.kind = kImageKindMcu;
        parts.start = {0x4D, 0x43, 0x55, 0x01};
        parts.data = image;
        return WriteFile(name, MakeContainer(parts));
    }
    std::vector<std::uint8_t> DspContainer(const std::vector<std::uint8_t>& image) {
        ContainerParts parts;
        parts.kind = kImageKindDsp;
        parts.start = {0x44, 0x53, 0x50, 0x02};
        parts.data = image;
        return MakeContainer(parts);
    }
    // Steps to the end; a bound keeps a transfer that never ends from hanging.
    std::vector<int> RunSteps(int limit = 10000) {
        std::vector<int> results;
        while (static_cast<int>(results.size()) < limit) {
            results.push_back(link.UpgradeStep());
            if (results.back() > 100) break;
        }
        return results;
    }
    void ExpectIdle() {
        EXPECT_EQ(link.sys_upg_status, UPG_IDLE);
        EXPECT_EQ(link.AckWait, ACK_WAIT_CLOSED);
    }

    TempDir dir;
    VirtualAmplifier amp;
    TickingClock clock;
    test::RecordingSink sink;
    DeviceLink link;
};

// ---- whole upgrades --------------------------------------------------------

enum class Kind { Mcu, Bootloader, Dsp, Combined };

struct FullCase {
    const char* name;
    Kind kind;
    std::size_t length;
    std::vector<std::uint32_t> offsets;  // of the blocks, in the order sent
};
void PrintTo(const FullCase& c, std::ostream* os) { *os << c.name; }

class FullUpgradeTest : public UpgradeAmplifierTest,
                        public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullUpgradeTest, EveryBlockArrivesAndTheNewVersionRuns) {
    const FullCase& c = GetParam();
    amp.SetVersions(1, 17);
    Connect();
    const bool dsp = c.kind == Kind::Dsp || c.kind == Kind::Combined;
    const std::vector<std::uint8_t> image =
        dsp ? ImageWithVersion(c.length, 7, {2, 3, 4, 5}) : ImageWithVersion(c.length, 8, {1, 19});
    std::string path;
    switch (c.kind) {
        case Kind::Mcu:
            path = McuFile("MCU_UPG.BIN", image);
            break;
        case Kind::Bootloader:
            path = McuFile("bl_upg.bin", image);
            break;
        case Kind::Dsp:
            path = WriteFile("FLASH_UPG.BIN", DspContainer(image));
            break;
        case Kind::Combined: {
            ContainerParts mcu;
            mcu.data = ImageWithVersion(40, 9, {3, 3});
            path = WriteFile("UPG_FW.bin",
                             MakeCombined(0x00, 0x73, {MakeContainer(mcu), DspContainer(image)}));
            break;
        }
    }

    ASSERT_EQ(link.UpgradeStart(path), UPG_FILE_VALID);
    const std::vector<int> steps = RunSteps();
    ASSERT_EQ(steps.back(), kUpgradeStepDone);
    ExpectIdle();

    // Every block as the amplifier received it.
    const auto blocks = amp.UpgradeBlocks();
    ASSERT_EQ(blocks.size(), c.offsets.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uint32_t offset = c.offsets[i];
        EXPECT_EQ(blocks[i].offset, offset) << "block " << i;
        const std::size_t n = std::min<std::size_t>(dsp ? 50 : 32, c.length - offset);
        std::vector<std::uint8_t> expected(image.begin() + offset, image.begin() + offset + n);
        if (!dsp) expected.resize(32, 0);  // MCU blocks travel zero-filled
        EXPECT_EQ(blocks[i].bytes, expected) << "block " << i;
        EXPECT_EQ(blocks[i].target, c.kind == Kind::Mcu          ? Target::McuApplication
                                    : c.kind == Kind::Bootloader ? Target::Bootloader
                                                                 : Target::DspFlash);
    }
    const std::array<std::uint8_t, 4> start =
        dsp ? std::array<std::uint8_t, 4>{0x44, 0x53, 0x50, 0x02}
            : std::array<std::uint8_t, 4>{0x4D, 0x43, 0x55, 0x01};
    EXPECT_EQ(amp.UpgradeStartParameter(), start);

    if (c.kind == Kind::Bootloader) {
        // Written by the running application: no restart, the link stays usable.
        EXPECT_EQ(amp.RestartCount(), 0);
        EXPECT_TRUE(clock.sleeps.empty());
        EXPECT_EQ(amp.BootloaderVersion(), 1);
        const std::size_t before = sink.RecordsOf<McuHandshakeRecord>().size();
        ASSERT_TRUE(link.Hand_Connect());
        EXPECT_EQ(sink.RecordsOf<McuHandshakeRecord>().size(), before + 1)
            << "the handshake reply was not the report read after the upgrade";
        return;
    }
    // Into the loader and back, with the link's reconnect in between.
    EXPECT_EQ(amp.RestartCount(), 2);
    EXPECT_EQ(clock.sleeps.front(), 8000);
    const McuHandshakeRecord who = Reconnect();
    EXPECT_TRUE(link.McuNormalMode);
    if (c.kind == Kind::Mcu) {
        EXPECT_EQ(who.masterVersion, 1);
        EXPECT_EQ(who.slaveVersion, 19);
        return;
    }
    EXPECT_EQ(who.slaveVersion, 17);  // a combined file does not send its MCU image
    amp.SendVersionReport();
    ASSERT_TRUE(link.ReadHIDData(link.ReceiveBuffer(), 1000));
    const auto versions = sink.RecordsOf<McuFlashVersionRecord>();
    ASSERT_FALSE(versions.empty());
    EXPECT_EQ(std::vector<int>(versions.back().version, versions.back().version + 4),
              (std::vector<int>{2, 3, 4, 5}));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FullUpgradeTest,
    ::testing::Values(FullCase{"Mcu70", Kind::Mcu, 70, {64, 32, 0}},
                      FullCase{"Mcu64", Kind::Mcu, 64, {32, 0}},
                      FullCase{"Bootloader70", Kind::Bootloader, 70, {64, 32, 0}},
                      FullCase{"Dsp120", Kind::Dsp, 120, {0, 50, 100}},
                      FullCase{"Dsp50", Kind::Dsp, 50, {0}},
                      FullCase{"Combined", Kind::Combined, 120, {0, 50, 100}}));

// ---- acknowledgements and failures ----------------------------------------

struct KindCase {
    const char* name;
    bool dsp;
};
void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class UpgradeKindTest : public UpgradeAmplifierTest,
                        public ::testing::WithParamInterface<KindCase> {
protected:
    std::string File(std::size_t n) {
        const auto image = PatternBytes(n, 4);
        return GetParam().dsp ? WriteFile("FLASH_UPG.BIN", DspContainer(image))
                              : McuFile("MCU_UPG.BIN", image);
    }
    std::size_t DataWrites() {
        std::size_t count = 0;
        for (const OutputReport& r : amp.WrittenReports()) {
            // 00 AA 55 L class subcmd ...
            const bool mcuData = r[4] == 3 && r[5] == 0x03;
            const bool dspData = r[4] == 2 && r[5] == 0x04;
            count += mcuData || dspData;
        }
        return count;
    }
};

TEST_P(UpgradeKindTest, NotReadyIsReadAgainAndTheBlockIsNotResent) {
    amp.SetUpgradeNotReadyAcks(2);
    Connect();
    ASSERT_EQ(link.UpgradeStart(File(100)), UPG_FILE_VALID);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    const std::size_t blocks = GetParam().dsp ? 2 : 4;
    EXPECT_EQ(amp.UpgradeBlocks().size(), blocks);
    EXPECT_EQ(DataWrites(), blocks);
}

TEST_P(UpgradeKindTest, RefusedStartGivesFourAndSendsNoBlock) {
    amp.SetRefuseUpgradeStart(true);
    Connect();
    EXPECT_EQ(link.UpgradeStart(File(100)), UPG_REFUSED);
    EXPECT_EQ(link.sys_upg_status, UPG_IDLE);
    EXPECT_EQ(DataWrites(), 0u);
    // Nothing is left to send: a step changes nothing.
    EXPECT_LE(link.UpgradeStep(), 100);
    EXPECT_EQ(DataWrites(), 0u);
}

TEST_P(UpgradeKindTest, LoaderModeStartsWithoutReopening) {
    amp.SetLoaderMode(true);
    Connect();
    ASSERT_FALSE(link.McuNormalMode);
    ASSERT_EQ(link.UpgradeStart(File(100)), UPG_FILE_VALID);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(amp.RestartCount(), 0);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    EXPECT_EQ(amp.RestartCount(), 1);  // out of the loader into the new program
}

TEST_P(UpgradeKindTest, AmplifierRunsItsLoaderWhileUpgrading) {
    Connect();
    ASSERT_TRUE(link.McuNormalMode);
    ASSERT_EQ(link.UpgradeStart(File(100)), UPG_FILE_VALID);
    ASSERT_TRUE(link.Hand_Connect());
    EXPECT_FALSE(link.McuNormalMode);
    EXPECT_EQ(RunSteps().back(), kUpgradeStepDone);
    Reconnect();
    EXPECT_TRUE(link.McuNormalMode);
}

// The cable comes out either after a block arrived (its acknowledgement read
// fails) or as a block is written (the write fails).
TEST_P(UpgradeKindTest, UnplugMidTransferFailsWithinBoundedTime) {
    for (bool duringWrite : {false, true}) {
        SCOPED_TRACE(duringWrite ? "during the write" : "after the block");
        amp.Plug();
        amp.SetLoaderMode(false);
        link.CloseHIDDevice(false);
        Connect();
        ASSERT_EQ(link.UpgradeStart(File(300)), UPG_FILE_VALID);
        if (duringWrite) {
            amp.UnplugAtExchange(static_cast<int>(amp.WriteCount()) + 3);
        } else {
            amp.UnplugAtUpgradeBlock(3);
        }
        const std::int64_t begin = clock.Peek();
        const std::vector<int> steps = RunSteps(200);
        EXPECT_EQ(steps.back(), kUpgradeStepFailed);
        // At most three acknowledgement reads of 10 s each on the link's clock.
        EXPECT_LE(clock.Peek() - begin, 3 * 10000 + 100);
        EXPECT_FALSE(amp.IsPlugged());
        ExpectIdle();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, UpgradeKindTest,
                         ::testing::Values(KindCase{"Mcu", false}, KindCase{"Dsp", true}));

TEST_F(UpgradeAmplifierTest, BootloaderCannotBeEnteredFromTheLoader) {
    amp.SetLoaderMode(true);
    Connect();
    EXPECT_EQ(link.UpgradeStart(McuFile("BL_UPG.BIN", PatternBytes(64))), UPG_REFUSED);
    EXPECT_EQ(link.sys_upg_status, UPG_IDLE);
    EXPECT_TRUE(amp.UpgradeBlocks().empty());
}

TEST_F(UpgradeAmplifierTest, UnreachableAfterEnteringUpgradeModeGivesThree) {
    // The link believes the amplifier is in its loader, so it does not
    // reconnect; the amplifier restarts anyway and the old handle is dead.
    Connect();
    link.McuNormalMode = false;
    EXPECT_EQ(link.UpgradeStart(McuFile("MCU_UPG.BIN", PatternBytes(64))), UPG_CONNECT_FAIL);
    EXPECT_EQ(link.sys_upg_status, UPG_IDLE);
    EXPECT_TRUE(amp.UpgradeBlocks().empty());
}

}  // namespace
}  // namespace kavelo
