#include "base/DisplayScale.h"

#include <algorithm>

#include "base/Log.h"

namespace kavelo {

int ChooseStartupDpi(const ScreenRect& primary, const ScreenRect& virtualScreen,
                     const std::vector<ScreenRect>& monitors) {
    LogPrintA("m_MainScreen (%d,%d,%d,%d)\n", primary.left, primary.top, primary.right,
              primary.bottom);
    LogPrintA("m_VirtualScreen (%d,%d,%d,%d)\n", virtualScreen.left, virtualScreen.top,
              virtualScreen.right, virtualScreen.bottom);

    // Only monitors away from the origin are candidates; the primary stands for
    // the one at 0,0.
    std::vector<ScreenRect> others;
    for (const ScreenRect& m : monitors) {
        if (m.left != 0 || m.top != 0) others.push_back(m);
    }
    std::stable_sort(others.begin(), others.end(), [](const ScreenRect& a, const ScreenRect& b) {
        return a.left != b.left ? a.left < b.left : a.top < b.top;
    });

    ScreenRect chosen = primary;
    for (const ScreenRect& m : others) {
        if (m.Width() > chosen.Width()) chosen = m;
    }
    LogPrintA("screen size %d x %d\n", chosen.right, chosen.bottom);

    const float r = std::min(static_cast<float>(chosen.Width()) / 1280.0f,
                             static_cast<float>(chosen.Height()) / 720.0f);
    if (r < 1.0f) return 77;
    if (r < 1.25f) return 96;
    if (r < 1.5f) return 120;
    if (r < 2.0f) return 144;
    if (r < 3.0f) return 192;
    return 96;  // three times the reference and more stays at 100 %
}

int DpiToScalePercent(int dpi) { return (dpi * 100 + 48) / 96; }

}  // namespace kavelo
