#pragma once

#include <QString>

namespace kavelo {

// The configuration file "kavelo.ini" (INI, section "config", integer keys "lan",
// "mem_addr", "mem_data"). The path is worked out on each access.
class ConfigFile {
public:
    // "<config folder>/kavelo4to8/kavelo.ini", or "./kavelo.ini" when that folder
    // cannot be found or created.
    static QString ConfigPath();

    ConfigFile() = default;
    // A file at a fixed path (tests, tools).
    explicit ConfigFile(QString path) : mPath(std::move(path)) {}

    QString Path() const { return mPath.isEmpty() ? ConfigPath() : mPath; }
    // The key's value; `fallback` when the file or key is missing or not a number.
    int GetInt(const QString& key, int fallback = 0) const;
    // Writes the key as decimal text; false (and a log line) when the file cannot be
    // written.
    bool SetInt(const QString& key, int value);

private:
    QString mPath;
};

}  // namespace kavelo
