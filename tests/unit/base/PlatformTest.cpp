#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "base/Log.h"
#include "base/Markers.h"
#include "base/Platform.h"
#include "control/AtomicFile.h"
#include "control/TextLines.h"

namespace kavelo {
namespace {

namespace fs = std::filesystem;

// Names a user gives files: accents, CJK, Cyrillic, and a character outside
// the basic plane (two UTF-16 units on Windows).
const char* const kNames[] = {
    "plain.spf", "Bühne.spf", "日本.json", "профиль.wpf", "Regler-\U0001F39B.spf",
};

std::string Utf8(const fs::path& p) { return p.u8string(); }

// The names the file system itself lists in `folder`, as UTF-8.
std::vector<std::string> Listed(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().u8string());
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n == name) return true;
    }
    return false;
}

TEST(Platform, FilesWithNonAsciiNamesKeepTheirNames) {
    TempDir dir;
    std::string error;
    const std::string folder = JoinPath(JoinPath(Utf8(dir.path()), "Ordner-フォルダ"), "ü");
    ASSERT_TRUE(CreateFolders(folder, error)) << error;
    ASSERT_TRUE(fs::is_directory(fs::u8path(folder)));
    EXPECT_TRUE(Contains(Listed(dir.path()), "Ordner-フォルダ"));

    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const std::string plain = JoinPath(folder, std::string("open-") + name);
        std::FILE* f = OpenFile(plain, "wb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fwrite("abc", 1, 3, f), 3u);
        std::fclose(f);

        const std::string atomic = JoinPath(folder, std::string("atomic-") + name);
        ASSERT_TRUE(WriteFileAtomically(atomic, "{\"x\":1}"));
        ASSERT_TRUE(WriteFileAtomically(atomic, "{\"x\":2}"));  // over an existing file

        const std::vector<std::string> listed = Listed(fs::u8path(folder));
        EXPECT_TRUE(Contains(listed, std::string("open-") + name));
        EXPECT_TRUE(Contains(listed, std::string("atomic-") + name));
        EXPECT_TRUE(PathExists(plain));
        EXPECT_TRUE(PathExists(atomic));

        std::string text;
        ASSERT_TRUE(ReadFileCapped(plain, 100, text));
        EXPECT_EQ(text, "abc");
        ASSERT_TRUE(ReadFileCapped(atomic, 100, text));
        EXPECT_EQ(text, "{\"x\":2}");
    }
    // Nothing else: no temporary file left behind, no name spelled twice.
    EXPECT_EQ(Listed(fs::u8path(folder)).size(), 2 * std::size(kNames));
    EXPECT_FALSE(PathExists(JoinPath(folder, "missing.spf")));
}

TEST(Platform, CreateFoldersReportsAFileInTheWay) {
    TempDir dir;
    std::ofstream(dir.path() / "file").put('x');
    std::string error;
    EXPECT_FALSE(CreateFolders(JoinPath(JoinPath(Utf8(dir.path()), "file"), "below"), error));
    EXPECT_FALSE(error.empty());
    // A folder that is already there is no failure.
    EXPECT_TRUE(CreateFolders(Utf8(dir.path()), error)) << error;
}

// The log lands in the current folder whatever its name.
TEST(Platform, CurrentFolderWithANonAsciiNameHoldsTheLog) {
    TempDir dir;
    const fs::path work = dir.path() / fs::u8path("Arbeit-作業");
    fs::create_directory(work);
    const fs::path old = fs::current_path();
    fs::current_path(work);
    EXPECT_EQ(CurrentFolder(), Utf8(work));
    std::ofstream(work / MARKER_SAVELOG).put('x');
    SetLogConsole(nullptr);
    const bool started = StartLogIfMarked();
    LogShutdown();
    SetLogConsole(stdout);
    fs::current_path(old);
    EXPECT_TRUE(started);
    EXPECT_NE(ReadWholeFile(work / "save.log").find("MODEL_NAME: TRQ5.40AMP"), std::string::npos);
}

TEST(Platform, PathsAreJoinedAndSplitWithTheSystemsSeparator) {
    struct Row {
        const char* path;
        const char* parent;
    };
#ifdef _WIN32
    const Row rows[] = {
        {"C:\\Users\\Jürgen\\kavelo\\a.json", "C:\\Users\\Jürgen\\kavelo"},
        {"C:\\a.json", "C:\\"},
        {"\\a.json", "\\"},
        {"mixed/sep\\a.json", "mixed/sep"},
        {"sub/a.json", "sub"},
        {"a.json", ""},
    };
    EXPECT_EQ(JoinPath("C:\\data", "kavelo"), "C:\\data\\kavelo");
    EXPECT_EQ(JoinPath("C:\\", "kavelo"), "C:\\kavelo");
#else
    const Row rows[] = {
        {"/home/jürgen/kavelo/a.json", "/home/jürgen/kavelo"},
        {"/a.json", "/"},
        {"sub/a.json", "sub"},
        {"a.json", ""},
    };
    EXPECT_EQ(JoinPath("/data", "kavelo"), "/data/kavelo");
    EXPECT_EQ(JoinPath("/", "kavelo"), "/kavelo");
#endif
    EXPECT_EQ(JoinPath("", "kavelo"), "kavelo");
    for (const Row& r : rows) {
        EXPECT_EQ(ParentFolder(r.path), r.parent) << r.path;
    }
}

}  // namespace
}  // namespace kavelo
