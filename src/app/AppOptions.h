#pragma once

#include <QString>
#include <string>

namespace kavelo {

class CMainWnd;

// What the command line asks for. exitCode >= 0 means: print `output` (to
// stdout for 0, else stderr) and end with that code without opening a window.
struct AppOptions {
    bool demo = false;
    // Firmware the demo amplifier reports (--firmware MAJOR.MINOR); -1: as stored.
    int demoFirmwareMajor = -1;
    int demoFirmwareMinor = -1;
    QString screenshot;
    int exitCode = -1;
    std::string output;
};

AppOptions ParseAppOptions(int argc, char* argv[]);

// Saves a picture of the window at its design size to `path` once it is
// connected and idle, then closes it; gives up (and says so) when no connection comes within 30 s.
void ScreenshotWhenConnected(CMainWnd& window, const QString& path);

}  // namespace kavelo
