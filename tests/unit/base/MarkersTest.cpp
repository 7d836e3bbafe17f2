#include "base/Markers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"

namespace kavelo {
namespace {

TEST(MarkerFileExists, FileOrDirectoryInCurrentDirectoryCounts) {
    ScopedCurrentDir dir;
    EXPECT_FALSE(MarkerFileExists(MARKER_DEBUG));
    std::ofstream(dir.path() / MARKER_DEBUG).put('x');
    EXPECT_TRUE(MarkerFileExists(MARKER_DEBUG));

    EXPECT_FALSE(MarkerFileExists(MARKER_NO_FORCE_UPDATE));
    std::filesystem::create_directory(dir.path() / MARKER_NO_FORCE_UPDATE);
    EXPECT_TRUE(MarkerFileExists(MARKER_NO_FORCE_UPDATE));
}

TEST(MarkerFileExists, NameMustMatchExactly) {
    ScopedCurrentDir dir;
    std::ofstream(dir.path() / "Debug.INI").put('x');
    std::ofstream(dir.path() / "debug.ini.bak").put('x');
    EXPECT_FALSE(MarkerFileExists(MARKER_DEBUG));
    EXPECT_FALSE(MarkerFileExists(""));
}

}  // namespace
}  // namespace kavelo
