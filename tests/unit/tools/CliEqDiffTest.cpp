// kavelo-cli eq import / export and diff against the virtual amplifier.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "AmpBands.h"
#include "ModelStates.h"
#include "TempDir.h"
#include "control/FilterText.h"
#include "control/ProfileFiles.h"
#include "sim/AmplifierState.h"

namespace kavelo {
namespace {

using test::CliFixture;
using test::CliRun;
using test::OneLine;

class CliEqTest : public CliFixture {
protected:
    std::string Path(const char* name) { return (dir.path() / name).string(); }
    std::string WriteText(const char* name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    AmpChannel Output(int n) const { return amp->LiveState().settings.channels[n - 1]; }
    TempDir dir;
};

TEST_F(CliEqTest, HelpNamesTheCommands) {
    const CliRun run = Run({"--help"});
    for (const char* text : {"eq import FILE --channel N",
                             "eq export --channel N [-o FILE] [--format rew|apo]", "diff A B"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

TEST_F(CliEqTest, WrongWordsAreRefusedBeforeTheAmplifierIsTouched) {
    const std::vector<std::vector<std::string>> cases = {
        {"--demo", "eq"},
        {"--demo", "eq", "merge", "a.txt"},
        {"--demo", "eq", "import", "a.txt"},
        {"--demo", "eq", "import", "a.txt", "--channel", "9"},
        {"--demo", "eq", "import", "--channel", "1"},
        {"--demo", "eq", "export", "--channel", "1", "--format", "csv"},
        {"--demo", "eq", "export"},
        {"--demo", "eq", "export", "--channel", "1", "extra"},
    };
    for (const auto& args : cases) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 1) << args.back();
        EXPECT_TRUE(OneLine(run.err)) << run.err;
    }
    EXPECT_EQ(amp->WriteCount(), 0u);
}

TEST_F(CliEqTest, ImportSendsTheBandsAndReportsEveryRefusedLine) {
    const std::string file = WriteText("apo.txt",
                                       "Preamp: -4.5 dB\r\n"
                                       "Filter 1: ON PK Fc 63 Hz Gain -6.5 dB Q 4.25\r\n"
                                       "Filter 2: ON LS Fc 100 Hz Gain 3 dB\r\n"
                                       "Filter 3: ON PK Fc 250 Hz Gain 2,5 dB Q 1.5\r\n"
                                       "Filter 4: ON PK Fc 8000 Hz Gain -30 dB Q 2\r\n");
    const CliRun run = Run({"--demo", "eq", "import", file, "--channel", "3"});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(file + ": line 1: the preamp is not applied"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(file + ": line 3: the amplifier's EQ has peaking filters only"),
              std::string::npos);
    EXPECT_NE(run.out.find(file + ": line 5: gain outside -18 ... 12 dB"), std::string::npos);
    EXPECT_NE(run.out.find("imported 3 filter(s) into output 3"), std::string::npos);

    const AmpChannel out3 = Output(3);
    test::ExpectAmpBand(out3.bands[0], WireEqBand(63, 4.25f, -6.5f), 0);
    test::ExpectAmpBand(out3.bands[1], WireEqBand(250, 1.5f, 2.5f), 1);
    test::ExpectAmpBand(out3.bands[2], WireEqBand(8000, 2.0f, -18.0f), 2);
    EXPECT_EQ(out3.eqBypass, 0);  // the factory EQ was bypassed; the import switches it on
    // The other outputs are untouched.
    EXPECT_EQ(Output(2).eqBypass, 1);
}

TEST_F(CliEqTest, ImportFlattensTheOutputsOtherBands) {
    DspState s = test::FactoryState();
    s.channels[0].bypass = 0;
    s.channels[0].bands[10].eqGain = 5.0f;
    amp->SetLiveState(LiveStateFromState(s));
    const std::string file = WriteText("one.txt", "Filter 1: ON PK Fc 100 Hz Gain -2 dB Q 3\n");
    const CliRun run = Run({"--demo", "eq", "import", file, "--channel", "1"});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    test::ExpectAmpBand(Output(1).bands[0], WireEqBand(100, 3.0f, -2.0f), 0);
    const EqBand old = s.channels[0].bands[10];
    test::ExpectAmpBand(Output(1).bands[10], WireEqBand(old.freq, old.eqFactor, 0.0f), 10);
}

TEST_F(CliEqTest, AFileWithNothingToTakeIsRefusedAndNothingIsSent) {
    const std::string file = WriteText("shelves.txt",
                                       "Filter 1: ON LS Fc 100 Hz Gain 3 dB\n"
                                       "Filter 2: ON PK Fc 5 Hz Gain 3 dB Q 1\n");
    const AmplifierSnapshot before = amp->Snapshot();
    const CliRun run = Run({"--demo", "eq", "import", file, "--channel", "2"});
    EXPECT_EQ(run.code, 3);
    EXPECT_TRUE(OneLine(run.err)) << run.err;
    EXPECT_NE(run.out.find("line 2: frequency outside 20 ... 20000 Hz"), std::string::npos);
    for (int b = 0; b < kEqBands; ++b)
        test::ExpectAmpBand(Output(2).bands[b], before.live.settings.channels[1].bands[b], b);
    const CliRun missing = Run({"--demo", "eq", "import", Path("none.txt"), "--channel", "2"});
    EXPECT_EQ(missing.code, 3);
    EXPECT_TRUE(OneLine(missing.err)) << missing.err;
}

// Q goes out in tenths and comes back in hundredths: the filters come back
// as they were taken, Q exactly.
TEST_F(CliEqTest, ImportThenExportGivesTheSameFiltersInBothFormats) {
    const std::string rew =
        "Filter Settings file\n\nRoom EQ V5.20\n\nEqualiser: Generic\n"
        "Filter  1: ON  PK       Fc   45.0 Hz  Gain  -8.0 dB  Q  6.300\n"
        "Filter  2: ON  PK       Fc   120 Hz   Gain  -3.5 dB  Q  2.500\n"
        "Filter  3: ON  None\n"
        "Filter  4: ON  PK       Fc  2.40 kHz  Gain   1.7 dB  Q  0.700\n";
    const std::string file = WriteText("rew.txt", rew);
    ASSERT_EQ(Run({"--demo", "eq", "import", file, "--channel", "5"}).code, 0);

    const FilterImport original = ParseFilterText(rew, FilterLimits{});
    const CliRun toFile = Run({"--demo", "eq", "export", "--channel", "5", "-o", Path("out.txt"),
                               "--format", "apo"});
    ASSERT_EQ(toFile.code, 0) << toFile.err;
    std::ifstream in(Path("out.txt"));
    const std::string apo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CliRun toStdout = Run({"--demo", "eq", "export", "--channel", "5"});
    ASSERT_EQ(toStdout.code, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out.rfind("Filter Settings file", 0), 0u);
    EXPECT_EQ(apo.rfind("# TRQ5.40AMP output 5\n", 0), 0u) << apo;
    for (const std::string& text : {apo, toStdout.out}) {
        const FilterImport back = ParseFilterText(text, FilterLimits{});
        ASSERT_EQ(back.filters.size(), original.filters.size()) << text;
        for (std::size_t i = 0; i < back.filters.size(); ++i) {
            EXPECT_EQ(back.filters[i].freq, original.filters[i].freq) << i;
            EXPECT_EQ(back.filters[i].q, original.filters[i].q) << i;
            EXPECT_NEAR(back.filters[i].gain, original.filters[i].gain, 0.05) << i;
        }
    }
}

// ---- diff

class CliDiffTest : public CliEqTest {
protected:
    DspState Tuned() {
        DspState s = test::FactoryState();
        s.channels[2].bypass = 0;
        s.channels[2].bands[4] = EqBand{-3.0f, 2.0f, 1000, 1};
        return s;
    }
};

TEST_F(CliDiffTest, EqualFilesAreEqual) {
    ASSERT_EQ(WriteSceneProfile(Tuned(), Path("a.spf")), ProfileResult::Ok);
    ASSERT_EQ(WriteSceneProfile(Tuned(), Path("b.spf")), ProfileResult::Ok);
    const CliRun run = Run({"diff", Path("a.spf"), Path("b.spf")});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_EQ(amp->WriteCount(), 0u);
}

TEST_F(CliDiffTest, AChangedBandIsOneRowByOutputAndBand) {
    DspState a = Tuned();
    a.channels[6].crossover.hp.fs = 100;
    DspState b = a;
    b.channels[2].bands[4].eqGain = -2.5f;
    b.channels[6].crossover.hp.fs = 120;
    ASSERT_EQ(WriteSceneProfile(a, Path("a.spf")), ProfileResult::Ok);
    ASSERT_EQ(WriteSceneProfile(b, Path("b.spf")), ProfileResult::Ok);
    const CliRun run = Run({"diff", Path("a.spf"), Path("b.spf")});
    EXPECT_EQ(run.code, 1) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string w; words >> w;) row.push_back(w);
        rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 4u) << run.out;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"settings", "output", "band", "field", "a.spf",
                                                 "b.spf"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"live", "3", "5", "gain", "-3", "-2.5"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"live", "7", "-", "high-pass", "frequency", "100",
                                                 "120"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"2", "field(s)", "differ"}));
}

