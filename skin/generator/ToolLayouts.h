#pragma once

#include <string>

namespace kavelo::layoutgen {

// The input mixer window's layout ("XML_MIXER") and the DSP memory window's
// ("XML_MEM_WR"); pure functions of the code, like the main layouts.
std::string MixerLayout();
std::string MemoryLayout();

// The mixer layout's design size: the window loses a row's height (83 unscaled pixels,
// a cell and the gap below it) for every input row its source does not have.
constexpr int kMixerLayoutWidth = 940;
constexpr int kMixerLayoutHeight = 600;
constexpr int kMixerCellHeight = 75;
constexpr int kMixerGapHeight = 8;

}  // namespace kavelo::layoutgen
