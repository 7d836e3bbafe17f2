#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/AppOptions.h"
#include "app/BuildConstants.h"
#include "app/Log.h"
#include "app/MainWnd.h"
#include "device/HidPort.h"
#include "sim/VirtualAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/Skin.h"

namespace {

// The demo amplifier answers like a real one, with USB-like report timing.
std::unique_ptr<kavelo::HidPort> MakeDemoAmplifier() {
    auto amp = std::make_unique<kavelo::VirtualAmplifier>();
    amp->SetReportLatency(std::chrono::milliseconds(1));
    return amp;
}

}  // namespace

int main(int argc, char* argv[]) {
    const kavelo::AppOptions options = kavelo::ParseAppOptions(argc, argv);
    if (options.exitCode >= 0) {
        std::fputs(options.output.c_str(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }
    kavelo::StartLogIfMarked();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavelo4to8"));
    kavelo::ApplySkinStyle(app);

    int result = 0;
    {
        kavelo::HidapiPort hidapi;
        std::unique_ptr<kavelo::HidPort> demo;
        if (options.demo) demo = MakeDemoAmplifier();
        kavelo::CMainWnd window(demo ? *demo : static_cast<kavelo::HidPort&>(hidapi));
        window.setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
        window.Create(QStringLiteral("Kavelo DSP Audio"));
        window.CenterWindow();
        window.show();
        if (!options.screenshot.isEmpty())
            kavelo::ScreenshotWhenConnected(window, options.screenshot);
        result = app.exec();
    }
    kavelo::LanguageService::Instance().Clear();
    return result;
}
