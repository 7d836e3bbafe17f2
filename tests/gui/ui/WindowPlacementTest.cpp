#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "ui/WindowImplBase.h"
#include "ui/WindowPlacement.h"

namespace kavelo {
namespace {

struct PlaceCase {
    const char* name;
    std::optional<ScreenRect> owner;
    int width, height;
    int left, top;
};
void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

class CenterWindowRule : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(CenterWindowRule, Places) {
    const ScreenRect work{0, 0, 1920, 1040};
    const PlaceCase& c = GetParam();
    const Placement at = CenterWindow(c.width, c.height, c.owner, work);
    EXPECT_EQ(at.left, c.left);
    EXPECT_EQ(at.top, c.top);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CenterWindowRule,
    ::testing::Values(
        PlaceCase{"no_owner_centres_on_work_area", std::nullopt, 1230, 650, 345, 195},
        PlaceCase{"owner_centre", ScreenRect{100, 100, 1330, 750}, 400, 200, 515, 325},
        PlaceCase{"clamped_left_top", ScreenRect{-300, -200, 100, 100}, 400, 300, 0, 0},
        PlaceCase{"clamped_right_bottom", ScreenRect{1800, 900, 2000, 1100}, 400, 300, 1520, 740},
        PlaceCase{"larger_than_area_keeps_left_edge", std::nullopt, 2000, 1100, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A window whose layout would like more room than it was given, as the main
// window's does.
class RoomyWindow : public WindowImplBase {
public:
    QString GetSkinFile() const override { return QStringLiteral("XML_ROOMY"); }
    QString GetWindowClassName() const override { return QStringLiteral("RoomyWnd"); }
    QSize sizeHint() const override { return {700, 500}; }
};

// Centring before the first show places the size the window is shown with:
// the size it was given, else the one Qt makes of its hint.
TEST(CenterWindowOnScreen, PlacesTheSizeTheWindowIsShownWith) {
    struct Row {
        const char* name;
        QSize given;  // invalid: never resized
    };
    for (const Row& r : {Row{"given", QSize(300, 200)}, Row{"from_hint", QSize()}}) {
        SCOPED_TRACE(r.name);
        RoomyWindow window;
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        if (r.given.isValid()) window.resize(r.given);
        window.CenterWindow();
        const QPoint placed = window.pos();
        window.show();
        const QRect work = window.screen()->availableGeometry();
        const Placement expected = CenterWindow(window.width(), window.height(), std::nullopt,
                                                ScreenRect{work.left(), work.top(),
                                                           work.right() + 1, work.bottom() + 1});
        if (r.given.isValid()) {
            EXPECT_EQ(window.size(), r.given);
        }
        EXPECT_EQ(placed, QPoint(expected.left, expected.top));
    }
}

}  // namespace
}  // namespace kavelo
