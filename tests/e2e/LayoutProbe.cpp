// Prints where every named control of the main window sits once the window is
// connected to a demo amplifier, then quits:
//   window W H
//   <objectName> X Y W H        (relative to the window, visible controls only)
// The skin lays controls out with Qt layouts, so their positions exist only
// after Qt has laid the window out on the display in use. The end-to-end driver
// runs this on the display it tests on, in a home of its own, and adds the
// application window's position.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/MainWnd.h"
#include "sim/DemoAmplifier.h"
#include "ui/Skin.h"

using namespace kavelo;

namespace {

void PrintLayout(CMainWnd& window) {
    std::printf("window %d %d\n", window.width(), window.height());
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || !widget->isVisibleTo(&window)) continue;
        const QPoint origin = widget->mapTo(&window, QPoint(0, 0));
        std::printf("%s %d %d %d %d\n", widget->objectName().toUtf8().constData(), origin.x(),
                    origin.y(), widget->width(), widget->height());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavelo4to8"));
    ApplySkinStyle(app);
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "layout probe: no temporary folder\n");
        return 1;
    }
    int result = 1;
    {
        DemoAmplifier demo(folder.filePath(QStringLiteral("demo-amplifier.json")).toStdString());
        CMainWnd window(demo.Amplifier(), CMainWnd::DetachedOptions(folder.path()));
        // As the application shows it: frameless, its own title bar.
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
        QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
        window.Create(QStringLiteral("Kavelo DSP Audio (layout probe)"));
        window.CenterWindow();
        window.show();

        QTimer poll;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            const bool ready = window.Controller().IsConnected() && !window.LoadingWindowOpen();
            if (!ready && clock.elapsed() < 30000) return;
            poll.stop();
            if (ready) {
                PrintLayout(window);
                result = 0;
            } else {
                std::fprintf(stderr, "layout probe: no connection within 30 s\n");
            }
            window.Close(result);
        });
        poll.start(20);
        app.exec();
    }
    return result;
}
