#pragma once

// Identity of the supported amplifier and of this software build.
namespace kavelo {

inline constexpr char MODEL_NAME[] = "TRQ5.40AMP";
inline constexpr int MODEL_ID = 87;
inline constexpr char VERSION[] = "v6.7.55";

struct FirmwareVersion {
    int major;
    int minor;
};

// The amplifier firmware this software is built for; older firmware is upgraded.
inline constexpr FirmwareVersion INNER_FW{1, 18};

}  // namespace kavelo
