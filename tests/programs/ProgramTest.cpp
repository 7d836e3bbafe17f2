#include <gtest/gtest.h>

#include <cJSON.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TempDir.h"

namespace kavelo::test {
namespace {

namespace fs = std::filesystem;

// Each program runs in a folder of its own with a fresh home, so the demo
// amplifier starts from factory settings and nothing of the user's is touched.
class Programs : public ::testing::Test {
protected:
    ProgramRun Run(const char* program, const std::vector<std::string>& args,
                   std::map<std::string, std::string> extra = {}) {
        std::map<std::string, std::string> env = {
            {"HOME", home.path().string()},
            {"XDG_DATA_HOME", (home.path() / "data").string()},
            {"XDG_CONFIG_HOME", (home.path() / "config").string()},
            {"PATH", "/usr/bin:/bin"},
        };
        for (auto& [name, value] : extra) env[name] = value;
        return RunProgram(program, args, folder.path(), env);
    }
    void MarkForLogging() { std::ofstream(folder.path() / "savelog.ini") << ""; }
    std::string SavedLog() const { return ReadWholeFile(folder.path() / "save.log"); }

    TempDir home;
    TempDir folder;
};

bool IsJsonObject(const std::string& text) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_Parse(text.c_str()), cJSON_Delete);
    return root && cJSON_IsObject(root.get());
}

// A log line as the log writes it: a time stamp first.
const std::regex kLogLine(R"((^|\n)\[\d\d:\d\d:\d\d\.\d\d\d\] )");

TEST_F(Programs, CliStandardOutputCarriesOnlyTheResultWhileLogging) {
    MarkForLogging();
    struct Row {
        std::vector<std::string> args;
        bool json;           // the result is a profile
        bool logOnStderr;    // --log
    };
    const Row rows[] = {
        {{"--demo", "dump"}, true, false},
        {{"--demo", "--log", "dump"}, true, true},
        {{"--demo", "info"}, false, false},
        {{"--log", "--demo", "info"}, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.back() + (r.logOnStderr ? " --log" : ""));
        const ProgramRun run = Run(KAVELO_CLI, r.args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_FALSE(std::regex_search(run.out, kLogLine)) << run.out.substr(0, 400);
        if (r.json) EXPECT_TRUE(IsJsonObject(run.out)) << run.out.substr(0, 400);
        else EXPECT_NE(run.out.find("TRQ5.40AMP"), std::string::npos) << run.out;
        EXPECT_EQ(std::regex_search(run.err, kLogLine), r.logOnStderr) << run.err.substr(0, 400);
        // The log file gets every line either way.
        EXPECT_NE(SavedLog().find("MODEL_NAME: TRQ5.40AMP"), std::string::npos);
    }
}

TEST_F(Programs, WithoutTheMarkerNothingIsLogged) {
    const ProgramRun run = Run(KAVELO_CLI, {"--demo", "--log", "dump"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(IsJsonObject(run.out));
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists(folder.path() / "save.log"));
}

// --version and --help as GNU programs give them: on standard output, status 0.
TEST_F(Programs, VersionAndHelpFollowTheGnuConventions) {
    struct Row {
        const char* program;
        const char* option;
        const char* start;
    };
    const Row rows[] = {
        {KAVELO_CLI, "--version", "kavelo-cli (Kavelo DSP) 6.7.55\n"},
        {KAVELO_DSP, "--version", "kavelo-dsp (Kavelo DSP) 6.7.55\n"},
        {KAVELO_CLI, "--help", "kavelo-cli: a headless companion"},
        {KAVELO_DSP, "--help", "Usage: kavelo-dsp [OPTION]...\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.program) + " " + r.option);
        // No display is needed for either.
        const ProgramRun run = Run(r.program, {r.option});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out.rfind(r.start, 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
    const ProgramRun wrong = Run(KAVELO_DSP, {"--frobnicate"});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err,
              "kavelo-dsp: unrecognized option '--frobnicate'\n"
              "Try 'kavelo-dsp --help' for more information.\n");
}

// Without a display the application says so and ends; it does not abort.
TEST_F(Programs, ApplicationWithoutADisplayExplainsAndEnds) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        const char* message;
    };
    const Row rows[] = {
        {"no display variable", {}, "kavelo-dsp: no display found"},
        {"unreachable X server", {{"DISPLAY", ":97531"}}, "kavelo-dsp: cannot open a window: "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const ProgramRun run = Run(KAVELO_DSP, {"--demo"}, r.env);
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace kavelo::test
