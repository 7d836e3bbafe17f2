#include "ui/Skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>

#include "base/Log.h"
#include "ui/WindowImplBase.h"

namespace kavelo {

bool ApplySkinStyle(QApplication& app) {
    QFont font(QStringLiteral("DejaVu Sans"));
    // Chinese texts fall back to a face that has the glyphs.
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    app.setFont(font);
    QFile sheet(SkinRoot() + QStringLiteral("/style/dark.qss"));
    if (!sheet.open(QIODevice::ReadOnly)) {
        LogPrintA("style sheet missing from the skin\n");
        return false;
    }
    app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    return true;
}

}  // namespace kavelo
