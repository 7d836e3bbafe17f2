#include "base/Log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <vector>

#include "base/BuildConstants.h"
#include "base/Markers.h"
#include "base/Platform.h"

namespace kavelo {

std::atomic<bool> LogTimestampEnabled{true};

namespace {

// The file is flushed only every 11 messages so heavy packet logging stays
// cheap; a crash may lose the last ten messages.
constexpr int kFlushEvery = 10;

std::mutex gLogMutex;
std::atomic<std::FILE*> gLogFile{nullptr};
std::atomic<std::FILE*> gLogConsole{stdout};
int gFlushCount = 0;


std::string TimePrefix() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const int ms =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    const std::tm local = LocalTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%02d:%02d:%02d.%03d] ", local.tm_hour, local.tm_min,
                  local.tm_sec, ms);
    return buf;
}

// Writes one message under the log lock. The caller has formatted it already.
int WriteMessage(const std::string& text) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    std::FILE* file = gLogFile.load();
    if (!file) return 0;
    std::FILE* console = gLogConsole.load();
    const auto write = [&](const std::string& part) {
        if (console) std::fwrite(part.data(), 1, part.size(), console);
        std::fwrite(part.data(), 1, part.size(), file);
    };
    if (LogTimestampEnabled.load()) write(TimePrefix());
    write(text);
    if (gFlushCount > kFlushEvery) {
        std::fflush(file);
        if (console) std::fflush(console);
        gFlushCount = 0;
    }
    ++gFlushCount;
    return 1;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
                const char32_t lo = static_cast<char32_t>(text[i + 1]);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

int LogPrintA(const char* format, ...) {
    if (!gLogFile.load() || !format) return 0;
    char buf[kLogMessageMax + 1];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n < 0) return 0;
    const int kept = n > kLogMessageMax ? kLogMessageMax : n;
    return WriteMessage(std::string(buf, static_cast<size_t>(kept))) ? kept : 0;
}

int LogPrintW(const wchar_t* format, ...) {
    if (!gLogFile.load() || !format) return 0;
    // vswprintf reports truncation as failure, so grow the buffer until the
    // whole message fits (within reason) and cut it afterwards.
    std::vector<wchar_t> buf(kLogMessageMax + 1);
    int n = -1;
    while (true) {
        va_list args;
        va_start(args, format);
        n = std::vswprintf(buf.data(), buf.size(), format, args);
        va_end(args);
        if (n >= 0 || buf.size() >= (1u << 20)) break;
        buf.resize(buf.size() * 4);
    }
    if (n < 0) return 0;
    const int kept = n > kLogMessageMax ? kLogMessageMax : n;
    const std::string text = WideToUtf8(std::wstring(buf.data(), static_cast<size_t>(kept)));
    return WriteMessage(text) ? kept : 0;
}

bool InitConsoleWindow(const std::string& logPath) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    gFlushCount = 0;
    std::FILE* file = OpenFile(logPath, "wb");
    if (!file) return false;
    if (std::FILE* old = gLogFile.exchange(file)) std::fclose(old);
    return true;
}

bool StartLogIfMarked() {
    if (!MarkerFileExists(MARKER_SAVELOG)) return false;
    if (!InitConsoleWindow(JoinPath(CurrentFolder(), "save.log"))) return false;
    LogPrintA("MODEL_NAME: %s\n", MODEL_NAME);
    LogPrintA("MODEL_ID: %d\n", MODEL_ID);
    LogPrintA("VERSION: %s\n", VERSION);
    LogPrintA("INNER_FW: %d, %d\n", INNER_FW.major, INNER_FW.minor);
    return true;
}

bool LogEnabled() { return gLogFile.load() != nullptr; }

void SetLogConsole(std::FILE* stream) { gLogConsole = stream; }

void LogShutdown() {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (std::FILE* file = gLogFile.exchange(nullptr)) std::fclose(file);
    if (std::FILE* console = gLogConsole.load()) std::fflush(console);
}

}  // namespace kavelo
