#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

// Where the Qt-free code meets the operating system. Paths are UTF-8 strings
// throughout the program; on Windows they become UTF-16 at the system call,
// never text in the ANSI code page (which turns every character outside it
// into "?"). One implementation per platform: PlatformPosix.cpp and
// PlatformWindows.cpp.
namespace kavelo {

// std::fopen for a UTF-8 path. Null when the file cannot be opened.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Whether a file or folder of that name exists.
bool PathExists(const std::string& path);

// Creates `path` and its missing parent folders. True when the folder exists
// afterwards; otherwise false with the system's reason in `error`.
bool CreateFolders(const std::string& path, std::string& error);

// The current working folder, empty when it cannot be told.
std::string CurrentFolder();

// `folder`, the platform's separator, `name`; `name` alone when `folder` is
// empty.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder part of `path` (without the last separator), empty when there
// is none.
std::string ParentFolder(const std::string& path);

// The folder where this user's programs keep data between runs: on Linux
// $XDG_DATA_HOME, else ~/.local/share; on Windows the local application data
// folder (%LOCALAPPDATA%) as the shell reports it. Empty when there is none.
std::string UserDataFolder();

// The broken-down local time of `t`.
std::tm LocalTime(std::time_t t);

// Whether `stream` is a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// For a program whose standard output is its result (a profile, a table):
// bytes leave unchanged (no CR LF for LF on Windows) and a console shows the
// UTF-8 text as such. Call before anything is written.
void UseBinaryStandardStreams();

// The program's arguments after its name, as UTF-8. On Windows they are read
// from the UTF-16 command line; the `argv` of main() there is in the ANSI code
// page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

#ifdef _WIN32
// UTF-8 to UTF-16 for a Windows call. Empty for empty or invalid input.
std::wstring WidenUtf8(const std::string& text);
#endif

}  // namespace kavelo
