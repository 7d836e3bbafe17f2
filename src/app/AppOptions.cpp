#include "app/AppOptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "base/BuildConstants.h"
#include "app/MainWnd.h"

namespace kavelo {

namespace {

std::string Usage(const char* program) {
    std::string text = "Usage: ";
    text += program;
    text +=
        " [--demo] [--firmware X.Y] [--screenshot FILE]\n"
        "Tuning application for the " +
        std::string(MODEL_NAME) +
        " amplifier.\n\n"
        "  --demo             use a built-in virtual amplifier instead of USB; its\n"
        "                     stored scenes are kept in the user's data folder\n"
        "  --firmware X.Y     the virtual amplifier runs firmware X.Y (for example\n"
        "                     1.17, older than this software expects: the forced\n"
        "                     update starts)\n"
        "  --screenshot FILE  save a PNG of the main window once connected, then quit\n"
        "  --help             show this help and exit\n"
        "  --version          show the version and exit\n";
    return text;
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
    const char* program = argc > 0 && argv[0] ? argv[0] : "kavelo-dsp";
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.exitCode = 0;
            options.output = Usage(program);
            return options;
        }
        if (std::strcmp(arg, "--version") == 0) {
            options.exitCode = 0;
            options.output = std::string("kavelo-dsp ") + VERSION + " for " + MODEL_NAME +
                             " (firmware " + std::to_string(INNER_FW.major) + "." +
                             std::to_string(INNER_FW.minor) + ")\n";
            return options;
        }
        if (std::strcmp(arg, "--demo") == 0) {
            options.demo = true;
        } else if (std::strcmp(arg, "--firmware") == 0) {
            if (i + 1 >= argc || !ParseFirmwareVersion(argv[i + 1], &options.demoFirmwareMajor,
                                                       &options.demoFirmwareMinor)) {
                options.exitCode = 2;
                options.output =
                    std::string("--firmware needs a version such as 1.17\n") + Usage(program);
                return options;
            }
            ++i;
        } else if (std::strcmp(arg, "--screenshot") == 0 && i + 1 < argc) {
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strncmp(arg, "-platform", 9) == 0 && i + 1 < argc) {
            ++i;  // Qt's own option
        } else {
            options.exitCode = 2;
            options.output = std::string("unknown option: ") + arg + "\n" + Usage(program);
            return options;
        }
    }
    if (options.demoFirmwareMajor >= 0 && !options.demo) {
        options.exitCode = 2;
        options.output = "--firmware is for the virtual amplifier: add --demo\n" + Usage(program);
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
