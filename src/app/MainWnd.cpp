#include "app/MainWnd.h"

#include <QEvent>

#include "app/ConfigFile.h"
#include "app/Log.h"
#include "ui/LanguageService.h"
#include "ui/ScreenDpi.h"

namespace kavelo {

void RegisterLanguages() {
    LanguageService& service = LanguageService::Instance();
    service.Clear();
    const QString root = SkinRoot() + QStringLiteral("/lan/");
    service.AddLanguage(root + QStringLiteral("lan_en.xml"), QStringLiteral("en"));
    service.AddLanguage(root + QStringLiteral("lan_cn.xml"), QStringLiteral("cn_zh"));
    service.AddLanguage(root + QStringLiteral("lan_ru.xml"), QStringLiteral("ru"));
}

void SelectConfiguredLanguage(int lan) {
    static const char* const kNames[] = {"en", "cn_zh", "ru"};
    if (lan >= 0 && lan < 3) LanguageService::Instance().SetLanguage(QLatin1String(kNames[lan]));
}

void CMainWnd::InitWindow() {
    BuildSubLayout(QStringLiteral("channel_settings"),
                   QStringLiteral("xml/channel_settings_6in_mixer.xml"));
    ApplyDpi(StartupDpiFromScreens());
    RegisterLanguages();
    SelectConfiguredLanguage(ConfigFile().GetInt(QStringLiteral("lan")));
}

void CMainWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", msg.sType.toUtf8().constData());
    WindowImplBase::Notify(msg);
}

void CMainWnd::changeEvent(QEvent* event) {
    WindowImplBase::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // The title bar offers "maximise" or "restore", whichever applies now.
    const bool maximized = isMaximized();
    if (QWidget* max = FindControl(QStringLiteral("maxbtn"))) max->setVisible(!maximized);
    if (QWidget* restore = FindControl(QStringLiteral("restorebtn")))
        restore->setVisible(maximized);
}

bool CMainWnd::HandleCustomMessage(int id, std::uintptr_t, const Payload&, const QString& text) {
    if (id == WM_MENU_COMMAND) {
        LogPrintA("menu command %s\n", text.toUtf8().constData());
        return true;
    }
    return false;
}

}  // namespace kavelo
