#pragma once

#include <string>

// What both programs print for --version, in the GNU form: the program, the
// package and its version on the first line.
namespace kavelo {

inline constexpr char PACKAGE_NAME[] = "Kavelo DSP";

// "kavelo-cli (Kavelo DSP) 6.7.55" followed by the amplifier and firmware it serves.
std::string VersionText(const char* program);

}  // namespace kavelo
