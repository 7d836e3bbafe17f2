#include "control/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"

namespace kavelo {
namespace {

namespace fs = std::filesystem;

fs::perms Mode(const fs::path& p) { return fs::status(p).permissions() & fs::perms::mask; }

// Every byte value, NUL included, survives the write unchanged.
std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    return bytes;
}

TEST(AtomicFile, NewFileIsAReadableDocument) {
    TempDir dir;
    const fs::path path = dir.path() / "new.spf";
    ASSERT_TRUE(WriteFileAtomically(path.string(), AllBytes()));
    EXPECT_EQ(ReadWholeFile(path), AllBytes());
    EXPECT_EQ(Mode(path), fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read | fs::perms::others_read);
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
    TempDir dir;
    const fs::path path = dir.path() / "private.spf";
    ASSERT_TRUE(WriteFileAtomically(path.string(), "old"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomically(path.string(), "new"));
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(Mode(path), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(AtomicFile, EmptyContentsReplaceTheFile) {
    TempDir dir;
    const fs::path path = dir.path() / "empty.spf";
    ASSERT_TRUE(WriteFileAtomically(path.string(), "something"));
    ASSERT_TRUE(WriteFileAtomically(path.string(), ""));
    EXPECT_EQ(fs::file_size(path), 0u);
}

}  // namespace
}  // namespace kavelo
