#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/UpgradeImage.h"

// The wire side of a firmware transfer that does not depend on the link:
// subcommands, block order and payloads, progress.
namespace kavelo {

// Subcommands of the MCU class (3) used by an upgrade.
inline constexpr std::uint8_t kMcuSubEnterUpg = 0x01;
inline constexpr std::uint8_t kMcuSubUpgStart = 0x02;
inline constexpr std::uint8_t kMcuSubUpgData = 0x03;
inline constexpr std::uint8_t kMcuSubUpgFinish = 0x04;
inline constexpr std::uint8_t kMcuSubEnterBLUpg = 0xA0;
inline constexpr std::uint8_t kMcuSubBLUpgStart = 0xA1;
inline constexpr std::uint8_t kMcuSubBLUpgData = 0xA2;
inline constexpr std::uint8_t kMcuSubBLUpgFinish = 0xA3;
inline constexpr std::uint8_t kMcuSubReboot = 0x8F;
// Subcommands of the FLASH class (2) used by a DSP flash upgrade.
inline constexpr std::uint8_t kFlashSubUpgStart = 0x03;
inline constexpr std::uint8_t kFlashSubUpgData = 0x04;
inline constexpr std::uint8_t kFlashSubUpgFinish = 0x05;

inline constexpr std::size_t kMcuBlockSize = 32;
inline constexpr std::size_t kMcuBlockPayloadSize = 4 + kMcuBlockSize;
inline constexpr std::size_t kDspBlockSize = 50;

// Progress values of UpgradeStep besides 0..100.
inline constexpr std::uint8_t kUpgradeStepDone = 101;
inline constexpr std::uint8_t kUpgradeStepFailed = 255;

// One block of an image: `size` bytes at `offset`, pointing into the image.
struct UpgradeBlock {
    std::uint32_t offset = 0;
    std::size_t size = 0;
    const std::uint8_t* data = nullptr;
};

// MCU application and bootloader images go from the end towards the start:
// a short first block takes the odd remainder, every other block is full.
// Takes the next block and lowers the remaining count; false when none is left.
bool TakeNextMcuBlock(UpgradeImages& images, UpgradeBlock* block);

// DSP flash images go from the start in blocks of up to 50 bytes. Takes the
// next block and raises the sent count; false when none is left.
bool TakeNextDspBlock(UpgradeImages& images, UpgradeBlock* block);

// 36 bytes, zero-filled: big-endian offset, then the block bytes.
std::array<std::uint8_t, kMcuBlockPayloadSize> McuBlockPayload(const UpgradeBlock& block);

// 5 + n bytes: big-endian offset, n, then the block bytes.
std::vector<std::uint8_t> DspBlockPayload(const UpgradeBlock& block);

// Percent of the image handed over so far (0..100) for the parsed kind.
std::uint8_t UpgradeProgress(const UpgradeImages& images);

}  // namespace kavelo
