#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "base/Platform.h"
#include "control/AtomicFile.h"

namespace kavelo {

namespace {

// A new file beside `target` that no other writer has: CREATE_NEW fails when
// the name is taken (another process, or a test running in parallel), so a
// few candidates are tried.
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

// rename() does not replace an existing file on Windows. ReplaceFileW swaps
// the new contents in under the old file's name, keeping its attributes and
// access rights (as the POSIX side keeps the mode); a file that is not there
// yet is moved into place, the move written through to the disk.
bool PutInPlace(const std::wstring& temporary, const std::wstring& target) {
    // A folder is never replaced by a file (Wine's ReplaceFileW would remove
    // it with everything inside), as rename() refuses it on POSIX.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        return true;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return false;
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

AtomicWriteResult WriteFileAtomicallyDetailed(const std::string& path, const std::string& bytes) {
    const std::wstring target = WidenUtf8(path);
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
    if (!PutInPlace(name, target)) {
        DeleteFileW(name.c_str());
        return AtomicWriteResult::NotReplaced;
    }
    return AtomicWriteResult::Written;
}

}  // namespace kavelo
