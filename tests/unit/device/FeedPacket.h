#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "device/DeviceLink.h"

namespace kavelo::test {

// Feeds one framed packet straight into the link's parser, as a read would.
inline void FeedPacket(DeviceLink& link, std::uint8_t cmd, std::uint8_t subcmd, std::uint8_t optype,
                       const std::vector<std::uint8_t>& payload) {
    std::uint8_t bytes[64];
    const std::size_t n =
        FramePacket(cmd, subcmd, optype, payload.data(), payload.size(), bytes, sizeof bytes);
    ASSERT_NE(n, 0u);
    for (std::size_t i = 0; i < n; ++i) link.packet_process(bytes[i]);
}

}  // namespace kavelo::test
