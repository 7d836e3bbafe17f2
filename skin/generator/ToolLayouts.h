#pragma once

#include <string>

namespace kavelo::layoutgen {

// The tool windows' layouts; pure functions of the code, like the main layouts.
// The input mixer's ("XML_MIXER") and the DSP memory window's ("XML_MEM_WR").
std::string MixerLayout();
std::string MemoryLayout();
// The automatic calibration window's layout ("XML_AUTO_CAL").
std::string AutoCalLayout();

// The mixer layout's design size: the window loses a row's height (83 unscaled pixels,
// a cell and the gap below it) for every input row its source does not have.
constexpr int kMixerLayoutWidth = 940;
constexpr int kMixerLayoutHeight = 600;
constexpr int kMixerCellHeight = 75;
constexpr int kMixerGapHeight = 8;

constexpr int kAutoCalLayoutWidth = 1120;
constexpr int kAutoCalLayoutHeight = 680;

}  // namespace kavelo::layoutgen
