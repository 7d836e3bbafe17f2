#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "AmplifierPresets.h"
#include "RecordingSink.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "device/DeviceLink.h"
#include "sim/DemoAmplifier.h"
#include "sim/VirtualAmplifierState.h"

namespace kavelo {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::size_t FilesIn(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) n += entry.is_regular_file();
    return n;
}

TEST(AmplifierStateFile, RichStateRoundTripsAndTheFolderIsCreated) {
    TempDir dir;
    const fs::path path = dir.path() / "not" / "yet" / "state.json";
    const AmplifierSnapshot rich = test::RichAmplifierSnapshot();
    ASSERT_EQ(SaveAmplifierState(rich, path.string()), "");
    EXPECT_EQ(FilesIn(path.parent_path()), 1u);  // no temporary file left behind

    AmplifierSnapshot loaded = FactorySnapshot();
    ASSERT_EQ(LoadAmplifierState(path.string(), loaded), "");
    EXPECT_EQ(loaded, rich);
    EXPECT_NE(loaded, FactorySnapshot());
}

// A state file of version 1 as the demo mode saved it, kept in the tests.
const fs::path kVersion1File = fs::path(KAVELO_FIXTURES_DIR) / "sim" / "amplifier-state-v1.json";

// What that file holds.
AmplifierSnapshot Version1Snapshot() {
    AmplifierSnapshot s{};
    s.identity.loaderMode = true;
    s.live.settings.channels[0].bands[0] = AmpEqBand{20, 9, 5, 30, 7};
    s.live.settings.channels[0].delay = {1, 2, 3};
    s.live.mainVolume = 0xF4;
    s.scenes[0].name = {'R', 'o', 'a', 'd', 0};
    s.scenes[0].valid = true;
    s.scenes[9].settings.lock = 0x1234;
    s.currentScene = 1;
    s.memory = {{0x00401234u, 0xCAFEF00Du}, {0xFFFFFFFFu, 0u}};
    return s;
}

// Saved demo states must keep loading: a file written by an earlier build
// loads to the state it was written from.
TEST(AmplifierStateFile, AVersion1FileLoadsToItsState) {
    AmplifierSnapshot loaded = FactorySnapshot();
    ASSERT_EQ(LoadAmplifierState(kVersion1File.string(), loaded), "");
    EXPECT_EQ(loaded, Version1Snapshot());
    EXPECT_TRUE(loaded.identity.loaderMode);
    EXPECT_EQ(loaded.live.settings.channels[0].delay, (std::array<std::uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(loaded.scenes[9].settings.lock, 0x1234);
    EXPECT_EQ(loaded.memory.at(0x00401234u), 0xCAFEF00Du);
}

// The writer still writes that format byte for byte; the excerpts show where
// a change landed.
TEST(AmplifierStateFile, TextIsPinnedByteForByte) {
    const std::string text = AmplifierStateText(Version1Snapshot());

    const std::string head =
        R"({"identity":{"model":87,"masterVersion":1,"slaveVersion":18,"loaderMode":1,)"
        R"("flashVersion":[1,0,0,0]},"live":{"settings":{"channels":[{"highPass":{"type":2,)"
        R"("frequency":20,"slope":0},"lowPass":{"type":2,"frequency":20,"slope":0},"bands":[)"
        R"({"frequency":20,"qInteger":9,"qFraction":5,"gainInteger":30,"gainTenths":7},)"
        R"({"frequency":1000,"qInteger":5,"qFraction":80,"gainInteger":18,"gainTenths":0},)";
    EXPECT_EQ(text.substr(0, head.size()), head);
    for (const char* excerpt :
         {R"("delay":[1,2,3],"trim":0,"mute":0,"phase":0,"type":0,"solo":0,"eqBypass":1},)",
          R"("eqBypass":1}],"mix":[[0,0,0,0,0,0,0,0],[0,0,0,0,0,0,0,0],)",
          R"("lock":0},"source":81,"mainVolume":244,"subVolume":0,"mute":0,"ampMute":0,)"
          R"("speakerConfig":0,"inputThreshold":196},"scenes":[{"settings":{"channels":[)",
          R"("name":[82,111,97,100,0,0,0,0,0,0,0,0,0,0,0,0],"valid":1},{"settings":)"}) {
        EXPECT_NE(text.find(excerpt), std::string::npos) << excerpt;
    }
    const std::string tail =
        R"("linkPairs":[[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0]],"lock":4660},)"
        R"("name":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"valid":0}],"currentScene":1,)"
        R"("memory":[[4198964,3405705229],[4294967295,0]],)"
        R"("format":"kavelo-virtual-amplifier","version":1})";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_TRUE(text == ReadWholeFile(kVersion1File)) << "the writer no longer writes version 1";
}

struct BrokenCase {
    const char* name;
    std::string from, to;  // text replaced in a valid file
    const char* error;     // part of the reported reason
};
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class BrokenStateFile : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenStateFile, IsRejectedWithAReasonAndChangesNothing) {
    const BrokenCase& c = GetParam();
    std::string text = AmplifierStateText(test::RichAmplifierSnapshot());
    const auto at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, c.from.size(), c.to);

    TempDir dir;
    const fs::path path = dir.path() / "state.json";
    WriteText(path, text);
    AmplifierSnapshot snapshot = FactorySnapshot();
    const std::string error = LoadAmplifierState(path.string(), snapshot);
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(snapshot, FactorySnapshot());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenStateFile,
    ::testing::Values(
        BrokenCase{"truncated", "\"memory\"", "", "not valid JSON"},
        BrokenCase{"other_format", "kavelo-virtual-amplifier", "kavelo-profile",
                   "not a virtual amplifier state file"},
        BrokenCase{"newer_version", "\"version\":1", "\"version\":2", "unsupported"},
        BrokenCase{"missing_key", "\"currentScene\":5,", "", "state.currentScene: missing"},
        BrokenCase{"out_of_range", "\"currentScene\":5", "\"currentScene\":300", "currentScene"},
        BrokenCase{"fraction", "\"currentScene\":5", "\"currentScene\":5.5", "currentScene"},
        BrokenCase{"short_array", "\"flashVersion\":[1,0,0,0]", "\"flashVersion\":[1,0,0]",
                   "state.identity.flashVersion: expected an array of 4"},
        BrokenCase{"wrong_type", "\"loaderMode\":0", "\"loaderMode\":\"no\"", "loaderMode"},
        BrokenCase{"bad_memory", "[4660,1]", "[4660]", "state.memory"}));

