#include "app/AppOptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "base/BuildConstants.h"
#include "base/ProgramInfo.h"
#include "app/MainWnd.h"

namespace kavelo {

namespace {

constexpr char kProgram[] = "kavelo-dsp";

std::string Usage() {
    return std::string("Usage: ") + kProgram +
           " [OPTION]...\n"
           "Tune the " +
           MODEL_NAME +
           " car-audio amplifier on USB: crossovers, EQ, delays, levels,\n"
           "speaker roles, routing, scenes, calibration and firmware updates.\n\n"
           "  --demo             use a built-in virtual amplifier instead of USB; its\n"
           "                     stored scenes are kept in the user's data folder\n"
           "  --firmware X.Y     the virtual amplifier runs firmware X.Y (for example\n"
           "                     1.17, older than this software expects: the forced\n"
           "                     update starts)\n"
           "  --screenshot FILE  save a PNG of the main window once connected, then quit\n"
           "  -h, --help         display this help and exit\n"
           "      --version      output version information and exit\n\n"
           "Without --demo the amplifier (USB 0483:5750) is used; the udev rule installed\n"
           "with the program gives the logged-in user access to it.\n";
}

// A usage error as GNU programs report it: the reason, then where help is.
std::string UsageError(const std::string& reason) {
    return std::string(kProgram) + ": " + reason + "\nTry '" + kProgram +
           " --help' for more information.\n";
}

// "1.17" → 1 and 17; each part a whole number the handshake can carry (0..255).
bool ParseFirmwareVersion(const char* text, int* major, int* minor) {
    const QStringList parts = QString::fromLocal8Bit(text).split(QLatin1Char('.'));
    if (parts.size() != 2) return false;
    bool okMajor = false;
    bool okMinor = false;
    *major = parts[0].toInt(&okMajor);
    *minor = parts[1].toInt(&okMinor);
    return okMajor && okMinor && *major >= 0 && *major <= 255 && *minor >= 0 && *minor <= 255;
}

}  // namespace

AppOptions ParseAppOptions(int argc, char* argv[]) {
    AppOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.exitCode = 0;
            options.output = Usage();
            return options;
        }
        if (std::strcmp(arg, "--version") == 0) {
            options.exitCode = 0;
            options.output = VersionText(kProgram);
            return options;
        }
        if (std::strcmp(arg, "--demo") == 0) {
            options.demo = true;
        } else if (std::strcmp(arg, "--firmware") == 0) {
            if (i + 1 >= argc || !ParseFirmwareVersion(argv[i + 1], &options.demoFirmwareMajor,
                                                       &options.demoFirmwareMinor)) {
                options.exitCode = 2;
                options.output = UsageError("--firmware needs a version such as 1.17");
                return options;
            }
            ++i;
        } else if (std::strcmp(arg, "--screenshot") == 0) {
            if (i + 1 >= argc) {
                options.exitCode = 2;
                options.output = UsageError("--screenshot needs a file name");
                return options;
            }
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strncmp(arg, "-platform", 9) == 0 && i + 1 < argc) {
            ++i;  // Qt's own option
        } else {
            options.exitCode = 2;
            options.output = UsageError(std::string("unrecognized option '") + arg + "'");
            return options;
        }
    }
    if (options.demoFirmwareMajor >= 0 && !options.demo) {
        options.exitCode = 2;
        options.output = UsageError("--firmware is for the virtual amplifier: add --demo");
    }
    return options;
}

void ScreenshotWhenConnected(CMainWnd& window, const QString& path) {
    auto* poll = new QTimer(&window);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, clock, path] {
        const bool ready = window.Controller().IsConnected() && !window.LoadingWindowOpen();
        if (!ready && clock->elapsed() < 30000) return;
        poll->stop();
        if (!ready) std::fprintf(stderr, "screenshot: no connection within 30 s\n");
        // The picture shows the design size (1230 x 650), whatever the screen.
        window.ApplyDpi(96);
        QApplication::processEvents();
        const bool saved = window.grab().save(path);
        std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "cannot write",
                     path.toLocal8Bit().constData());
        window.Close(ready && saved ? 0 : 1);
    });
    poll->start(50);
}

}  // namespace kavelo
