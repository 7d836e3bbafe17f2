#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "control/AtomicFile.h"

namespace kavelo {

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

}  // namespace kavelo
