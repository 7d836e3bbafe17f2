#include "app/ConfigFile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "base/Log.h"

namespace kavelo {

namespace {
QString Qualified(const QString& key) { return QStringLiteral("config/") + key; }
}  // namespace

QString ConfigFile::ConfigPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!base.isEmpty()) {
        const QString folder = base + QStringLiteral("/kavelo4to8");
        if (QDir().mkpath(folder)) return folder + QStringLiteral("/kavelo.ini");
    }
    return QDir::currentPath() + QStringLiteral("/kavelo.ini");
}

int ConfigFile::GetInt(const QString& key, int fallback) const {
    QSettings settings(Path(), QSettings::IniFormat);
    bool ok = false;
    const int value = settings.value(Qualified(key)).toString().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

bool ConfigFile::SetInt(const QString& key, int value) {
    QSettings settings(Path(), QSettings::IniFormat);
    settings.setValue(Qualified(key), QString::number(value));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        LogPrintA("cannot write %s to %s\n", key.toUtf8().constData(),
                  settings.fileName().toUtf8().constData());
        return false;
    }
    return true;
}

}  // namespace kavelo
