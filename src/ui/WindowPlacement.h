#pragma once

#include <optional>

#include "base/DisplayScale.h"

namespace kavelo {

// Top-left corner for a window of `width` x `height`: centred on the owner's
// rectangle (or on the work area when there is no owner) and pushed back inside the
// work area, left/top edge first.
struct Placement {
    int left = 0;
    int top = 0;
};
Placement CenterWindow(int width, int height, const std::optional<ScreenRect>& owner,
                       const ScreenRect& workArea);

}  // namespace kavelo
