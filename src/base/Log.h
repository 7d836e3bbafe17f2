#pragma once

#include <atomic>
#include <cstdio>
#include <string>

// The diagnostic log: every line goes to "save.log" (UTF-8) and to a console
// stream (standard output unless changed), but only when logging was switched
// on at start-up by the "savelog.ini" marker. Writers on any thread are serialised; one message
// (prefix and text) is written whole before the next.
namespace kavelo {

// When on (the default) every message starts with "[hh:mm:ss.mmm] ". Callers
// switch it off around a run of messages that must land on one line, such as a
// byte-by-byte hex dump. Process-wide, so it affects other threads meanwhile.
extern std::atomic<bool> LogTimestampEnabled;

// Longest message kept; longer formatted messages are cut to this length.
inline constexpr int kLogMessageMax = 1023;

// printf-style log message. Returns the number of characters written, or 0
// when logging is off.
int LogPrintA(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogPrintW(const wchar_t* format, ...);

// Opens (truncates) the log file at logPath and switches logging on. Returns
// false and leaves logging off when the file cannot be created.
bool InitConsoleWindow(const std::string& logPath);

// Start-up step: when "savelog.ini" is present in the current directory, opens
// "save.log" there and writes the four header lines. Returns whether logging
// is on.
bool StartLogIfMarked();

bool LogEnabled();

// Where log lines are echoed besides the file: standard output by default; a
// program whose standard output is its result echoes to standard error or
// nowhere (null). Set it before logging starts.
void SetLogConsole(std::FILE* stream);

// Flushes and closes the log file; logging is off afterwards.
void LogShutdown();

// UTF-8 form of a wide string (UTF-32 or UTF-16 depending on the platform's
// wchar_t); invalid code units become U+FFFD.
// Appends one Unicode code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
std::string WideToUtf8(const std::wstring& text);

}  // namespace kavelo
