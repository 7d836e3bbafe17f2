#include "app/DisplayCheck.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kavelo {

namespace {

bool IsSet(const EnvironmentLookup& env, const char* name) {
    const char* value = env(name);
    return value && *value;
}

QtMessageHandler gPreviousHandler = nullptr;

void ExitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (gPreviousHandler) gPreviousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "kavelo-dsp: cannot open a window: %s\n", qPrintable(message));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

std::string NoDisplayReason(const EnvironmentLookup& env, int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return {};
    }
    if (IsSet(env, "QT_QPA_PLATFORM")) return {};
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!IsSet(env, "DISPLAY") && !IsSet(env, "WAYLAND_DISPLAY")) {
        return "no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
               "Start it in a desktop session, or set QT_QPA_PLATFORM=offscreen for a run\n"
               "without a screen (for example with --screenshot).";
    }
#endif
    return {};
}

FatalStartGuard::FatalStartGuard() { gPreviousHandler = qInstallMessageHandler(ExitOnFatal); }

FatalStartGuard::~FatalStartGuard() {
    qInstallMessageHandler(gPreviousHandler);
    gPreviousHandler = nullptr;
}

}  // namespace kavelo
