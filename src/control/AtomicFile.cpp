#include "control/AtomicFile.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <atomic>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>
#endif

namespace kavelo {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        out.data(), n);
    return out;
}

// A new file beside `target` that no other writer has: CREATE_NEW fails when
// the name is taken, so a few candidates are tried.
HANDLE CreateUniqueBeside(const std::wstring& target, std::wstring& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++) + L".tmp";
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

AtomicWriteResult WriteFileAtomicallyDetailed(const std::string& path, const std::string& bytes) {
    const std::wstring target = Wide(path);
    if (target.empty()) return AtomicWriteResult::NotCreated;
    std::wstring name;
    HANDLE h = CreateUniqueBeside(target, name);
    if (h == INVALID_HANDLE_VALUE) return AtomicWriteResult::NotCreated;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (!ok) {
        DeleteFileW(name.c_str());
        return AtomicWriteResult::WriteFailed;
    }
    if (!MoveFileExW(name.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(name.c_str());
        return AtomicWriteResult::NotReplaced;
    }
    return AtomicWriteResult::Written;
}

#else

namespace {

// The rename is only durable once the folder's entry is on the disk too.
// Best effort: a folder that cannot be opened or synced still holds the new
// file, so this does not turn a finished save into a failure.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

AtomicWriteResult WriteFileAtomicallyDetailed(const std::string& path, const std::string& bytes) {
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return AtomicWriteResult::NotCreated;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // mkstemp creates 0600: keep the mode of the file being replaced, or make
    // a new one an ordinary readable document.
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                            ? existing.st_mode & 07777
                            : 0644;
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        std::remove(name.data());
        return AtomicWriteResult::WriteFailed;
    }
    if (std::rename(name.data(), path.c_str()) != 0) {
        std::remove(name.data());
        return AtomicWriteResult::NotReplaced;
    }
    SyncFolderOf(path);
    return AtomicWriteResult::Written;
}

#endif

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
    return WriteFileAtomicallyDetailed(path, bytes) == AtomicWriteResult::Written;
}

}  // namespace kavelo
