#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/AppOptions.h"
#include "app/DisplayCheck.h"
#include "base/BuildConstants.h"
#include "base/Log.h"
#include "app/MainWnd.h"
#include "app/VirtualAmplifierEvents.h"
#include "device/HidPort.h"
#include "sim/DemoAmplifier.h"
#include "ui/LanguageService.h"
#include "ui/Skin.h"

int main(int argc, char* argv[]) {
    const kavelo::AppOptions options = kavelo::ParseAppOptions(argc, argv);
    if (options.exitCode >= 0) {
        std::fputs(options.output.c_str(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }
    const std::string noDisplay = kavelo::NoDisplayReason(std::getenv, argc, argv);
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "kavelo-dsp: %s\n", noDisplay.c_str());
        return 1;
    }
    kavelo::StartLogIfMarked();
    std::unique_ptr<kavelo::FatalStartGuard> startGuard = std::make_unique<kavelo::FatalStartGuard>();
    QApplication app(argc, argv);
    startGuard.reset();
    QApplication::setApplicationName(QStringLiteral("kavelo4to8"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kavelo.KaveloDsp"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.kavelo.KaveloDsp")));
    kavelo::ApplySkinStyle(app);

    int result = 0;
    {
        kavelo::HidapiPort hidapi;
        // The demo amplifier keeps its scenes in the user's data folder.
        std::unique_ptr<kavelo::DemoAmplifier> demo;
        kavelo::CMainWnd::Options windowOptions;
        if (options.demo) {
            demo = std::make_unique<kavelo::DemoAmplifier>();
            if (!demo->LoadError().empty() && std::filesystem::exists(demo->StatePath()))
                std::fprintf(stderr, "demo amplifier: %s (%s); starting from factory settings\n",
                             demo->LoadError().c_str(), demo->StatePath().c_str());
            if (options.demoFirmwareMajor >= 0)
                demo->Amplifier().SetVersions(options.demoFirmwareMajor, options.demoFirmwareMinor);
            // Its restarts (upgrades, factory reset) are the plug events here,
            // not those of real USB devices.
            windowOptions.monitor = std::make_unique<kavelo::DeviceMonitor>();
        }
        kavelo::DeviceMonitor* demoMonitor = windowOptions.monitor.get();
        kavelo::CMainWnd window(demo ? static_cast<kavelo::HidPort&>(demo->Amplifier())
                                     : static_cast<kavelo::HidPort&>(hidapi),
                                std::move(windowOptions));
        if (demo) kavelo::ReportVirtualAmplifierEvents(demo->Amplifier(), demoMonitor);
        // The skin draws its own title bar; the native frame would show a second one.
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
        QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
        window.Create(QStringLiteral("Kavelo DSP Audio"));
        window.CenterWindow();
        window.show();
        if (!options.screenshot.isEmpty())
            kavelo::ScreenshotWhenConnected(window, options.screenshot);
        result = app.exec();
        if (demo) kavelo::DetachVirtualAmplifierEvents(demo->Amplifier());
    }
    kavelo::LanguageService::Instance().Clear();
    return result;
}
