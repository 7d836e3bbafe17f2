#include "control/AtomicFile.h"

namespace kavelo {

// WriteFileAtomicallyDetailed lives in AtomicFilePosix.cpp and
// AtomicFileWindows.cpp: the replace step is the platform's own.
bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
    return WriteFileAtomicallyDetailed(path, bytes) == AtomicWriteResult::Written;
}

}  // namespace kavelo
