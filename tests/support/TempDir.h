#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace kavelo {

// A fresh directory under the system temp folder, removed with its content.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            mPath = base / ("kavelo-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(mPath)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return mPath; }

private:
    std::filesystem::path mPath;
};

// A temp directory made the current directory for the scope of a test.
class ScopedCurrentDir : public TempDir {
public:
    ScopedCurrentDir() : mOld(std::filesystem::current_path()) {
        std::filesystem::current_path(path());
    }
    ~ScopedCurrentDir() { std::filesystem::current_path(mOld); }

private:
    std::filesystem::path mOld;
};

inline std::string ReadWholeFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kavelo
