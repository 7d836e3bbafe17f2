#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

#include "UpgradeFiles.h"
#include "firmware/UpgradeTransfer.h"

namespace kavelo {
namespace {

// (offset, size) of each block in sending order.
using Blocks = std::vector<std::pair<std::uint32_t, std::size_t>>;

struct BlockCase {
    const char* name;
    bool dsp;
    std::size_t length;
    Blocks blocks;
    std::vector<int> progress;  // after each block
};
void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

class BlockOrderTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockOrderTest, SendsEveryByteOnceInOrder) {
    const BlockCase& c = GetParam();
    UpgradeImages images;
    const std::vector<std::uint8_t> data = PatternBytes(c.length, 9);
    if (c.dsp) {
        images.upg_device = UPG_DEVICE_DSP_FLASH;
        images.dspImage = data;
    } else {
        images.upg_device = UPG_DEVICE_MCU;
        images.mcuImage = data;
        images.mcuRemaining = data.size();
    }
    EXPECT_EQ(UpgradeProgress(images), 0);

    Blocks got;
    std::vector<int> progress;
    UpgradeBlock block;
    while (c.dsp ? TakeNextDspBlock(images, &block) : TakeNextMcuBlock(images, &block)) {
        ASSERT_LT(got.size(), c.blocks.size() + 1) << "too many blocks";
        got.emplace_back(block.offset, block.size);
        EXPECT_EQ(std::vector<std::uint8_t>(block.data, block.data + block.size),
                  std::vector<std::uint8_t>(data.begin() + block.offset,
                                            data.begin() + block.offset + block.size));
        progress.push_back(UpgradeProgress(images));
    }
    EXPECT_EQ(got, c.blocks);
    EXPECT_EQ(progress, c.progress);
    // Nothing more once the image is through.
    EXPECT_FALSE(c.dsp ? TakeNextDspBlock(images, &block) : TakeNextMcuBlock(images, &block));
}

INSTANTIATE_TEST_SUITE_P(
    Images, BlockOrderTest,
    ::testing::Values(BlockCase{"Mcu64", false, 64, {{32, 32}, {0, 32}}, {50, 100}},
                      BlockCase{"Mcu70", false, 70, {{64, 6}, {32, 32}, {0, 32}}, {8, 54, 100}},
                      BlockCase{"Mcu1", false, 1, {{0, 1}}, {100}},
                      BlockCase{"Mcu33", false, 33, {{32, 1}, {0, 32}}, {3, 100}},
                      BlockCase{"Dsp50", true, 50, {{0, 50}}, {100}},
                      BlockCase{"Dsp120", true, 120, {{0, 50}, {50, 50}, {100, 20}}, {41, 83, 100}},
                      BlockCase{"Dsp1", true, 1, {{0, 1}}, {100}},
                      BlockCase{
                          "Dsp101", true, 101, {{0, 50}, {50, 50}, {100, 1}}, {49, 99, 100}}));

TEST(UpgradePayloadTest, McuBlockIsOffsetThenZeroFilledBytes) {
    const std::uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    const auto payload = McuBlockPayload(UpgradeBlock{0x01020340, 6, bytes});
    std::array<std::uint8_t, 36> expected{0x01, 0x02, 0x03, 0x40, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(payload, expected);
}

TEST(UpgradePayloadTest, DspBlockIsOffsetCountAndBytes) {
    const std::uint8_t bytes[3] = {0xA1, 0xB2, 0xC3};
    EXPECT_EQ(DspBlockPayload(UpgradeBlock{100, 3, bytes}),
              (std::vector<std::uint8_t>{0, 0, 0, 100, 3, 0xA1, 0xB2, 0xC3}));
    const auto full = PatternBytes(50);
    const auto payload = DspBlockPayload(UpgradeBlock{0x00ABCDEF, 50, full.data()});
    ASSERT_EQ(payload.size(), 55u);
    EXPECT_EQ(payload[4], 50);
    EXPECT_EQ(payload[1], 0xAB);
}

TEST(UpgradeProgressTest, NoImageIsZeroNotADivisionByZero) {
    UpgradeImages images;
    images.upg_device = UPG_DEVICE_DSP_FLASH;
    EXPECT_EQ(UpgradeProgress(images), 0);
    images.upg_device = UPG_DEVICE_BOOTLOADER;
    EXPECT_EQ(UpgradeProgress(images), 0);
}

TEST(UpgradeProgressTest, LargeImageDoesNotOverflow) {
    UpgradeImages images;
    images.upg_device = UPG_DEVICE_DSP_FLASH;
    images.dspImage.assign(1048562, 0);
    images.dspSent = 1048561;
    EXPECT_EQ(UpgradeProgress(images), 99);
}

}  // namespace
}  // namespace kavelo
