#pragma once

#include <vector>

namespace kavelo {

// A screen or monitor rectangle in desktop pixels (right and bottom exclusive).
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Picks the DPI applied to new windows from the primary screen and the attached
// monitors: the widest screen wins (the primary on a tie), scaled against a
// 1280 x 720 reference. The virtual desktop is only logged.
int ChooseStartupDpi(const ScreenRect& primary, const ScreenRect& virtualScreen,
                     const std::vector<ScreenRect>& monitors);

// DPI to layout scale in percent (96 -> 100, 144 -> 150, 77 -> 80).
int DpiToScalePercent(int dpi);

}  // namespace kavelo
