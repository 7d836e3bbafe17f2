// Renders one window of the skin to a PNG for reviewing the look:
//   kavelo-screenshot <main|msg|checkbox|name|loading|about|update|force> <out.png>
//                     [en|cn_zh|ru] [dpi]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/MainWnd.h"
#include "app/PromptWindows.h"
#include "device/DeviceLink.h"
#include "device/HidPort.h"
#include "ui/LanguageService.h"
#include "ui/Skin.h"
#include "windows/ForceUpdateWnd.h"
#include "windows/UpdateFwWnd.h"

using namespace kavelo;

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s <main|msg|checkbox|name|loading|about|update|force> <out.png> "
                     "[lang] [dpi]\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    ApplySkinStyle(app);
    const QString which = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString language = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("en");
    const int dpi = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 96;

    RegisterLanguages();
    LanguageService::Instance().SetLanguage(language);
    QString name = QStringLiteral("Stage");
    std::unique_ptr<WindowImplBase> window;
    if (which == QLatin1String("main")) {
        // No amplifier, no plug events and a private lock: just the window.
        static HidapiPort noAmplifier;
        auto* w = new CMainWnd(
            noAmplifier,
            CMainWnd::DetachedOptions(QDir::tempPath() + QStringLiteral("/kavelo-screenshot")));
        w->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
        window.reset(w);
        w->Create(QStringLiteral("Kavelo DSP Audio"));
    } else if (which == QLatin1String("msg")) {
        auto* w = new CMsgWnd;
        window.reset(w);
        if (w->Create(QStringLiteral("msgwnd"))) {
            w->SetMsg(QStringLiteral("${empty_output_tips}"));
            const QString labels[3] = {"${default}", "${cancel}", "${emptied}"};
            w->SetButtons(labels, 3);
        }
    } else if (which == QLatin1String("checkbox")) {
        auto* w = new CMsgCheckBoxWnd;
        window.reset(w);
        if (w->Create(QStringLiteral("msgcbwnd"))) w->SetMsg(QStringLiteral("${link_tips}"));
    } else if (which == QLatin1String("name")) {
        auto* w = new CNameMsgWnd(nullptr, &name);
        window.reset(w);
        if (w->Create(QStringLiteral("namemsgwnd")))
            w->SetTitle(QStringLiteral("${save_as_scene}"));
    } else if (which == QLatin1String("loading")) {
        window.reset(new CLoadingWnd);
        window->Create(QStringLiteral("loadingwnd"));
    } else if (which == QLatin1String("about")) {
        window.reset(new CAboutWnd(nullptr, AboutDeviceInfo{87, 1, 20}));
        window->Create(QStringLiteral("msgwnd"));
    } else if (which == QLatin1String("update") || which == QLatin1String("force")) {
        // The update windows as they open, on a link to no amplifier.
        static HidapiPort noAmplifier;
        static DeviceLink link(noAmplifier);
        if (which == QLatin1String("update")) {
            window.reset(new CUpdateFwWnd(nullptr, link));
        } else {
            const QString folder = QDir::tempPath();
            window.reset(new CForceUpdateWnd(nullptr, link, folder + QStringLiteral("/MCU_UPG.bin"),
                                             folder + QStringLiteral("/FLASH_UPG.bin"), {}));
        }
        window->Create(QStringLiteral("updatefwwnd"));
    } else {
        std::fprintf(stderr, "unknown window %s\n", argv[1]);
        return 2;
    }
    // The main window selects the configured language while it initialises.
    LanguageService::Instance().SetLanguage(language);
    window->ApplyDpi(dpi);
    window->show();
    QApplication::processEvents();
    if (!window->grab().save(out)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
