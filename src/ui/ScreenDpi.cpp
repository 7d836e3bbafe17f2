#include "ui/ScreenDpi.h"

#include <QGuiApplication>
#include <QScreen>

#include "base/DisplayScale.h"

namespace kavelo {

int StartupDpiFromScreens() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return 96;
    const QRect p = primary->geometry();
    const QRect v = primary->virtualGeometry();
    const ScreenRect primaryRect{0, 0, p.width(), p.height()};
    const ScreenRect virtualRect{v.left(), v.top(), v.left() + v.width(), v.top() + v.height()};
    std::vector<ScreenRect> monitors;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        monitors.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    return ChooseStartupDpi(primaryRect, virtualRect, monitors);
}

}  // namespace kavelo