TEST_F(CliDiffTest, AFileAgainstTheAmplifier) {
    ASSERT_EQ(Run({"--demo", "dump", "-o", Path("amp.spf")}).code, 0);
    const CliRun same = Run({"--demo", "diff", Path("amp.spf"), "amp"});
    EXPECT_EQ(same.code, 0) << same.out << same.err;

    DspState changed;
    ASSERT_EQ(ReadSceneProfile(Path("amp.spf"), changed), ProfileResult::Ok);
    changed.channels[0].bands[2].eqGain = 4.0f;
    changed.channels[0].mute = 1;
    ASSERT_EQ(WriteSceneProfile(changed, Path("changed.spf")), ProfileResult::Ok);
    const CliRun run = Run({"--demo", "diff", "amp", Path("changed.spf")});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.out.find("amplifier"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("changed.spf"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 field(s) differ"), std::string::npos) << run.out;
}

TEST_F(CliDiffTest, WholeProfilesCompareTheirScenesAndNames) {
    WholeProfile a;
    a.names[1] = {'A', 0};
    WholeProfile b = a;
    b.names[1] = {'B', 0};
    b.scenes[3].channels[1].gain = -6.0f;
    ASSERT_EQ(WriteWholeProfile(a, Path("a.wpf")), ProfileResult::Ok);
    ASSERT_EQ(WriteWholeProfile(b, Path("b.wpf")), ProfileResult::Ok);
    const CliRun run = Run({"diff", Path("a.wpf"), Path("b.wpf")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.out.find("scene 4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"A\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 field(s) differ"), std::string::npos) << run.out;
}

TEST_F(CliDiffTest, TroubleIsNeverMistakenForADifference) {
    ASSERT_EQ(WriteSceneProfile(Tuned(), Path("a.spf")), ProfileResult::Ok);
    WriteText("bad.spf", "{not json");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"diff", Path("a.spf")},
          {"diff", Path("a.spf"), Path("bad.spf")},
          {"diff", Path("a.spf"), Path("missing.spf")}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 3) << args.back();
        EXPECT_TRUE(OneLine(run.err)) << run.err;
    }
}

}  // namespace
}  // namespace kavelo
