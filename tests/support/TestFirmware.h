#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "UpgradeFiles.h"
#include "base/BuildConstants.h"

// The synthetic firmware of test builds: an MCU container that makes the
// virtual amplifier report the version this software expects, and a DSP flash
// container with a version of its own. The virtual amplifier reads the MCU
// version from image bytes 8 and 9 and the flash version from bytes 8..11.
namespace kavelo::test {

inline constexpr std::array<std::uint8_t, 4> kTestFlashVersion{3, 1, 4, 1};

inline std::vector<std::uint8_t> TestMcuContainer(std::uint8_t major = INNER_FW.major,
                                                  std::uint8_t minor = INNER_FW.minor,
                                                  std::size_t length = 70) {
    ContainerParts parts;
    parts.kind = 1;
    parts.start = {0x4D, 0x43, 0x55, 0x01};
    parts.data = PatternBytes(length, 11);
    parts.data[8] = major;
    parts.data[9] = minor;
    return MakeContainer(parts);
}

inline std::vector<std::uint8_t> TestFlashContainer(std::size_t length = 120) {
    ContainerParts parts;
    parts.kind = 2;
    parts.start = {0x44, 0x53, 0x50, 0x02};
    parts.data = PatternBytes(length, 12);
    for (std::size_t i = 0; i < kTestFlashVersion.size(); ++i)
        parts.data[8 + i] = kTestFlashVersion[i];
    return MakeContainer(parts);
}

}  // namespace kavelo::test
