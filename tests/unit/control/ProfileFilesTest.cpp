#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "ModelStates.h"
#include "ProfileReadVerdict.h"
#include "TempDir.h"
#include "control/AtomicFile.h"
#include "control/Base64.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/ReadBack.h"
#include "graph/ResponseCurve.h"

namespace kavelo {
namespace {

const std::filesystem::path kProfiles = std::filesystem::path(KAVELO_FIXTURES_DIR) / "profiles";

// The state the golden files describe (see make_golden.py beside them).
DspState FixedLive() {
    DspState s;
    ChannelState& c0 = s.channels[0];
    c0.gain = -12.0f;
    c0.delay = 1.25f;
    c0.phase = 1;
    c0.bypass = 0;
    c0.bands[17] = EqBand{6.5f, 1.41f, 1000, 1};
    c0.bands[3] = EqBand{-3.3f, 0.5f, 40, 0};
    s.channels[3].crossover.hp = CrossoverFilter{125, 3, 5, 0};
    s.channels[3].mute = 1;
    s.inputMixVolume[5][2][7] = 42;
    s.linkOutputs = {1, 0, 3, 2, -1, -1, 7, 6};
    s.showChEqualizer = {1, 1, 0, 0, 0, 0, 0, 0};
    s.currChannel = 2;
    s.linkMode = 1;
    s.mainVolume = 20;
    s.mainVolumeMute = 1;
    return s;
}

SceneName Name(const char* ascii) {
    SceneName n{};
    for (size_t i = 0; ascii[i] != '\0' && i < 8; ++i) n[2 * i] = static_cast<uint8_t>(ascii[i]);
    return n;
}

std::unique_ptr<WholeProfile> FixedWhole() {
    auto w = std::make_unique<WholeProfile>();
    w->live = FixedLive();
    w->names[0] = Name("A");
    w->names[2] = Name("Bass 1");
    w->names[9] = Name("Eight ch");
    w->scenes[4].lockMode = 1;
    w->scenes[4].channels[1].bands[0].eqGain = -1.5f;
    return w;
}

// A state as a profile loads it: Q on the tenth the amplifier holds (the
// golden state's 1.41, a Q an amplifier may report, loads as 1.4).
DspState OnTenths(DspState s) {
    QuantiseEqFactors(s);
    return s;
}

void ExpectSameStored(const DspState& a, const DspState& b) {
    EXPECT_EQ(a.mainVolume, b.mainVolume);
    EXPECT_EQ(a.subVolume, b.subVolume);
    EXPECT_EQ(a.mainVolumeMute, b.mainVolumeMute);
    EXPECT_EQ(a.inputs, b.inputs);
    EXPECT_EQ(a.inputMixVolume, b.inputMixVolume);
    EXPECT_EQ(a.outputs, b.outputs);
    EXPECT_EQ(a.linkOutputs, b.linkOutputs);
    EXPECT_EQ(a.showChEqualizer, b.showChEqualizer);
    EXPECT_EQ(a.currChannel, b.currChannel);
    EXPECT_EQ(a.linkMode, b.linkMode);
    EXPECT_EQ(a.lockMode, b.lockMode);
    for (int c = 0; c < kOutputChannels; ++c) {
        const ChannelState &x = a.channels[c], &y = b.channels[c];
        EXPECT_EQ(x.eqSize, y.eqSize);
        EXPECT_EQ(x.gain, y.gain);
        EXPECT_EQ(x.mute, y.mute);
        EXPECT_EQ(x.delay, y.delay);
        EXPECT_EQ(x.phase, y.phase);
        EXPECT_EQ(x.bypass, y.bypass);
        EXPECT_EQ(x.crossover.bpType, y.crossover.bpType);
        for (auto [f, g] : {std::pair{&x.crossover.hp, &y.crossover.hp},
                            std::pair{&x.crossover.lp, &y.crossover.lp}}) {
            EXPECT_EQ(f->fs, g->fs);
            EXPECT_EQ(f->type, g->type);
            EXPECT_EQ(f->slope, g->slope);
            EXPECT_EQ(f->bypass, g->bypass);
        }
        for (int k = 0; k < kEqBands; ++k) {
            EXPECT_EQ(x.bands[k].freq, y.bands[k].freq);
            EXPECT_EQ(x.bands[k].eqFactor, y.bands[k].eqFactor);
            EXPECT_EQ(x.bands[k].eqGain, y.bands[k].eqGain);
            EXPECT_EQ(x.bands[k].enable, y.bands[k].enable);
        }
    }
}

TEST(ProfileGolden, SceneTextMatchesExpectedFile) {
    EXPECT_EQ(SceneProfileText(FixedLive()), ReadWholeFile(kProfiles / "golden.spf"));
}

TEST(ProfileGolden, WholeTextMatchesExpectedFile) {
    EXPECT_EQ(WholeProfileText(*FixedWhole()), ReadWholeFile(kProfiles / "golden.wpf"));
}

TEST(ProfileGolden, GoldenFilesLoadAsTheirState) {
    DspState s;
    ASSERT_EQ(ReadSceneProfile((kProfiles / "golden.spf").string(), s), ProfileResult::Ok);
    ExpectSameStored(s, OnTenths(FixedLive()));
    EXPECT_EQ(s.channels[0].bands[17].eqFactor, 1.4f);
    auto w = std::make_unique<WholeProfile>();
    ASSERT_EQ(ReadWholeProfile((kProfiles / "golden.wpf").string(), *w), ProfileResult::Ok);
    const auto expected = FixedWhole();
    ExpectSameStored(w->live, OnTenths(expected->live));
    for (int k = 0; k < kSceneSlots; ++k) {
        ExpectSameStored(w->scenes[k], expected->scenes[k]);
        EXPECT_EQ(w->names[k], expected->names[k]);
    }
    EXPECT_EQ(w->scenes[4].lockMode, 1);
    EXPECT_EQ(w->scenes[3].lockMode, 0);
}

TEST(ProfileRoundTrip, SceneAndWholeThroughFiles) {
    TempDir dir;
    const std::string spf = (dir.path() / "a.spf").string();
    DspState live = FixedLive();
    live.subVolume = -3;
    live.lockMode = 1;
    live.channels[7].bands[30].eqGain = 0.1f;
    ASSERT_EQ(WriteSceneProfile(live, spf), ProfileResult::Ok);
    DspState back;
    ASSERT_EQ(ReadSceneProfile(spf, back), ProfileResult::Ok);
    ExpectSameStored(back, OnTenths(live));
    EXPECT_EQ(back.model, -1);  // handshake fields are not stored

    const std::string wpf = (dir.path() / "a.wpf").string();
    auto w = FixedWhole();
    w->scenes[9].outputs[0] = 3;
    ASSERT_EQ(WriteWholeProfile(*w, wpf), ProfileResult::Ok);
    auto wb = std::make_unique<WholeProfile>();
    ASSERT_EQ(ReadWholeProfile(wpf, *wb), ProfileResult::Ok);
    for (int k = 0; k < kSceneSlots; ++k) ExpectSameStored(wb->scenes[k], w->scenes[k]);
    EXPECT_EQ(wb->names, w->names);
}

// A broken variant of the golden scene file: one replacement in its text.
struct BrokenCase {
    const char* name;
    const char* from;
    const char* to;
    ProfileResult result;
};
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class BrokenScene : public testing::TestWithParam<BrokenCase> {};
TEST_P(BrokenScene, RefusedAndStateUntouched) {
    const BrokenCase& c = GetParam();
    std::string text = ReadWholeFile(kProfiles / "golden.spf");
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, std::strlen(c.from), c.to);
    DspState s;
    s.model = 87;
    s.mainVolume = 33;
    s.channels[5].gain = -7.0f;
    const DspState before = s;
    EXPECT_EQ(ParseSceneProfile(text.data(), text.size(), s), c.result);
    EXPECT_EQ(s.model, 87);
    ExpectSameStored(s, before);
}
INSTANTIATE_TEST_SUITE_P(
    Refusals, BrokenScene,
    testing::Values(
        BrokenCase{"Model86", "\"model\":87", "\"model\":86", ProfileResult::ModelMismatch},
        BrokenCase{"ModelMissing", "\"model\":87,", "", ProfileResult::LoadError},
        BrokenCase{"EightInputRows", "\"inputs\":[[1,2,1,2,3,3,1,2],", "\"inputs\":[",
                   ProfileResult::LoadError},
        BrokenCase{"RowTooShort", "\"inputs\":[[1,2,1,2,3,3,1,2]", "\"inputs\":[[1,2,1,2,3,3,1]",
                   ProfileResult::LoadError},
        BrokenCase{"OutputsAsText", "\"outputs\":[6,", "\"outputs\":[\"6\",",
                   ProfileResult::LoadError},
        BrokenCase{"EqSizeAboveTable", "\"eqSize\":31", "\"eqSize\":32", ProfileResult::LoadError},
        BrokenCase{"EqSizeBelowArray", "\"eqSize\":31", "\"eqSize\":30", ProfileResult::LoadError},
        BrokenCase{"FilterType4", "\"type\":2", "\"type\":4", ProfileResult::LoadError},
        BrokenCase{"HugeNumber", "\"delay\":1.25", "\"delay\":1e999", ProfileResult::LoadError},
        BrokenCase{"GainOutOfIntRange", "\"gain\":-12", "\"gain\":-1e30", ProfileResult::LoadError},
        BrokenCase{"LockModeMissing", ",\"lockMode\":0", "", ProfileResult::LoadError},
        // Indexes outside their tables.
        BrokenCase{"CurrChannel8", "\"currChannel\":2", "\"currChannel\":8",
                   ProfileResult::LoadError},
        BrokenCase{"CurrChannelNegative", "\"currChannel\":2", "\"currChannel\":-1",
                   ProfileResult::LoadError},
        BrokenCase{"LinkPartner8", "\"linkOutputs\":[1,", "\"linkOutputs\":[8,",
                   ProfileResult::LoadError},
        BrokenCase{"LinkPartnerMinus2", "\"linkOutputs\":[1,", "\"linkOutputs\":[-2,",
                   ProfileResult::LoadError},
        BrokenCase{"Role25", "\"outputs\":[6,", "\"outputs\":[25,", ProfileResult::LoadError},
        BrokenCase{"RoleNegative", "\"outputs\":[6,", "\"outputs\":[-1,", ProfileResult::LoadError},
        BrokenCase{"CutShort", "\"lockMode\":0}", "\"lockMode\":0", ProfileResult::OpenError}));

TEST(ProfileEdges, GainTruncatedEnableNormalisedAndType0Accepted) {
    std::string text = ReadWholeFile(kProfiles / "golden.spf");
    text.replace(text.find("\"gain\":-12"), 10, "\"gain\":-12.7");
    text.replace(text.find("\"enable\":0"), 10, "\"enable\":2");
    text.replace(text.find("\"type\":2"), 8, "\"type\":0");
    DspState s;
    ASSERT_EQ(ParseSceneProfile(text.data(), text.size(), s), ProfileResult::Ok);
    EXPECT_EQ(s.channels[0].gain, -12.0f);
    EXPECT_EQ(s.channels[0].bands[3].enable, 1);
    EXPECT_EQ(s.channels[0].crossover.hp.type, 0);
}

// An amplifier may report a band with Q 0 (both bytes 0); the model keeps it
// and a whole-configuration save writes it, so the file must load again. Such
// a band draws flat rather than being refused.
TEST(ProfileEdges, ZeroOrNegativeQAsAnAmplifierReportsItLoads) {
    ControllerModel model;
    ApplyDspValue(model, 6, Payload{DspEqBandRecord{2, 3, 1, 0, 0.0f, -18.0f}});
    ASSERT_EQ(model.scenes[1].channels[3].bands[1].eqFactor, 0.0f);
    const std::string saved = WholeProfileText(model);
    auto loaded = std::make_unique<WholeProfile>();
    ASSERT_EQ(ParseWholeProfile(saved.data(), saved.size(), *loaded), ProfileResult::Ok);
    EXPECT_EQ(loaded->scenes[1].channels[3].bands[1].eqFactor, 0.0f);

    std::string text = ReadWholeFile(kProfiles / "golden.spf");
    text.replace(text.find("\"eqFactor\":5.8000001907348633"), 28, "\"eqFactor\":-1");
    DspState s;
    ASSERT_EQ(ParseSceneProfile(text.data(), text.size(), s), ProfileResult::Ok);
    ResponseCurve curve;
    ComputeChannelResponse(s.channels[0], curve);
    for (double level : curve.db) EXPECT_TRUE(std::isfinite(level));
}

// The original application wrote Q as the single-precision float it held; a
// file of it loads with each Q on the nearest tenth, which is what the
// amplifier holds once the profile is written to it. A Q an amplifier reported
// outside the range stays as it is.
TEST(ProfileEdges, QAsTheOriginalApplicationWroteItLoadsOnTenths) {
    const struct {
        const char* inFile;
        float loaded;
    } rows[] = {{"2.4500000476837158", 2.5f},
                {"0.69999998807907104", 0.7f},
                {"5.8000001907348633", 5.8f},
                {"2.5499999523162842", 2.5f},
                {"1.41", 1.4f},
                {"9", 9.0f},
                {"0", 0.0f},
                {"12.34", 12.3f}};
    const std::string golden = ReadWholeFile(kProfiles / "golden.spf");
    const std::string key = "\"eqFactor\":5.8000001907348633";
    for (const auto& row : rows) {
        std::string text = golden;
        text.replace(text.find(key), key.size(), std::string("\"eqFactor\":") + row.inFile);
        DspState s;
        ASSERT_EQ(ParseSceneProfile(text.data(), text.size(), s), ProfileResult::Ok) << row.inFile;
        EXPECT_EQ(s.channels[0].bands[0].eqFactor, row.loaded) << row.inFile;
        // Saved again and loaded, it stays bit for bit.
        const std::string again = SceneProfileText(s);
        DspState back;
        ASSERT_EQ(ParseSceneProfile(again.data(), again.size(), back), ProfileResult::Ok);
        EXPECT_EQ(back.channels[0].bands[0].eqFactor, row.loaded) << row.inFile;
    }
}

TEST(ProfileEdges, WholeProfileNames) {
    const SceneName a = Name("A");
    EXPECT_EQ(Base64Encode(a.data(), a.size()), "QQAAAAAAAAAAAAAAAAAAAA==");
    SceneName n;
    n.fill(9);
    ASSERT_TRUE(Base64DecodeInto("AAAAAAAAAAAAAAAAAAAAAA==", n.data(), n.size()));
    EXPECT_EQ(n, SceneName{});
    // 18 bytes: only the first 16 are kept.
    const uint8_t longName[18] = {'L', 0,   'o', 0,   'n', 0,   'g', 0,   'N',
                                  0,   'a', 0,   'm', 0,   'e', 0,   '!', 0};
    ASSERT_TRUE(Base64DecodeInto(Base64Encode(longName, 18), n.data(), n.size()));
    EXPECT_EQ(0, std::memcmp(n.data(), longName, 16));
    ASSERT_TRUE(Base64DecodeInto("", n.data(), n.size()));
    EXPECT_EQ(n, SceneName{});
    EXPECT_FALSE(Base64DecodeInto("QQ*A", n.data(), n.size()));
}

TEST(ProfileEdges, WholeRefusalKeepsEverything) {
    std::string text = ReadWholeFile(kProfiles / "golden.wpf");
    // Break the last scene only: names and earlier scenes must not be taken.
    const size_t last = text.rfind("\"lockMode\":0");
    text.replace(last, 12, "\"lockMode\":\"0\"");
    auto w = std::make_unique<WholeProfile>();
    w->names[0] = Name("Keep");
    w->scenes[4].lockMode = 0;
    w->live.model = 87;
    EXPECT_EQ(ParseWholeProfile(text.data(), text.size(), *w), ProfileResult::LoadError);
    EXPECT_EQ(w->names[0], Name("Keep"));
    EXPECT_EQ(w->scenes[4].lockMode, 0);
    EXPECT_EQ(w->live.model, 87);
    EXPECT_EQ(w->live.mainVolume, -5);
}

struct FileCase {
    const char* file;
    bool whole;
    ProfileResult result;
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.file; }
class BrokenFiles : public testing::TestWithParam<FileCase> {};
TEST_P(BrokenFiles, Refused) {
    const FileCase& c = GetParam();
    const std::string path = (kProfiles / "broken" / c.file).string();
    if (c.whole) {
        auto w = std::make_unique<WholeProfile>();
        EXPECT_EQ(ReadWholeProfile(path, *w), c.result);
    } else {
        DspState s;
        EXPECT_EQ(ReadSceneProfile(path, s), c.result);
    }
}
INSTANTIATE_TEST_SUITE_P(Files, BrokenFiles,
                         testing::Values(FileCase{"truncated.spf", false, ProfileResult::OpenError},
                                         FileCase{"not-json.wpf", true, ProfileResult::LoadError},
                                         FileCase{"model-as-text.spf", false,
                                                  ProfileResult::LoadError},
                                         FileCase{"missing.spf", false, ProfileResult::OpenError},
                                         FileCase{"missing.wpf", true, ProfileResult::OpenError}));

TEST(ProfileFilesIo, OversizedFileRefusedUnread) {
    TempDir dir;
    const auto path = dir.path() / "big.spf";
    {
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kMaxProfileBytes));
        out.put(' ');
    }
    DspState s;
    EXPECT_EQ(ReadSceneProfile(path.string(), s), ProfileResult::OpenError);
}

