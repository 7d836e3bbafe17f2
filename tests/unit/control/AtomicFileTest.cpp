#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "TempDir.h"
#include "control/AtomicFile.h"

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

// A link planted at the name is replaced, never written through.
TEST(AtomicFile, ReplacesALinkInsteadOfFollowingIt) {
    TempDir dir;
    const fs::path victim = dir.path() / "victim";
    ASSERT_TRUE(WriteFileAtomically(victim.string(), "mine"));
    const fs::path path = dir.path() / "MCU_UPG.bin";
    fs::create_symlink(victim, path);
    EXPECT_EQ(WriteFileAtomicallyDetailed(path.string(), "image"), AtomicWriteResult::Written);
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(ReadWholeFile(path), "image");
    EXPECT_EQ(ReadWholeFile(victim), "mine");
}

TEST(AtomicFile, FailuresNameTheStepAndLeaveNothing) {
    TempDir dir;
    EXPECT_EQ(WriteFileAtomicallyDetailed((dir.path() / "missing" / "f").string(), "x"),
              AtomicWriteResult::NotCreated);
    // A folder with contents cannot be replaced by a file.
    const fs::path folder = dir.path() / "folder";
    fs::create_directories(folder / "inside");
    EXPECT_EQ(WriteFileAtomicallyDetailed(folder.string(), "x"), AtomicWriteResult::NotReplaced);
    EXPECT_TRUE(fs::is_directory(folder));
    const auto entries =
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

}  // namespace
}  // namespace kavelo
