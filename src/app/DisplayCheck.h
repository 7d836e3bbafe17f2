#pragma once

#include <functional>
#include <string>

// Whether the window system can be reached before Qt tries: without a display
// Qt aborts with a core dump, which is no way to tell a user what is missing.
namespace kavelo {

using EnvironmentLookup = std::function<const char*(const char* name)>;

// Why no window can be opened here, or "" when one can be tried: no platform
// was asked for (QT_QPA_PLATFORM, -platform) and, on X11/Wayland systems,
// neither DISPLAY nor WAYLAND_DISPLAY is set.
std::string NoDisplayReason(const EnvironmentLookup& env, int argc, char* argv[]);

// Until the returned guard is destroyed, a fatal message from Qt (the platform
// plugin failing to start) prints "kavelo-dsp: cannot open a window: ..." and
// ends the program with status 1 instead of aborting.
class FatalStartGuard {
public:
    FatalStartGuard();
    ~FatalStartGuard();
    FatalStartGuard(const FatalStartGuard&) = delete;
    FatalStartGuard& operator=(const FatalStartGuard&) = delete;
};

}  // namespace kavelo