TEST(ProfileFilesIo, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    const auto path = dir.path() / "keep.spf";
    ASSERT_EQ(WriteSceneProfile(FixedLive(), path.string()), ProfileResult::Ok);
    const std::string before = ReadWholeFile(path);
    // A folder that cannot be written into stands for a save that fails
    // before the rename; running as root may bypass permissions, so a missing
    // folder is used as well.
    EXPECT_EQ(WriteSceneProfile(DspState(), (dir.path() / "no" / "x.spf").string()),
              ProfileResult::CreateError);
    EXPECT_FALSE(WriteFileAtomically(path.string() + "/sub", "x"));
    EXPECT_EQ(ReadWholeFile(path), before);
    // Overwriting replaces the whole file and leaves no temporary behind.
    ASSERT_EQ(WriteSceneProfile(DspState(), path.string()), ProfileResult::Ok);
    EXPECT_EQ(ReadWholeFile(path), SceneProfileText(DspState()));
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(ProfileFilesIo, RenameFailureRemovesTheTemporaryFile) {
    TempDir dir;
    // A non-empty folder cannot be replaced by a file: the last step fails.
    const auto target = dir.path() / "taken.spf";
    std::filesystem::create_directory(target);
    std::ofstream(target / "inside") << "kept";
    EXPECT_EQ(WriteSceneProfile(FixedLive(), target.string()), ProfileResult::CreateError);
    EXPECT_EQ(ReadWholeFile(target / "inside"), "kept");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(ProfileFilesIo, MessageKeys) {
    EXPECT_STREQ(ProfileMessageKey(ProfileResult::Ok, true), "${profile_save_ok}");
    EXPECT_STREQ(ProfileMessageKey(ProfileResult::OpenError, false), "${profile_open_error}");
    EXPECT_STREQ(ProfileMessageKey(ProfileResult::ModelMismatch, false), "${software_not_match}");
    EXPECT_STREQ(ProfileMessageKey(ProfileResult::LoadError, false), "${profile_load_error}");
    EXPECT_STREQ(ProfileMessageKey(ProfileResult::CreateError, true), "${profile_create_error}");
}

}  // namespace
}  // namespace kavelo

