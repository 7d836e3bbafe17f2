#include "base/DisplayScale.h"

#include <gtest/gtest.h>

namespace kavelo {
namespace {

struct DpiCase {
    const char* name;
    ScreenRect primary;
    std::vector<ScreenRect> monitors;
    int dpi;
};

void PrintTo(const DpiCase& c, std::ostream* os) { *os << c.name; }

class ChooseStartupDpiTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(ChooseStartupDpiTest, PicksDpiForScreens) {
    const DpiCase& c = GetParam();
    EXPECT_EQ(ChooseStartupDpi(c.primary, c.primary, c.monitors), c.dpi);
}

const DpiCase kDpiCases[] = {
    {"FullHd", {0, 0, 1920, 1080}, {}, 144},
    {"Reference", {0, 0, 1280, 720}, {}, 96},
    {"Xga", {0, 0, 1024, 768}, {}, 77},
    {"Uhd", {0, 0, 3840, 2160}, {}, 96},  // r = 3.0 stays at 100 %
    {"Qhd", {0, 0, 2560, 1440}, {}, 192},
    {"Wxga", {0, 0, 1600, 900}, {}, 120},
    {"TallNarrow", {0, 0, 1280, 1024}, {}, 96},  // width limits r
    // The wider second monitor is taken; the primary at 0,0 is never listed twice.
    {"WiderSecond", {0, 0, 1280, 720}, {{0, 0, 1280, 720}, {1280, 0, 3200, 1080}}, 144},
    // Equally wide screens: the first (the primary) wins.
    {"EqualWidthKeepsPrimary", {0, 0, 1920, 1080}, {{1920, 0, 3840, 720}}, 144},
    // Among several, the widest in left/top order wins; a narrower later one is ignored.
    {"WidestOfSeveral",
     {0, 0, 1024, 768},
     {{-2560, 0, 0, 1440}, {1024, 0, 2304, 720}, {2304, 0, 3328, 768}},
     192},
    // A monitor at the origin is not a candidate even when wider than the primary.
    {"OriginMonitorIgnored", {0, 0, 1024, 768}, {{0, 0, 2560, 1440}}, 77},
};

INSTANTIATE_TEST_SUITE_P(Screens, ChooseStartupDpiTest, ::testing::ValuesIn(kDpiCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DpiToScalePercent, MapsKnownDpis) {
    const std::pair<int, int> table[] = {{77, 80}, {96, 100}, {120, 125}, {144, 150}, {192, 200}};
    for (auto [dpi, percent] : table) EXPECT_EQ(DpiToScalePercent(dpi), percent) << dpi;
}

}  // namespace
}  // namespace kavelo
