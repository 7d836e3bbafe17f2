#pragma once

#include <cstdint>

// Decoded reply records posted by the device link. Plain values, zero-initialised.
namespace kavelo {

// Handshake reply: reserved (0), model, master and slave firmware version.
struct McuHandshakeRecord {
    std::int32_t reserved = 0;
    std::int32_t model = 0;
    std::int32_t masterVersion = 0;
    std::int32_t slaveVersion = 0;
};

// DSP flash version report: four reserved words, then the four version parts.
struct McuFlashVersionRecord {
    std::int32_t reserved[4] = {0, 0, 0, 0};
    std::int32_t version[4] = {0, 0, 0, 0};
};

}  // namespace kavelo