namespace kavelo {
namespace {

// Inputs the fuzzer found (fuzz/) and the broken files it is seeded with
// (broken/): both readers must answer them by the fuzzer's rules, into
// targets that hold settings of their own (a refusal must keep them all).
TEST(ProfileFuzzRegressions, EveryKeptInputIsHandled) {
    std::vector<std::filesystem::path> inputs;
    for (const char* folder : {"fuzz", "broken"})
        for (const auto& e : std::filesystem::directory_iterator(kProfiles / folder))
            if (e.path().filename() != "README.md") inputs.push_back(e.path());
    ASSERT_FALSE(inputs.empty());
    const DspState sceneBefore = test::StateWithOwnSettings(0);
    auto wholeBefore = std::make_unique<WholeProfile>();
    test::FillWithOwnSettings(*wholeBefore);
    auto scene = std::make_unique<DspState>();
    auto whole = std::make_unique<WholeProfile>();
    for (const std::filesystem::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string text = ReadWholeFile(input);
        EXPECT_TRUE(test::Sound(test::JudgeProfileRead(
            text.data(), text.size(), sceneBefore, *scene, &ParseSceneProfile, &SceneProfileText)));
        EXPECT_TRUE(
            test::Sound(test::JudgeProfileRead(text.data(), text.size(), *wholeBefore, *whole,
                                               &ParseWholeProfile, &WholeProfileText)));
    }
}

}  // namespace
}  // namespace kavelo
