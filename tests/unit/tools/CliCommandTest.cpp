#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>

#include "CliFixture.h"
#include "CliStateDiff.h"
#include "TempDir.h"
#include "UpgradeFiles.h"
#include "control/DspOperations.h"
#include "control/ProfileFiles.h"
#include "control/ReadBack.h"

namespace kavelo {
namespace {

using test::CliFixture;
using test::CliRun;
using test::OneLine;

class CliTest : public CliFixture {};

TEST_F(CliTest, HelpDocumentsEveryCommand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"help"}, {"--demo", "-h", "info"}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 0);
        for (const char* command :
             {"info", "dump [-o FILE.spf]", "dump --whole -o FILE.wpf", "apply FILE",
              "scene load N", "scene save N [--name NAME]", "scene delete N", "source N",
              "volume P", "response FILE.spf --channel N [--csv]", "fw check FILE", "fw flash FILE",
              "mem read ADDR", "mem write ADDR VALUE", "--trace", "--demo"}) {
            EXPECT_NE(run.out.find(command), std::string::npos) << command;
        }
    }
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class CliUsageTest : public CliFixture, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageTest, RefusesWithOneLineAndCodeOneBeforeTouchingTheAmplifier) {
    const CliRun run = Run(GetParam().args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(OneLine(run.err)) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(amp->WriteCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliUsageTest,
    ::testing::Values(UsageCase{"Nothing", {}}, UsageCase{"UnknownCommand", {"--demo", "bogus"}},
                      UsageCase{"UnknownOption", {"--fast", "info"}},
                      UsageCase{"DemoAndDevice", {"--demo", "--device", "info"}},
                      UsageCase{"TimeoutWithoutNumber", {"--timeout", "soon", "info"}},
                      UsageCase{"InfoWithArgument", {"--demo", "info", "now"}},
                      UsageCase{"SceneZero", {"--demo", "scene", "load", "0"}},
                      UsageCase{"SceneEleven", {"--demo", "scene", "save", "11"}},
                      UsageCase{"SceneUnknownAction", {"--demo", "scene", "copy", "3"}},
                      UsageCase{"NameOnLoad", {"--demo", "scene", "load", "3", "--name", "x"}},
                      UsageCase{"NameWithoutValue", {"--demo", "scene", "save", "3", "--name"}},
                      UsageCase{"SourceNine", {"--demo", "source", "9"}},
                      UsageCase{"VolumeAboveForty", {"--demo", "volume", "41"}},
                      UsageCase{"VolumeNotANumber", {"--demo", "volume", "loud"}},
                      UsageCase{"MemReadWithoutAddress", {"--demo", "mem", "read"}},
                      UsageCase{"MemWriteWithoutValue", {"--demo", "mem", "write", "0x10"}},
                      UsageCase{"MemAddressBeyond32Bits", {"--demo", "mem", "read", "0x100000000"}},
                      UsageCase{"ResponseWithoutChannel", {"response", "a.spf"}},
                      UsageCase{"ResponseChannelNine", {"response", "a.spf", "--channel", "9"}},
                      UsageCase{"DumpWithArgument", {"--demo", "dump", "x"}},
                      UsageCase{"ApplyWithoutFile", {"--demo", "apply"}},
                      UsageCase{"FwWithoutFile", {"fw", "check"}},
                      UsageCase{"FwUnknownAction", {"fw", "erase", "x"}}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

// The failures of the connection, each with its own exit code and one line.
struct ConnectCase {
    const char* name;
    void (*setUp)(VirtualAmplifier&);
    int code;
};
void PrintTo(const ConnectCase& c, std::ostream* os) { *os << c.name; }

class CliConnectTest : public CliFixture, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(CliConnectTest, EveryDeviceCommandReportsTheConnectionFailure) {
    GetParam().setUp(*amp);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info"}, {"dump"}, {"volume", "20"}, {"scene", "load", "1"}}) {
        std::vector<std::string> all = {"--demo", "--timeout", "50"};
        all.insert(all.end(), args.begin(), args.end());
        const CliRun run = Run(all);
        EXPECT_EQ(run.code, GetParam().code) << args[0] << ": " << run.err;
        EXPECT_TRUE(OneLine(run.err)) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliConnectTest,
    ::testing::Values(ConnectCase{"NoAmplifier", [](VirtualAmplifier& a) { a.Unplug(); }, 2},
                      ConnectCase{"Silent", [](VirtualAmplifier& a) { a.SetSilent(true); }, 2},
                      ConnectCase{"WrongModel", [](VirtualAmplifier& a) { a.SetModel(86); }, 3}),
    [](const ::testing::TestParamInfo<ConnectCase>& info) { return info.param.name; });

TEST_F(CliTest, SilentAmplifierCostsOnlyTheGivenWait) {
    amp->SetSilent(true);
    amp->TakeLongestReadWaitMs();
    EXPECT_EQ(Run({"--demo", "--timeout", "100", "info"}).code, 2);
    // No read was asked to wait longer than the given time-out (the reply
    // time-out of the amplifier is 10 s).
    const int longest = amp->TakeLongestReadWaitMs();
    EXPECT_GT(longest, 0);
    EXPECT_LE(longest, 100);
}

TEST_F(CliTest, LoaderModeIsShownAndRefusesSettings) {
    amp->SetLoaderMode(true);
    const CliRun info = Run({"--demo", "info"});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("loader mode: yes"), std::string::npos) << info.out;
    const CliRun volume = Run({"--demo", "volume", "10"});
    EXPECT_EQ(volume.code, 4);
    EXPECT_TRUE(OneLine(volume.err));
}

TEST_F(CliTest, TraceShowsTheExactReportsBothWays) {
    const CliRun run = Run({"--demo", "--trace", "volume", "40"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::istringstream lines(run.err);
    std::vector<std::string> written, read;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("> ", 0) == 0) written.push_back(line.substr(2));
        if (line.rfind("< ", 0) == 0) read.push_back(line.substr(2));
    }
    const std::string padding = [] {
        std::string p;
        for (int i = 0; i < 56; ++i) p += " 00";
        return p;
    }();
    ASSERT_GE(written.size(), 3u);
    // PC_Connect(1), the handshake and Main_Volume_Ctrl 0 (+6 dB), whole
    // 65-byte reports.
    EXPECT_EQ(written[0], "00 AA 55 04 03 1F BB 01 1E" + padding);
    EXPECT_EQ(written[1].substr(0, 23), "00 AA 55 03 03 08 BB 37");
    EXPECT_EQ(written[2].substr(0, 26), "00 AA 55 04 01 02 BB 00 3E");
    EXPECT_EQ(written[2].size(), 65u * 3 - 1);
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(read[0].substr(0, 5), "AA 55");
}

TEST_F(CliTest, InfoListsIdentityAndScenes) {
    amp->SetVersions(1, 17);
    ASSERT_EQ(Run({"--demo", "scene", "save", "2", "--name", "Club"}).code, 0);
    const CliRun run = Run({"--demo", "info"});
    ASSERT_EQ(run.code, 0) << run.err;
    for (const char* line : {"model: 87", "firmware: 1.17", "loader mode: no", "valid scenes: 2",
                             "scene 2: stored, \"Club\"", "scene 10: empty"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    }
}

TEST_F(CliTest, SceneSaveLoadAndDelete) {
    EXPECT_EQ(Run({"--demo", "scene", "load", "4"}).code, 4);  // nothing stored yet
    const CliRun save = Run({"--demo", "scene", "save", "4"});
    EXPECT_EQ(save.code, 0) << save.err;
    const CliRun load = Run({"--demo", "scene", "load", "4"});
    EXPECT_EQ(load.code, 0) << load.err;
    EXPECT_NE(load.out.find("loaded scene 4"), std::string::npos);
    EXPECT_EQ(Run({"--demo", "scene", "delete", "4"}).code, 0);
    EXPECT_EQ(Run({"--demo", "scene", "load", "4"}).code, 4);
}

TEST_F(CliTest, SourceAndVolume) {
    const CliRun source = Run({"--demo", "source", "2"});
    EXPECT_EQ(source.code, 0) << source.err;
    EXPECT_NE(source.out.find("source 2 (source_bt)"), std::string::npos) << source.out;
    const CliRun volume = Run({"--demo", "volume", "0"});
    EXPECT_EQ(volume.code, 0) << volume.err;
    EXPECT_EQ(volume.out, "main volume 0 (off)\n");
}

TEST_F(CliTest, MemoryWordsWriteAndReadBack) {
    const CliRun write = Run({"--demo", "mem", "write", "0x1000", "0x12345678"});
    EXPECT_EQ(write.code, 0) << write.err;
    // 4096 decimal is the same address; "1f" reads as 1 as in the memory window.
    const CliRun read = Run({"--demo", "mem", "read", "4096"});
    EXPECT_EQ(read.code, 0) << read.err;
    EXPECT_EQ(read.out, "0x00001000: 0x12345678\n");
    const CliRun high = Run({"--demo", "mem", "write", "1f", "0xffffffff"});
    EXPECT_EQ(high.code, 0) << high.err;
    EXPECT_EQ(high.out, "0x00000001: 0xffffffff\n");
}

class CliFileTest : public CliTest {
protected:
    std::string Path(const char* name) { return (dir.path() / name).string(); }
    TempDir dir;
};

TEST_F(CliFileTest, ResponseOfAChannelFromAProfile) {
    DspState state;
    for (EqBand& band : state.channels[2].bands) band.eqGain = 0.0f;
    state.channels[2].bypass = 0;
    state.channels[2].bands[0] = EqBand{6.0f, 2.0f, 1000, 1};
    ASSERT_EQ(WriteSceneProfile(state, Path("a.spf")), ProfileResult::Ok);

    const CliRun run = Run({"response", Path("a.spf"), "--channel", "3", "--csv"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "frequency_hz,db");
    int points = 0;
    double peakF = 0, peakDb = -1e9;
    while (std::getline(lines, line)) {
        const double f = std::stod(line);
        const double db = std::stod(line.substr(line.find(',') + 1));
        if (db > peakDb) peakDb = db, peakF = f;
        ++points;
    }
    EXPECT_EQ(points, 512);
    EXPECT_NEAR(peakDb, 6.0, 0.2);
    EXPECT_NEAR(std::log2(peakF / 1000.0), 0.0, 0.05);

    // Another channel of the same file is flat there.
    const CliRun flat = Run({"response", Path("a.spf"), "--channel", "4"});
    ASSERT_EQ(flat.code, 0);
    EXPECT_EQ(std::count(flat.out.begin(), flat.out.end(), '\n'), 512);
}

TEST_F(CliFileTest, RefusedFilesGiveCodeThree) {
    { std::ofstream(Path("broken.spf")) << "{\"model\":87"; }
    DspState other;
    ASSERT_EQ(WriteSceneProfile(other, Path("other.spf")), ProfileResult::Ok);
    std::string text = ReadWholeFile(Path("other.spf"));
    text.replace(text.find("\"model\":87"), 10, "\"model\":86");
    { std::ofstream(Path("other.spf"), std::ios::binary) << text; }

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"response", Path("missing.spf"), "--channel", "1"},
          {"response", Path("broken.spf"), "--channel", "1"},
          {"response", Path("other.spf"), "--channel", "1"},
          {"--demo", "apply", Path("broken.spf")},
          {"--demo", "apply", Path("other.spf")},
          {"--demo", "apply", Path("missing.wpf")}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 3) << args[1] << " " << args[2];
        EXPECT_TRUE(OneLine(run.err)) << run.err;
    }
    // Nothing reached the amplifier for a refused file.
    EXPECT_EQ(amp->WriteCount(), 0u);
}

TEST_F(CliFileTest, FirmwareCheckExitCodeIsTheCheckResult) {
    ContainerParts mcu;
    mcu.data = PatternBytes(300);
    WriteBytes(Path("MCU_UPG.BIN"), MakeContainer(mcu));
    auto bad = MakeContainer(mcu);
    bad[10] ^= 1;
    WriteBytes(Path("bad_mcu_upg.bin"), bad);
    ContainerParts dsp;
    dsp.kind = 2;
    dsp.data = PatternBytes(200, 2);
    WriteBytes(Path("UPG_FW.bin"), MakeCombined(0x73, 0, {MakeContainer(mcu), MakeContainer(dsp)}));
    WriteBytes(Path("firmware.bin"), MakeContainer(mcu));

    const struct {
        const char* file;
        int code;
        const char* says;
    } cases[] = {{"MCU_UPG.BIN", 0, "valid MCU application image, MCU image 300 bytes"},
                 {"UPG_FW.bin", 0, "valid combined MCU and DSP file"},
                 {"bad_mcu_upg.bin", 2, "refused"},
                 {"firmware.bin", 2, "not an upgrade file name"},
                 {"FLASH_UPG.BIN", 1, "cannot be opened"}};
    for (const auto& c : cases) {
        const CliRun run = Run({"fw", "check", Path(c.file)});
        EXPECT_EQ(run.code, c.code) << c.file;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(run.code == 0 ? run.err : run.out, "") << c.file;
    }
    // A bad file is refused by flash before the amplifier is touched.
    EXPECT_EQ(Run({"--demo", "fw", "flash", Path("bad_mcu_upg.bin")}).code, 3);
    EXPECT_EQ(amp->WriteCount(), 0u);
}

TEST_F(CliFileTest, FirmwareFlashRunsTheTransferOrReportsTheRefusal) {
    ContainerParts mcu;
    mcu.start = {0x4D, 0x43, 0x55, 0x01};
    mcu.data = PatternBytes(300);
    WriteBytes(Path("MCU_UPG.BIN"), MakeContainer(mcu));

    const CliRun flash = Run({"--demo", "fw", "flash", Path("MCU_UPG.BIN")});
    EXPECT_EQ(flash.code, 0) << flash.err;
    EXPECT_NE(flash.out.find("firmware upgrade complete"), std::string::npos) << flash.out;

    auto refusing = std::make_shared<VirtualAmplifier>();
    refusing->SetRefuseUpgradeStart(true);
    const CliRun refused = RunWith(refusing, {"--demo", "fw", "flash", Path("MCU_UPG.BIN")});
    EXPECT_EQ(refused.code, 4);
    EXPECT_TRUE(OneLine(refused.err)) << refused.err;
}

// A state of non-default settings that the wire carries unchanged both ways:
// every Q the model keeps (tenths from 0.5 to 9.0) somewhere. Gains and the
// main volume travel as attenuations and come back as levels.
DspState Tuned(int variant) {
    DspState s;
    for (int c = 0; c < kOutputChannels; ++c) {
        for (int b = 0; b < kEqBands; ++b)
            s.channels[c].bands[b].eqFactor =
                QuantiseEqFactor((5 + (b + kEqBands * c + variant) % 86) / 10.0);
    }
    s.mainVolume = 33;  // a position the amplifier reports back unchanged
    s.mainVolumeMute = variant % 2;
    s.channels[0].gain = -12.0f;
    s.channels[5].gain = -variant;
    s.channels[1].mute = 1;
    s.channels[3].phase = 1;
    s.channels[4].delay = 1.25f + variant;
    s.channels[2].bypass = 0;
    s.channels[2].bands[4] = EqBand{-3.5f, 2.0f, 1000 + variant, 1};
    s.channels[0].crossover.hp = CrossoverFilter{80 + variant, 1, 2, 0};
    s.outputs[7] = 20;
    s.inputs[5][6] = 0x30;
    s.inputMixVolume[5][4][6] = 80 - variant;
    return s;
}

TEST_F(CliFileTest, DumpThenApplyToAnotherAmplifierGivesTheSameDump) {
    ASSERT_EQ(WriteSceneProfile(Tuned(0), Path("tuned.spf")), ProfileResult::Ok);
    const CliRun first = Run({"--demo", "apply", Path("tuned.spf")});
    ASSERT_EQ(first.code, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("every field reads back as written"), std::string::npos);

    const CliRun dump = Run({"--demo", "dump", "-o", Path("dump.spf")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    DspState read;
    ASSERT_EQ(ReadSceneProfile(Path("dump.spf"), read), ProfileResult::Ok);
    EXPECT_FLOAT_EQ(read.channels[4].delay, 1.25f);
    EXPECT_EQ(read.channels[0].crossover.hp.fs, 80);
    EXPECT_EQ(read.inputMixVolume[5][4][6], 80);
    EXPECT_EQ(read.mainVolume, 33);
    EXPECT_FLOAT_EQ(read.channels[0].gain, -12.0f);

    auto second = std::make_shared<VirtualAmplifier>();
    const CliRun apply = RunWith(second, {"--demo", "apply", Path("dump.spf")});
    ASSERT_EQ(apply.code, 0) << apply.out << apply.err;
    const CliRun again = RunWith(second, {"--demo", "dump"});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_TRUE(again.out == ReadWholeFile(Path("dump.spf"))) << "dumps differ";
    // Standard output carries exactly the file's bytes.
    EXPECT_TRUE(Run({"--demo", "dump"}).out == ReadWholeFile(Path("dump.spf")));
}

TEST_F(CliFileTest, WholeDumpThenApplyCarriesTheStoredScenes) {
    WholeProfile whole;
    whole.live = Tuned(0);
    for (int k = 0; k < kSceneSlots; ++k) {
        whole.scenes[k] = Tuned(k + 1);
        whole.names[k] = {static_cast<std::uint8_t>('A' + k), 0, 'x', 0};
    }
    ASSERT_EQ(WriteWholeProfile(whole, Path("all.wpf")), ProfileResult::Ok);
    const CliRun first = Run({"--demo", "apply", Path("all.wpf")});
    ASSERT_EQ(first.code, 0) << first.out << first.err;

    const CliRun dump = Run({"--demo", "dump", "--whole", "-o", Path("dump.wpf")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    WholeProfile read;
    ASSERT_EQ(ReadWholeProfile(Path("dump.wpf"), read), ProfileResult::Ok);
    EXPECT_EQ(SceneNameToUtf8(read.names[2]), "Cx");
    EXPECT_EQ(read.scenes[6].inputMixVolume[5][4][6], 73);
    EXPECT_EQ(read.scenes[9].channels[2].bands[4].freq, 1010);
    EXPECT_FLOAT_EQ(read.scenes[6].channels[5].gain, -7.0f);

    auto second = std::make_shared<VirtualAmplifier>();
    const CliRun apply = RunWith(second, {"--demo", "apply", Path("dump.wpf")});
    ASSERT_EQ(apply.code, 0) << apply.out << apply.err;
    const CliRun again = RunWith(second, {"--demo", "dump", "--whole"});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_TRUE(again.out == ReadWholeFile(Path("dump.wpf"))) << "dumps differ";
}

TEST_F(CliFileTest, ApplyReportsWhatTheAmplifierCannotHold) {
    // Eight CJK characters fill the name slot but need 24 bytes on the
    // amplifier, which keeps 16: the name reads back cut.
    WholeProfile whole;
    for (int i = 0; i < 8; ++i) {
        whole.names[0][2 * i] = 0x2D;
        whole.names[0][2 * i + 1] = 0x4E;
    }
    ASSERT_EQ(WriteWholeProfile(whole, Path("long.wpf")), ProfileResult::Ok);
    const CliRun run = Run({"--demo", "apply", Path("long.wpf")});
    EXPECT_EQ(run.code, 4);
    // Exactly one difference: the name; nothing else of the file was lost.
    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);)
        if (line.find(": file") != std::string::npos) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u) << run.out;
    EXPECT_EQ(lines[0].rfind("scene 1 name: file", 0), 0u) << lines[0];
    EXPECT_TRUE(OneLine(run.err)) << run.err;
}

// Q goes out in tenths and the amplifier reports hundredths: apply and diff
// compare it exactly, for values typed in this application and for the floats
// a profile of the original application holds, and a Q the amplifier holds
// otherwise is a difference.
TEST_F(CliFileTest, ApplyAndDiffCompareQExactly) {
    const struct {
        const char* inFile;  // as the file's JSON holds it
        float kept;
    } rows[] = {{"0.5", 0.5f},
                {"0.69999998807907104", 0.7f},
                {"1.5", 1.5f},
                {"2.5", 2.5f},
                {"5.8000001907348633", 5.8f},
                {"2.5499999523162842", 2.5f},
                {"2.56", 2.6f},
                {"8.9", 8.9f},
                {"9", 9.0f}};
    std::string text = SceneProfileText(DspState{});
    const std::string key = "\"eqFactor\":5.8000001907348633";
    std::size_t at = 0;
    for (const auto& row : rows) {  // the first bands of output 1
        at = text.find(key, at);
        ASSERT_NE(at, std::string::npos);
        const std::string value = std::string("\"eqFactor\":") + row.inFile;
        text.replace(at, key.size(), value);
        at += value.size();
    }
    std::ofstream(Path("q.spf"), std::ios::binary) << text;
    const CliRun run = Run({"--demo", "apply", Path("q.spf")});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    const CliRun same = Run({"--demo", "diff", Path("q.spf"), "amp"});
    EXPECT_EQ(same.code, 0) << same.out << same.err;
    ASSERT_EQ(Run({"--demo", "dump", "-o", Path("q-dump.spf")}).code, 0);
    DspState read;
    ASSERT_EQ(ReadSceneProfile(Path("q-dump.spf"), read), ProfileResult::Ok);
    for (std::size_t b = 0; b < std::size(rows); ++b) {
        EXPECT_EQ(read.channels[0].bands[b].eqFactor, rows[b].kept) << rows[b].inFile;
        const AmpEqBand held = amp->LiveState().settings.channels[0].bands[b];
        EXPECT_EQ(held.qInteger * 100 + held.qFraction, std::lround(rows[b].kept * 100))
            << rows[b].inFile;
    }

    // The amplifier holds 2.05 where the file says 2.5: one difference.
    AmpLiveState live = amp->LiveState();
    live.settings.channels[0].bands[3].qFraction = 5;
    amp->SetLiveState(live);
    const CliRun differs = Run({"--demo", "diff", Path("q.spf"), "amp"});
    EXPECT_EQ(differs.code, 1) << differs.out << differs.err;
    EXPECT_NE(differs.out.find("1 field(s) differ"), std::string::npos) << differs.out;
    EXPECT_NE(differs.out.find("Q"), std::string::npos) << differs.out;
}

// Positions the protocol cannot carry: 6 - dB is cut to a whole byte, so
// position 40 (+6 dB) comes back as 39 and 0 ("off") as 1.
TEST_F(CliFileTest, ApplyExpectsTheMainVolumeAsTheWireCarriesIt) {
    const struct {
        int written;
        int readBack;
    } rows[] = {
        {0, 1},    // -60 dB: 66 on the wire, read as -60 dB, the lowest position above off
        {27, 28},  // -0.96 dB: 6.96 cut to 6, read as 0 dB, which is position 28.5
        {33, 33},  // +2.64 dB: 3.36 cut to 3, read as +3 dB, position 33.7
        {40, 39},  // +6 dB: 0 on the wire, read as +6 dB, position 39.8
    };
    for (const auto& row : rows) {
        const int position = row.written;
        DspState s = Tuned(0);
        s.mainVolume = position;
        ASSERT_EQ(WriteSceneProfile(s, Path("volume.spf")), ProfileResult::Ok);
        const CliRun run = Run({"--demo", "apply", Path("volume.spf")});
        EXPECT_EQ(run.code, 0) << position << ": " << run.out << run.err;
        DspState read;
        ASSERT_EQ(Run({"--demo", "dump", "-o", Path("volume-dump.spf")}).code, 0);
        ASSERT_EQ(ReadSceneProfile(Path("volume-dump.spf"), read), ProfileResult::Ok);
        EXPECT_EQ(read.mainVolume, row.readBack) << position;
    }
}

// What apply reports when the amplifier holds one field differently: exactly
// one line naming the output (and band), the file's value and the amplifier's.
TEST(CliStateDiff, EachSingleFieldMismatchIsOneLine) {
    struct Row {
        const char* name;
        std::function<void(DspState&)> change;
        const char* line;
    };
    const std::vector<Row> rows = {
        {"gain", [](DspState& s) { s.channels[1].gain = -7.0f; },
         "live: output 2 gain: file 0, amplifier -7"},
        {"delay", [](DspState& s) { s.channels[3].delay = 2.5f; },
         "live: output 4 delay: file 0, amplifier 2.5"},
        {"high-pass frequency", [](DspState& s) { s.channels[0].crossover.hp.fs = 90; },
         "live: output 1 high-pass frequency: file 20, amplifier 90"},
        {"low-pass type", [](DspState& s) { s.channels[0].crossover.lp.type = 3; },
         "live: output 1 low-pass type: file 2, amplifier 3"},
        {"high-pass slope", [](DspState& s) { SetFilterSlope(s.channels[0].crossover.hp, 6); },
         "live: output 1 high-pass slope: file 4, amplifier 6"},
        {"band frequency", [](DspState& s) { s.channels[2].bands[4].freq = 1200; },
         "live: output 3 band 5 frequency: file 50, amplifier 1200"},
        {"band Q", [](DspState& s) { s.channels[2].bands[4].eqFactor = 2.0f; },
         "live: output 3 band 5 Q: file 5.8, amplifier 2"},
        {"band gain", [](DspState& s) { s.channels[2].bands[4].eqGain = -3.5f; },
         "live: output 3 band 5 gain: file 0, amplifier -3.5"},
        {"routing", [](DspState& s) { s.inputs[5][6] = 0x3; },
         "live: output 7 source 5 inputs: file 1, amplifier 3"},
        {"role", [](DspState& s) { s.outputs[7] = 9; },
         "live: output 8 role: file 23, amplifier 9"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DspState file;
        DspState amp = file;
        r.change(amp);
        std::vector<std::string> lines;
        cli::CompareStates("live", file, amp, true, lines);
        EXPECT_EQ(lines, std::vector<std::string>{r.line});
    }
}

// The amplifier goes away in the middle of a whole-configuration write: the
// write is given up, the exit code says the amplifier failed, and the one
// error line says that the amplifier holds part of the profile.
// A whole profile whose scene saves the amplifier refuses: every command was
// answered, yet the slots were not stored, and apply says how many.
TEST_F(CliFileTest, ApplyReportsScenesTheAmplifierDidNotStore) {
    WholeProfile whole;
    ASSERT_EQ(WriteWholeProfile(whole, Path("all.wpf")), ProfileResult::Ok);
    amp->RefuseSceneSaves(3);
    const CliRun run = Run({"--demo", "apply", Path("all.wpf")});
    EXPECT_EQ(run.code, 4);
    EXPECT_EQ(run.out, "3 scene(s) were not stored by the amplifier\n");
    EXPECT_EQ(run.err, "kavelo-cli: 1 field(s) differ from the profile after writing it\n");
}

TEST_F(CliFileTest, ApplyReportsAWriteCutShort) {
    WholeProfile whole;
    ASSERT_EQ(WriteWholeProfile(whole, Path("cut.wpf")), ProfileResult::Ok);
    amp->UnplugAtExchange(500);
    const CliRun run = Run({"--demo", "apply", Path("cut.wpf")});
    EXPECT_EQ(run.code, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("the amplifier holds part of the profile"), std::string::npos)
        << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
    EXPECT_LT(amp->WriteCount(), 510u);  // nothing more was tried after the misses
}

// A read-back that does not finish writes no file at all: half a dump would
// load as a wrong setup.
TEST_F(CliFileTest, DumpCutShortWritesNoFile) {
    for (const char* option : {"", "--whole"}) {
        SCOPED_TRACE(option);
        amp = std::make_shared<VirtualAmplifier>();
        amp->UnplugAtExchange(40);
        std::vector<std::string> args = {"--demo", "dump", "-o", Path("cut.wpf")};
        if (*option) args.push_back(option);
        const CliRun run = Run(args);
        EXPECT_EQ(run.code, 2) << run.err;
        EXPECT_TRUE(OneLine(run.err)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(Path("cut.wpf")));
    }
}

// Link and lock are not part of a profile write: the application sends
// neither, so apply says so without failing.
TEST_F(CliFileTest, ApplyNotesLinkAndLockItDoesNotWrite) {
    DspState s = Tuned(0);
    s.linkMode = 1;
    s.lockMode = 1;
    ASSERT_EQ(WriteSceneProfile(s, Path("linked.spf")), ProfileResult::Ok);
    const CliRun run = Run({"--demo", "apply", Path("linked.spf")});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("note: live: link mode: file 1, amplifier 0"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("note: live: lock: file 1, amplifier 0"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kavelo
