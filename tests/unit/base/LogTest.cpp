#include "base/Log.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace kavelo {
namespace {

const char* const kPrefix = R"(\[\d\d:\d\d:\d\d\.\d\d\d\] )";

class LogTest : public ::testing::Test {
protected:
    void TearDown() override {
        LogShutdown();
        LogTimestampEnabled = true;
        SetLogConsole(stdout);
    }
    std::string Contents() {
        LogShutdown();
        return ReadWholeFile(dir.path() / "save.log");
    }
    TempDir dir;
};

TEST_F(LogTest, OffWithoutMarker) {
    ScopedCurrentDir cwd;
    EXPECT_FALSE(StartLogIfMarked());
    EXPECT_FALSE(LogEnabled());
    EXPECT_EQ(LogPrintA("hello %d\n", 1), 0);
    EXPECT_EQ(LogPrintW(L"hello %d\n", 1), 0);
    EXPECT_FALSE(std::filesystem::exists(cwd.path() / "save.log"));
}

TEST_F(LogTest, MarkerStartsLogWithHeaderLines) {
    ScopedCurrentDir cwd;
    std::filesystem::create_directory(cwd.path() / "savelog.ini");  // a directory counts too
    ASSERT_TRUE(StartLogIfMarked());
    LogShutdown();
    const std::string text = ReadWholeFile(cwd.path() / "save.log");
    const std::regex header(std::string("^") + kPrefix + "MODEL_NAME: TRQ5\\.40AMP\n" + kPrefix +
                            "MODEL_ID: 87\n" + kPrefix + "VERSION: v6\\.7\\.55\n" + kPrefix +
                            "INNER_FW: 1, 18\n$");
    EXPECT_TRUE(std::regex_match(text, header)) << text;
}

TEST_F(LogTest, HexDumpWithoutPrefixLandsOnOneLine) {
    ASSERT_TRUE(InitConsoleWindow((dir.path() / "save.log").string()));
    LogPrintA("read data: ");
    LogTimestampEnabled = false;
    for (int b : {0xAA, 0x55, 0x03}) LogPrintA("%02x ", b);
    LogPrintA("\n");
    LogTimestampEnabled = true;
    const std::string text = Contents();
    EXPECT_TRUE(std::regex_match(text, std::regex(std::string("^") + kPrefix + "read data: aa 55 03 \n$")))
        << text;
}

TEST_F(LogTest, LongMessageIsCutAt1023Characters) {
    ASSERT_TRUE(InitConsoleWindow((dir.path() / "save.log").string()));
    LogTimestampEnabled = false;
    const std::string longText(3000, 'x');
    EXPECT_EQ(LogPrintA("%s", longText.c_str()), kLogMessageMax);
    const std::wstring longWide(2000, L'y');
    EXPECT_EQ(LogPrintW(L"%ls", longWide.c_str()), kLogMessageMax);
    EXPECT_EQ(Contents(), std::string(1023, 'x') + std::string(1023, 'y'));
}

TEST_F(LogTest, WideTextIsWrittenAsUtf8) {
    ASSERT_TRUE(InitConsoleWindow((dir.path() / "save.log").string()));
    LogTimestampEnabled = false;
    EXPECT_EQ(LogPrintW(L"%ls %d\n", L"\u97f3\u91cf \u0413\u0440\u043e\u043c\u043a\u043e\u0441\u0442\u044c", 5), 15);
    EXPECT_EQ(Contents(), "\xe9\x9f\xb3\xe9\x87\x8f \xd0\x93\xd1\x80\xd0\xbe\xd0\xbc\xd0\xba\xd0\xbe\xd1\x81\xd1\x82\xd1\x8c 5\n");
}

// The console echo goes where it is set, or nowhere; the file gets every line.
TEST_F(LogTest, ConsoleEchoFollowsItsStream) {
    struct Row {
        const char* name;
        bool echoed;
    };
    for (const Row& r : {Row{"to a stream", true}, Row{"nowhere", false}}) {
        SCOPED_TRACE(r.name);
        std::FILE* console = std::tmpfile();
        ASSERT_NE(console, nullptr);
        SetLogConsole(r.echoed ? console : nullptr);
        ASSERT_TRUE(InitConsoleWindow((dir.path() / "save.log").string()));
        LogTimestampEnabled = false;
        LogPrintA("line %d\n", 7);
        EXPECT_EQ(Contents(), "line 7\n");
        std::rewind(console);
        char buf[32] = {};
        const std::size_t n = std::fread(buf, 1, sizeof buf - 1, console);
        EXPECT_EQ(std::string(buf, n), r.echoed ? "line 7\n" : "");
        SetLogConsole(stdout);
        std::fclose(console);
    }
}

TEST_F(LogTest, UnwritablePathLeavesLoggingOff) {
    EXPECT_FALSE(InitConsoleWindow((dir.path() / "missing" / "save.log").string()));
    EXPECT_FALSE(LogEnabled());
    EXPECT_EQ(LogPrintA("x\n"), 0);
}

TEST_F(LogTest, ConcurrentWritersNeverInterleaveWithinAMessage) {
    ASSERT_TRUE(InitConsoleWindow((dir.path() / "save.log").string()));
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) LogPrintA("thread %d line %03d end\n", t, i);
        });
    }
    for (auto& th : threads) th.join();
    const std::string text = Contents();
    const std::regex line(std::string(kPrefix) + "thread \\d line \\d{3} end");
    int count = 0;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1, ++count) {
        ASSERT_TRUE(std::regex_match(text.substr(start, nl - start), line)) << text.substr(start, nl - start);
    }
    EXPECT_EQ(count, kThreads * kLines);
    EXPECT_EQ(start, text.size());
}

TEST(WideToUtf8, EncodesEveryPlaneAndReplacesBadUnits) {
    EXPECT_EQ(WideToUtf8(L"A\u00e9\u4e2d"), "A\xc3\xa9\xe4\xb8\xad");
    // One unit where wchar_t is UTF-32, a surrogate pair where it is UTF-16.
    EXPECT_EQ(WideToUtf8(L"\U0001F50A"), "\xf0\x9f\x94\x8a");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace kavelo
