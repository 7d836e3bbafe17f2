#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "TempDir.h"
#include "UpgradeFiles.h"
#include "base/Log.h"
#include "firmware/UpgradeImage.h"

namespace kavelo {
namespace {

// ---- recognition by name -------------------------------------------------

struct NameCase {
    const char* name;
    const char* path;
    UpgradeFileKind kind;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class UpgradeFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(UpgradeFileNameTest, SelectsParser) {
    EXPECT_EQ(RecogniseUpgradeFile(GetParam().path), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Names, UpgradeFileNameTest,
    ::testing::Values(
        NameCase{"McuUpper", "/tmp/MCU_UPG.BIN", UpgradeFileKind::Mcu},
        NameCase{"McuLower", "/tmp/trq_mcu_upg.bin", UpgradeFileKind::Mcu},
        NameCase{"McuMixedWithSuffix", "Mcu_Upg.Bin.v2", UpgradeFileKind::Mcu},
        NameCase{"Bootloader", "c:\\fw\\bl_upg.bin", UpgradeFileKind::Bootloader},
        // The bootloader name is looked for first, so it wins over "MCU".
        NameCase{"BootloaderBeforeMcu", "MCUBL_UPG.BIN", UpgradeFileKind::Bootloader},
        NameCase{"Flash", "dsp/FLASH_UPG.BIN", UpgradeFileKind::DspFlash},
        NameCase{"FlashLower", "flash_upg.bin", UpgradeFileKind::DspFlash},
        NameCase{"Combined", "UPG_FW.bin", UpgradeFileKind::Combined},
        NameCase{"CombinedUpper", "/x/UPG_FW.BIN", UpgradeFileKind::Combined},
        NameCase{"Unrelated", "/tmp/firmware.bin", UpgradeFileKind::Unknown},
        NameCase{"NameOnlyInFolder", "/MCU_UPG.BIN/readme.txt", UpgradeFileKind::Unknown},
        NameCase{"NameOnlyInWindowsFolder", "c:\\FLASH_UPG.BIN\\x.bin", UpgradeFileKind::Unknown},
        NameCase{"Empty", "", UpgradeFileKind::Unknown}));

// ---- single containers -----------------------------------------------------

enum class Parser { Mcu, Bootloader, Flash };

int RunParser(Parser p, UpgradeImages& images, const UpgradeParseContext& ctx,
              const std::string& path) {
    switch (p) {
        case Parser::Mcu:
            return MCUUpgParsingFile(images, ctx, path);
        case Parser::Bootloader:
            return MCUUpgBLParsingFile(images, ctx, path);
        case Parser::Flash:
            return FlashUpgParsingFile(images, ctx, path);
    }
    return -1;
}

class UpgradeImageFixture {
protected:
    std::string Write(const std::vector<std::uint8_t>& bytes, const char* name = "file.bin") {
        const auto path = dir.path() / name;
        WriteBytes(path, bytes);
        return path.string();
    }
    // Checks that a failed parse left nothing behind.
    void ExpectNothingKept() {
        EXPECT_FALSE(images.HasMcuImage());
        EXPECT_FALSE(images.HasDspImage());
        EXPECT_EQ(images.upg_device, UPG_DEVICE_NONE);
        EXPECT_EQ(images.statusAfterParse, UPG_IDLE);
    }

    TempDir dir;
    UpgradeImages images;
    UpgradeParseContext ctx{87, true, {}};
};

struct ContainerCase {
    const char* name;
    Parser parser;
    std::uint8_t kind;
    std::uint8_t model;
    std::size_t fileSize;  // whole container, overhead included
    int expected;
};
void PrintTo(const ContainerCase& c, std::ostream* os) { *os << c.name; }

class ContainerParseTest : public UpgradeImageFixture,
                           public ::testing::TestWithParam<ContainerCase> {};

TEST_P(ContainerParseTest, ChecksAndKeepsImage) {
    const ContainerCase& c = GetParam();
    ContainerParts parts;
    parts.kind = c.kind;
    parts.model = c.model;
    parts.data = PatternBytes(c.fileSize - kContainerOverhead, 7);
    const std::string path = Write(MakeContainer(parts));

    EXPECT_EQ(RunParser(c.parser, images, ctx, path), c.expected);
    if (c.expected != UPG_FILE_VALID) {
        ExpectNothingKept();
        return;
    }
    if (c.parser == Parser::Flash) {
        EXPECT_EQ(images.dspImage, parts.data);
        EXPECT_EQ(images.dspSent, 0u);
        EXPECT_EQ(images.dspStartParam, parts.start);
        EXPECT_FALSE(images.HasMcuImage());
        EXPECT_EQ(images.upg_device, UPG_DEVICE_DSP_FLASH);
        EXPECT_EQ(images.statusAfterParse, UPG_START);
    } else {
        EXPECT_EQ(images.mcuImage, parts.data);
        EXPECT_EQ(images.mcuRemaining, parts.data.size());
        EXPECT_EQ(images.mcuStartParam, parts.start);
        EXPECT_FALSE(images.HasDspImage());
        EXPECT_EQ(images.upg_device,
                  c.parser == Parser::Mcu ? UPG_DEVICE_MCU : UPG_DEVICE_BOOTLOADER);
        EXPECT_EQ(images.statusAfterParse, UPG_ENTER);
    }
    EXPECT_EQ(images.imageKind, c.kind);
    EXPECT_EQ(images.imageModel, c.model);
}

constexpr std::size_t kMiB = 1048576;

INSTANTIATE_TEST_SUITE_P(
    Containers, ContainerParseTest,
    ::testing::Values(
        ContainerCase{"McuValid", Parser::Mcu, 1, 87, 100, UPG_FILE_VALID},
        ContainerCase{"McuExactly1MiB", Parser::Mcu, 1, 87, kMiB, UPG_FILE_VALID},
        ContainerCase{"McuOneByteOver1MiB", Parser::Mcu, 1, 87, kMiB + 1, UPG_FILE_INVALID},
        ContainerCase{"McuModel0x56", Parser::Mcu, 1, 0x56, 100, UPG_FILE_INVALID},
        ContainerCase{"McuKindDsp", Parser::Mcu, 2, 87, 100, UPG_FILE_INVALID},
        ContainerCase{"McuOneDataByte", Parser::Mcu, 1, 87, 15, UPG_FILE_VALID},
        ContainerCase{"McuNoData", Parser::Mcu, 1, 87, 14, UPG_FILE_INVALID},
        ContainerCase{"BootloaderValid", Parser::Bootloader, 1, 87, 70, UPG_FILE_VALID},
        ContainerCase{"BootloaderModel0x56", Parser::Bootloader, 1, 0x56, 70, UPG_FILE_INVALID},
        ContainerCase{"BootloaderKind7", Parser::Bootloader, 7, 87, 70, UPG_FILE_INVALID},
        ContainerCase{"FlashValid", Parser::Flash, 2, 87, 134, UPG_FILE_VALID},
        ContainerCase{"FlashKind7", Parser::Flash, 7, 87, 134, UPG_FILE_VALID},
        ContainerCase{"FlashKind1", Parser::Flash, 1, 87, 134, UPG_FILE_VALID},
        ContainerCase{"FlashModel0x56", Parser::Flash, 2, 0x56, 134, UPG_FILE_INVALID},
        ContainerCase{"FlashExactly1MiB", Parser::Flash, 2, 87, kMiB, UPG_FILE_VALID},
        ContainerCase{"FlashOneByteOver1MiB", Parser::Flash, 2, 87, kMiB + 1, UPG_FILE_INVALID},
        ContainerCase{"FlashNoData", Parser::Flash, 2, 87, 14, UPG_FILE_INVALID}));

struct ParserCase {
    const char* name;
    Parser parser;
};
void PrintTo(const ParserCase& c, std::ostream* os) { *os << c.name; }

class EveryContainerParserTest : public UpgradeImageFixture,
                                 public ::testing::TestWithParam<ParserCase> {
protected:
    std::vector<std::uint8_t> Valid() {
        ContainerParts parts;
        parts.kind = GetParam().parser == Parser::Flash ? 2 : 1;
        parts.data = PatternBytes(24, 3);
        return MakeContainer(parts);
    }
};

TEST_P(EveryContainerParserTest, AnyChangedByteBeforeChecksumIsRefused) {
    const std::vector<std::uint8_t> good = Valid();
    // Every byte counted in the sum, trailer included; then the checksum itself.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::vector<std::uint8_t> bad = good;
        bad[i] ^= 0x01;
        const std::string path = Write(bad);
        EXPECT_EQ(RunParser(GetParam().parser, images, ctx, path), UPG_FILE_INVALID)
            << "byte " << i;
        ExpectNothingKept();
    }
}

TEST_P(EveryContainerParserTest, ShortFilesAreRefusedWithoutImage) {
    for (std::size_t size = 0; size < kContainerOverhead; ++size) {
        const std::string path = Write(std::vector<std::uint8_t>(size, 0));
        EXPECT_EQ(RunParser(GetParam().parser, images, ctx, path), UPG_FILE_INVALID)
            << size << " bytes";
        ExpectNothingKept();
    }
}

TEST_P(EveryContainerParserTest, MissingFileGivesOne) {
    EXPECT_EQ(RunParser(GetParam().parser, images, ctx, (dir.path() / "absent").string()),
              UPG_FILE_OPEN_FAIL);
    ExpectNothingKept();
}

TEST_P(EveryContainerParserTest, NoDeviceGivesThreeBeforeReading) {
    ctx.deviceOpen = false;
    const std::string path = Write(Valid());
    EXPECT_EQ(RunParser(GetParam().parser, images, ctx, path), UPG_CONNECT_FAIL);
    ExpectNothingKept();
}

TEST_P(EveryContainerParserTest, FailedParseDropsEarlierImages) {
    ContainerParts mcu;
    mcu.data = PatternBytes(40);
    ContainerParts dsp = mcu;
    dsp.kind = 2;
    const std::string combined =
        Write(MakeCombined(0x73, 0, {MakeContainer(mcu), MakeContainer(dsp)}), "UPG_FW.bin");
    ASSERT_EQ(ParsingUpgFWFile(images, ctx, combined), UPG_FILE_VALID);
    ASSERT_TRUE(images.HasMcuImage() && images.HasDspImage());

    std::vector<std::uint8_t> bad = Valid();
    bad[1] = 0x56;
    EXPECT_EQ(RunParser(GetParam().parser, images, ctx, Write(bad)), UPG_FILE_INVALID);
    ExpectNothingKept();
}

TEST_P(EveryContainerParserTest, DirectoryIsRefused) {
    const int rc = RunParser(GetParam().parser, images, ctx, dir.path().string());
    EXPECT_TRUE(rc == UPG_FILE_OPEN_FAIL || rc == UPG_FILE_INVALID) << rc;
    ExpectNothingKept();
}

INSTANTIATE_TEST_SUITE_P(Parsers, EveryContainerParserTest,
                         ::testing::Values(ParserCase{"Mcu", Parser::Mcu},
                                           ParserCase{"Bootloader", Parser::Bootloader},
                                           ParserCase{"Flash", Parser::Flash}));

class FlashParseTest : public UpgradeImageFixture, public ::testing::Test {};

TEST_F(FlashParseTest, EmptiesReceiveRingOnceBeforeReading) {
    int emptied = 0;
    ctx.emptyReceiveRing = [&] { ++emptied; };
    ContainerParts parts;
    parts.kind = 2;
    parts.data = PatternBytes(10);
    EXPECT_EQ(FlashUpgParsingFile(images, ctx, Write(MakeContainer(parts))), UPG_FILE_VALID);
    EXPECT_EQ(emptied, 1);
}

// ---- combined file ---------------------------------------------------------

struct CombinedCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> make;
    int expected;
};
void PrintTo(const CombinedCase& c, std::ostream* os) { *os << c.name; }

ContainerParts McuSpec() {
    ContainerParts s;
    s.kind = 1;
    s.start = {1, 2, 3, 4};
    s.data = PatternBytes(70, 1);
    return s;
}
ContainerParts DspSpec() {
    ContainerParts s;
    s.kind = 2;
    s.start = {5, 6, 7, 8};
    s.data = PatternBytes(120, 2);
    return s;
}
std::vector<std::uint8_t> Combined(std::uint8_t h1, std::uint8_t h2) {
    return MakeCombined(h1, h2, {MakeContainer(McuSpec()), MakeContainer(DspSpec())});
}
std::vector<std::uint8_t> WithSize(std::vector<std::uint8_t> f, int index, std::uint32_t size) {
    for (int k = 0; k < 4; ++k)
        f[3 + 4 * index + k] = static_cast<std::uint8_t>(size >> (24 - 8 * k));
    return f;
}

class CombinedParseTest : public UpgradeImageFixture,
                          public ::testing::TestWithParam<CombinedCase> {};

TEST_P(CombinedParseTest, ChecksLayoutAndBothImages) {
    const CombinedCase& c = GetParam();
    EXPECT_EQ(ParsingUpgFWFile(images, ctx, Write(c.make(), "UPG_FW.bin")), c.expected);
    if (c.expected != UPG_FILE_VALID) {
        ExpectNothingKept();
        return;
    }
    EXPECT_EQ(images.mcuImage, McuSpec().data);
    EXPECT_EQ(images.mcuRemaining, McuSpec().data.size());
    EXPECT_EQ(images.mcuStartParam, McuSpec().start);
    EXPECT_EQ(images.dspImage, DspSpec().data);
    EXPECT_EQ(images.dspSent, 0u);
    EXPECT_EQ(images.dspStartParam, DspSpec().start);
    EXPECT_EQ(images.upg_device, UPG_DEVICE_DSP_FLASH);
    // Upgrade mode still has to be confirmed by the amplifier.
    EXPECT_EQ(images.statusAfterParse, UPG_IDLE);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CombinedParseTest,
    ::testing::Values(
        CombinedCase{"FirstHeadMarked", [] { return Combined(0x73, 0x00); }, UPG_FILE_VALID},
        CombinedCase{"SecondHeadMarked", [] { return Combined(0x00, 0x73); }, UPG_FILE_VALID},
        CombinedCase{"BothHeadsMarked", [] { return Combined(0x73, 0x73); }, UPG_FILE_VALID},
        CombinedCase{"NoHeadMarked", [] { return Combined(0x72, 0x37); }, UPG_FILE_INVALID},
        CombinedCase{"ThirdImageIgnored",
                     [] {
                         return MakeCombined(
                             0x73, 0,
                             {MakeContainer(McuSpec()), MakeContainer(DspSpec()), {9, 9, 9}});
                     },
                     UPG_FILE_VALID},
        CombinedCase{"OneImage",
                     [] {
                         auto f = MakeCombined(0x73, 0, {MakeContainer(McuSpec())});
                         f.resize(f.size() + 40, 0);
                         return f;
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"NoImages",
                     [] {
                         auto f = Combined(0x73, 0);
                         f[2] = 0;
                         return f;
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"CountBeyondFile",
                     [] {
                         auto f = Combined(0x73, 0);
                         f[2] = 255;
                         f.resize(3 + 4 * 100);
                         return f;
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"SecondSizeBeyondFile", [] { return WithSize(Combined(0x73, 0), 1, 135); },
                     UPG_FILE_INVALID},
        CombinedCase{"FirstSizeWraps", [] { return WithSize(Combined(0x73, 0), 0, 0xFFFFFFFFu); },
                     UPG_FILE_INVALID},
        CombinedCase{
            "BothSizesHuge",
            [] { return WithSize(WithSize(Combined(0x73, 0), 0, 0x80000000u), 1, 0x80000000u); },
            UPG_FILE_INVALID},
        CombinedCase{"FirstSizeBelowOverhead", [] { return WithSize(Combined(0x73, 0), 0, 13); },
                     UPG_FILE_INVALID},
        CombinedCase{"EmptyMcuImage", [] { return WithSize(Combined(0x73, 0), 0, 14); },
                     UPG_FILE_INVALID},
        CombinedCase{"TooShortForTable",
                     [] {
                         return std::vector<std::uint8_t>{0x73, 0, 2};
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"EmptyFile", [] { return std::vector<std::uint8_t>{}; }, UPG_FILE_INVALID},
        CombinedCase{"McuKindWrong",
                     [] {
                         auto m = McuSpec();
                         m.kind = 2;
                         return MakeCombined(0x73, 0, {MakeContainer(m), MakeContainer(DspSpec())});
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"McuModel0x56",
                     [] {
                         auto m = McuSpec();
                         m.model = 0x56;
                         return MakeCombined(0x73, 0, {MakeContainer(m), MakeContainer(DspSpec())});
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"DspKind7",
                     [] {
                         auto d = DspSpec();
                         d.kind = 7;
                         return MakeCombined(0x73, 0, {MakeContainer(McuSpec()), MakeContainer(d)});
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"DspChecksumWrong",
                     [] {
                         auto f = Combined(0x73, 0);
                         f[f.size() - 1] ^= 0x10;
                         return f;
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"McuDataByteChanged",
                     [] {
                         auto f = Combined(0x73, 0);
                         f[3 + 8 + 6 + 10] ^= 0x01;
                         return f;
                     },
                     UPG_FILE_INVALID},
        CombinedCase{"Exactly2MiB",
                     [] {
                         auto f = Combined(0x73, 0);
                         f.resize(2 * kMiB, 0);
                         return f;
                     },
                     UPG_FILE_VALID},
        CombinedCase{"OneByteOver2MiB",
                     [] {
                         auto f = Combined(0x73, 0);
                         f.resize(2 * kMiB + 1, 0);
                         return f;
                     },
                     UPG_FILE_INVALID}));

TEST_F(FlashParseTest, CombinedFileThatCannotBeOpenedIsInvalid) {
    EXPECT_EQ(ParsingUpgFWFile(images, ctx, (dir.path() / "UPG_FW.bin").string()),
              UPG_FILE_INVALID);
    ExpectNothingKept();
}

// ---- log lines -------------------------------------------------------------

class UpgradeImageLogTest : public UpgradeImageFixture, public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitConsoleWindow((logDir.path() / "save.log").string())); }
    void TearDown() override { LogShutdown(); }
    std::string Log() {
        LogShutdown();
        return ReadWholeFile(logDir.path() / "save.log");
    }
    TempDir logDir;
};

TEST_F(UpgradeImageLogTest, McuSuccessLogsChecksumsAndOk) {
    ContainerParts parts;
    parts.data = {0x10, 0x20};
    // 1 + 87 + 0x11+0x22+0x33+0x44 + 0x30 + trailer 0xDE+0xAD+0xBE+0xEF = 0x46A
    ASSERT_EQ(MCUUpgParsingFile(images, ctx, Write(MakeContainer(parts))), UPG_FILE_VALID);
    const std::string log = Log();
    for (const char* line : {"MCUUpgParsingFile!\n", "CopyFileToBuffer\n",
                             "cal MCU encrypt_checksum=0x46a!\n", "encrypt_checksum=0x46a!\n",
                             "noCheckID=false, FW_ID=0x1, FW_MODEL_ID=0x57, pc_model_id=0x57\n",
                             "UPG_FILE_VALID\n", "MCUUpgParsingFile return  ok!\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(UpgradeImageLogTest, RefusedFilesNameTheInvalidReturn) {
    ContainerParts parts;
    parts.model = 0x56;
    parts.data = {1};
    const std::string path = Write(MakeContainer(parts));
    ASSERT_EQ(MCUUpgBLParsingFile(images, ctx, path), UPG_FILE_INVALID);
    const std::string log = Log();
    EXPECT_NE(log.find("return UPG_FILE_INVALID " + path), std::string::npos) << log;
    EXPECT_NE(log.find("MCUUpgBLParsingFile return as failed in CopyFileToBuffer!\n"),
              std::string::npos)
        << log;
}

TEST_F(UpgradeImageLogTest, CombinedLogsHeadAndChecksumError) {
    auto f = Combined(0x00, 0x73);
    f[f.size() - 1] ^= 0x10;
    ASSERT_EQ(ParsingUpgFWFile(images, ctx, Write(f, "UPG_FW.bin")), UPG_FILE_INVALID);
    const std::string log = Log();
    for (const char* line :
         {"head is 0x0, 0x73\n", "totalFW=2\n", "FWSize[0]=0x54\n", "FWSize[1]=0x86\n",
          "HEAD[0]=0x5, HEAD[1]=0x6, HEAD[2]=0x7, "
          "HEAD[3]=0x8\n",
          "last[0]=0xde, last[1]=0xad, last[2]=0xbe, last[3]=0xef\n", "DSP checksum error!\n",
          "return UPG_FILE_INVALID "})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

}  // namespace
}  // namespace kavelo