TEST(AmplifierStateFile, MissingFileIsReportedNotCreated) {
    TempDir dir;
    const fs::path path = dir.path() / "absent.json";
    AmplifierSnapshot snapshot = FactorySnapshot();
    const std::string error = LoadAmplifierState(path.string(), snapshot);
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(path));
}

TEST(AmplifierStateFile, FailedSaveIsReportedAndLeavesNothingBehind) {
    TempDir dir;
    // A folder in the file's place: the final rename cannot replace it.
    const fs::path path = dir.path() / "state.json";
    fs::create_directories(path / "occupied");
    const std::string error = SaveAmplifierState(test::RichAmplifierSnapshot(), path.string());
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(path / "occupied"));
    EXPECT_EQ(FilesIn(dir.path()), 0u);  // the temporary file is gone
}

// The demo amplifier keeps its scenes across runs of the application.
class DemoAmplifierTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string path = (dir.path() / "kavelo" / "demo-amplifier.json").string();
};

TEST_F(DemoAmplifierTest, SavesAfterSceneCommandsAndOnDestruction) {
    {
        DemoAmplifier demo(path);
        EXPECT_NE(demo.LoadError(), "");  // first run: nothing saved yet
        DeviceLink link(demo.Amplifier());
        link.OpenHIDDevice();
        ChannelArray<float> trims{};
        trims.fill(7.0f);  // 0 - gain: the amplifier keeps -7 dB
        ASSERT_TRUE(link.Trim_Ctrl(0, 0, 0, 7, trims, true));
        ASSERT_TRUE(link.SaveScene(4, 0));

        // Saved as soon as the scene was stored, not only at the end.
        AmplifierSnapshot onDisk = FactorySnapshot();
        ASSERT_EQ(LoadAmplifierState(path, onDisk), "");
        EXPECT_TRUE(onDisk.scenes[3].valid);
        EXPECT_EQ(onDisk.scenes[3].settings.channels[0].trim, 0xF9);

        ASSERT_TRUE(link.Phase_Ctrl(0, 0, 0, 0, ChannelArray<std::uint8_t>{1}, true));
        link.CloseHIDDevice(false);
    }
    DemoAmplifier again(path);
    EXPECT_EQ(again.LoadError(), "");
    EXPECT_TRUE(again.Amplifier().StoredSceneState(4).valid);
    EXPECT_EQ(again.Amplifier().CurrentSceneId(), 4);
    EXPECT_EQ(again.Amplifier().LiveState().settings.channels[0].phase, 1);  // saved at the end
}

TEST_F(DemoAmplifierTest, BrokenFileLeavesFactorySettingsAndIsReplaced) {
    fs::create_directories(fs::path(path).parent_path());
    WriteText(path, "{\"format\":");
    {
        DemoAmplifier demo(path);
        EXPECT_NE(demo.LoadError().find("not valid JSON"), std::string::npos) << demo.LoadError();
        EXPECT_EQ(demo.Amplifier().Snapshot(), FactorySnapshot());
    }
    DemoAmplifier again(path);
    EXPECT_EQ(again.LoadError(), "");
}

TEST(DemoAmplifierPath, FollowsXdgDataHomeThenHome) {
    ScopedEnv xdg("XDG_DATA_HOME", "/data");
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(DemoAmplifier::DefaultStatePath(), "/data/kavelo/demo-amplifier.json");
    xdg.Set("");
    EXPECT_EQ(DemoAmplifier::DefaultStatePath(), "/home/u/.local/share/kavelo/demo-amplifier.json");
}

}  // namespace
}  // namespace kavelo
