#include "ui/WindowPlacement.h"

namespace kavelo {

namespace {
int CenterAxis(int refLow, int refHigh, int size, int areaLow, int areaHigh) {
    int low = (refLow + refHigh) / 2 - size / 2;
    if (low < areaLow) return areaLow;
    if (low + size > areaHigh) return areaHigh - size;
    return low;
}
}  // namespace

Placement CenterWindow(int width, int height, const std::optional<ScreenRect>& owner,
                       const ScreenRect& workArea) {
    const ScreenRect& ref = owner ? *owner : workArea;
    return {CenterAxis(ref.left, ref.right, width, workArea.left, workArea.right),
            CenterAxis(ref.top, ref.bottom, height, workArea.top, workArea.bottom)};
}

}  // namespace kavelo
