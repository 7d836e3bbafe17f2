#include <gtest/gtest.h>

#include <cJSON.h>

#include <algorithm>
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
        {KAVELO_CLI, "--help", "Usage: kavelo-cli [OPTION]... COMMAND [ARG]...\n"},
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

// A man page's text with troff's escaped minus as a plain one.
std::string ManPage(const char* name) {
    std::string text = ReadWholeFile(fs::path(KAVELO_PACKAGING_DIR) / "man" / name);
    for (std::size_t at = 0; (at = text.find("\\-", at)) != std::string::npos;)
        text.replace(at, 2, "-");
    return text;
}

// The headings of a page's tagged paragraphs (the line after each .TP) as
// plain words: font macros, font changes and quotes removed.
std::vector<std::string> EntryHeadings(const std::string& page) {
    static const std::regex markup(R"(^\.B[IR]? |\\f[BIRP]|")");
    std::vector<std::string> headings;
    std::size_t at = 0;
    while ((at = page.find("\n.TP\n", at)) != std::string::npos) {
        at += 5;
        const std::string line = page.substr(at, page.find('\n', at) - at);
        headings.push_back(std::regex_replace(line, markup, ""));
    }
    return headings;
}

// Every option and command --help lists has its entry in the man page, and
// the page is of this version: an undocumented new option or command fails.
TEST_F(Programs, ManPagesAreInStepWithHelp) {
    struct Row {
        const char* program;
        const char* page;
    };
    const Row rows[] = {{KAVELO_DSP, "kavelo-dsp.1"}, {KAVELO_CLI, "kavelo-cli.1"}};
    const std::regex option(R"(--[a-z][a-z-]*)");
    // A command of kavelo-cli's help: indented by two, its words up to the first
    // argument (upper case), option or file name.
    const std::regex command(R"(\n  ([a-z]+(?: [a-z]+)?)(?= [A-Z\[-]| *\n| {2,}))");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.page);
        const std::string help = Run(r.program, {"--help"}).out;
        const std::string page = ManPage(r.page);
        ASSERT_FALSE(help.empty());
        const std::vector<std::string> headings = EntryHeadings(page);
        ASSERT_FALSE(headings.empty());
        const auto documented = [&](const std::string& words) {
            // Whole words of a heading ("-h, --help" names both).
            for (std::string h : headings) {
                std::replace(h.begin(), h.end(), ',', ' ');
                h = std::regex_replace(" " + h + " ", std::regex(" +"), " ");
                if (h.find(" " + words + " ") != std::string::npos) return true;
            }
            return false;
        };
        const std::string options = help.substr(0, help.find("commands:"));
        for (auto it = std::sregex_iterator(options.begin(), options.end(), option);
             it != std::sregex_iterator(); ++it) {
            // Options named in running text (--demo in a note) need an entry too.
            EXPECT_TRUE(documented(it->str())) << it->str();
        }
        const std::size_t list = help.find("commands:");
        if (list != std::string::npos) {
            const std::string commands = help.substr(list, help.find("exit codes") - list);
            int found = 0;
            for (auto it = std::sregex_iterator(commands.begin(), commands.end(), command);
                 it != std::sregex_iterator(); ++it, ++found)
                EXPECT_TRUE(documented((*it)[1])) << (*it)[1];
            EXPECT_GE(found, 11);  // the help's own command list was read
        }
        // "kavelo-cli (Kavelo DSP) 6.7.55" is the page of "Kavelo DSP 6.7.55".
        const std::string version = Run(r.program, {"--version"}).out;
        const std::size_t from = version.find(") ") + 2;
        const std::string number = version.substr(from, version.find('\n') - from);
        EXPECT_NE(page.find("\"Kavelo DSP " + number + "\""), std::string::npos) << number;
    }
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
