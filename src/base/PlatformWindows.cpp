#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "base/Log.h"
#include "base/Platform.h"

namespace kavelo {

std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, out.data(), n);
    return out;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    const std::wstring wide = WidenUtf8(path);
    if (wide.empty()) return nullptr;
    return _wfopen(wide.c_str(), WidenUtf8(mode).c_str());
}

bool PathExists(const std::string& path) {
    const std::wstring wide = WidenUtf8(path);
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolders(const std::string& path, std::string& error) {
    const std::wstring wide = WidenUtf8(path);
    if (wide.empty()) {
        error = "not a valid file name";
        return false;
    }
    // A path built from UTF-16 is the native form: no code page in between.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wide), ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

std::string CurrentFolder() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring folder(n, L'\0');
    const DWORD written = GetCurrentDirectoryW(n, folder.data());
    if (written == 0 || written >= n) return {};
    folder.resize(written);
    return WideToUtf8(folder);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return {};
    // "C:\" and "\" keep their separator: without it they name another folder.
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::string UserDataFolder() {
    // Created when missing: the folder may be redirected to one not made yet.
    PWSTR folder = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder))) {
        out = WideToUtf8(folder);
    }
    CoTaskMemFree(folder);
    return out;
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

bool IsTerminal(std::FILE* stream) { return stream && _isatty(_fileno(stream)) != 0; }

namespace {

UINT gConsoleOutputCp = 0;

// The console's code page belongs to the console, not to this process: give
// the one it had back when the program ends.
void RestoreConsoleOutputCp() {
    if (gConsoleOutputCp != 0) SetConsoleOutputCP(gConsoleOutputCp);
}

}  // namespace

void UseBinaryStandardStreams() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::fflush(stdout);
        std::fflush(stderr);
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
        const UINT previous = GetConsoleOutputCP();
        if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
            gConsoleOutputCp = previous;
            std::atexit(RestoreConsoleOutputCp);
        }
    });
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        // Without the UTF-16 command line the ANSI words are still better than none.
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>{};
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace kavelo
