#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>

#include "app/Log.h"
#include "app/MainWnd.h"
#include "ui/LanguageService.h"
#include "ui/ScreenDpi.h"
#include "ui/Skin.h"

int main(int argc, char* argv[]) {
    kavelo::StartLogIfMarked();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavelo4to8"));
    kavelo::ApplySkinStyle(app);

    int result = 0;
    {
        kavelo::CMainWnd window;
        // The skin draws its own title bar; the native frame would show a second one.
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
        window.Create(QStringLiteral("Kavelo DSP Audio"));
        window.CenterWindow();
        window.show();
        result = app.exec();
    }
    kavelo::LanguageService::Instance().Clear();
    return result;
}
