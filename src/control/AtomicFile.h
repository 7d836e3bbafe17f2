#pragma once

#include <string>

namespace kavelo {

// Replaces the file at `path` (UTF-8) with `bytes` so that a reader, or the
// next start after a power loss, finds either the old or the new contents and
// never a part: the bytes go to a temporary file beside it, are flushed to the
// disk and the temporary file is renamed over `path`. A replaced file keeps its
// permission bits; a new one is readable by everyone, as user documents are.
// On failure the old file is untouched, no temporary file is left and false is
// returned.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// The same, telling which step failed. The rename replaces whatever entry is
// at `path` (a symbolic link included) instead of writing through it, so a
// file prepared in a shared folder is the one this process wrote.
enum class AtomicWriteResult {
    Written,
    NotCreated,   // no temporary file could be made beside `path`
    WriteFailed,  // the bytes did not all reach the disk
    NotReplaced,  // the temporary file could not take the place of `path`
};
AtomicWriteResult WriteFileAtomicallyDetailed(const std::string& path, const std::string& bytes);

}  // namespace kavelo
