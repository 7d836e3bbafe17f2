#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/UpgradeState.h"

// Upgrade files and the images parsed from them. Pure file handling: nothing
// here talks to the amplifier. The state lives in `UpgradeImages`, which the
// device link owns; the parsers are free functions over it.
namespace kavelo {

// Result codes shared by the parsers and UpgradeStart.
enum UpgradeResult : int {
    UPG_FILE_VALID = 0,
    UPG_FILE_OPEN_FAIL = 1,
    UPG_FILE_INVALID = 2,
    UPG_CONNECT_FAIL = 3,
    UPG_REFUSED = 4,
};

// Kind of the parsed image (upg_device).
enum UpgradeDevice : std::uint8_t {
    UPG_DEVICE_NONE = 0,
    UPG_DEVICE_DSP_FLASH = 1,
    UPG_DEVICE_MCU = 2,
    UPG_DEVICE_BOOTLOADER = 3,
};

// Which parser a file name selects.
enum class UpgradeFileKind { Unknown, Bootloader, DspFlash, Mcu, Combined };

// Container layout: kind, model, 4-byte start parameter, data, 4-byte
// trailer, 4-byte big-endian checksum.
inline constexpr std::size_t kContainerOverhead = 14;
inline constexpr std::size_t kContainerHeaderSize = 6;
inline constexpr std::size_t kMaxContainerFileSize = 0x100000;
inline constexpr std::size_t kMaxCombinedFileSize = 0x200000;
inline constexpr std::uint8_t kImageKindMcu = 1;
inline constexpr std::uint8_t kImageKindDsp = 2;
inline constexpr std::uint8_t kCombinedHeadMark = 0x73;

// Everything a parse leaves behind for the transfer.
struct UpgradeImages {
    std::uint8_t upg_device = UPG_DEVICE_NONE;
    // The state the link enters when the parse succeeded: MCU and bootloader
    // images still need the amplifier to confirm upgrade mode, a DSP flash
    // image is ready to start, a combined file leaves the state as it was.
    std::int32_t statusAfterParse = UPG_IDLE;

    std::vector<std::uint8_t> mcuImage;  // MCU application or bootloader data
    std::size_t mcuRemaining = 0;        // sent from the end towards the start
    std::vector<std::uint8_t> dspImage;  // DSP flash data
    std::size_t dspSent = 0;             // sent from the start

    std::array<std::uint8_t, 4> mcuStartParam{};
    std::array<std::uint8_t, 4> dspStartParam{};
    std::uint8_t imageKind = 0;   // header byte 0 of the last container read
    std::uint8_t imageModel = 0;  // header byte 1 of the last container read

    bool HasMcuImage() const { return !mcuImage.empty(); }
    bool HasDspImage() const { return !dspImage.empty(); }
    // Releases the buffers (memory included) and resets their counters.
    void FreeMcuImage();
    void FreeDspImage();
    void FreeAll();
};

// What a parser needs to know of the link.
struct UpgradeParseContext {
    std::uint8_t modelId = 87;  // the link's model id
    bool deviceOpen = false;
    // Empties the link's receive ring; may be left empty.
    std::function<void()> emptyReceiveRing;
};

// Selects the parser by the file name (the part after the last path
// separator), ignoring case.
UpgradeFileKind RecogniseUpgradeFile(const std::string& path);

// Sum modulo 2^32 of the bytes, each taken as unsigned.
std::uint32_t UpgradeChecksum(const std::uint8_t* data, std::size_t size);

// Each parser returns an UpgradeResult. On success the image is kept in
// `images` (replacing any earlier one of the same kind); on any failure no
// image buffer is left allocated and upg_device/statusAfterParse are reset.
int CopyFileToBuffer(UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path);
int MCUUpgParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                      const std::string& path);
int MCUUpgBLParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                        const std::string& path);
int FlashUpgParsingFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                        const std::string& path);
int ParsingUpgFWFile(UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path);

// Runs the parser of `kind` after its "before ..." log line; an unknown kind
// is UPG_FILE_INVALID without a parser.
int ParseUpgradeFile(UpgradeFileKind kind, UpgradeImages& images, const UpgradeParseContext& ctx,
                     const std::string& path);

}  // namespace kavelo
