#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ScriptedHidPort.h"
#include "TempDir.h"
#include "base/Log.h"
#include "device/DeviceLink.h"

// The log lines of the command builders, as service engineers read them. Each
// row's arguments differ from one another, so a value logged in the wrong
// place or taken from the wrong argument fails the row.
namespace kavelo {
namespace {

struct LogCase {
    const char* name;
    std::function<void(DeviceLink&)> call;
    std::vector<std::string> lines;  // each must appear, in this order
};
void PrintTo(const LogCase& c, std::ostream* os) { *os << c.name; }

ChannelArray<std::uint8_t> Ones() {
    ChannelArray<std::uint8_t> a{};
    a.fill(1);
    return a;
}

class DspCommandLog : public ::testing::TestWithParam<LogCase> {
protected:
    DspCommandLog() : link(port) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.OpenHIDDevice();
    }
    ~DspCommandLog() override {
        link.CloseHIDDevice(false);
        LogShutdown();
    }
    void SetUp() override { ASSERT_TRUE(InitConsoleWindow((logDir.path() / "save.log").string())); }
    std::string Log() {
        LogShutdown();
        return ReadWholeFile(logDir.path() / "save.log");
    }

    TempDir logDir;
    test::ScriptedHidPort port;
    DeviceLink link;
};

TEST_P(DspCommandLog, WritesItsLinesInOrder) {
    GetParam().call(link);
    const std::string log = Log();
    std::size_t at = 0;
    for (const std::string& line : GetParam().lines) {
        const std::size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
        at = found + line.size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, DspCommandLog,
    ::testing::Values(
        LogCase{"Source",
                [](DeviceLink& l) { l.Source_Switch_Ctrl(0x53, true); },
                {"Source_Switch_Ctrl: source(0x53)\n"}},
        LogCase{"MainVolume",
                [](DeviceLink& l) { l.Main_Volume_Ctrl(-12.5f, true); },
                {"Main_Volume_Ctrl gain:(-12.5) \n"}},
        LogCase{"MuteNow", [](DeviceLink& l) { l.Mute_Ctrl(1, true); }, {"Mute_Ctrl 1\n"}},
        LogCase{"MuteGateClosed",
                [](DeviceLink& l) { l.Mute_Ctrl(0, false); },
                {"Mute_Ctrl 0\n", "Mute_Ctrl free\n"}},
        LogCase{"MuteQueued",
                [](DeviceLink& l) {
                    l.EnableCmdQueue();
                    l.Mute_Ctrl(1, false);
                    l.DisableCmdQueue();
                },
                {"Mute_Ctrl 1\n", "Mute_Ctrl enqueued succeed\n"}},
        LogCase{"Filter",
                [](DeviceLink& l) { l.Filter_Ctrl(2, 1, 3, 2, 1, 80, 4, true); },
                {"Filter_Ctrl scene@(2), source(1), ch(3), iFilter(2), freq(80), slope(4), "
                 "type(1)\n"}},
        LogCase{"Eq",
                [](DeviceLink& l) { l.EQ_Ctrl(6, 1, 3, 5, 1000, 2.5f, -3.5f, true); },
                {"EQ_Ctrl: gain(-3.50) ,freqValue(1000) ,qValue(2.500000) @ band(5) @channel(3) "
                 "@scene(6)\n"}},
        LogCase{"Delay",
                [](DeviceLink& l) {
                    ChannelArray<float> d{};
                    d[2] = 1.25f;
                    d[3] = 2.5f;
                    l.Delay_Ctrl(4, 1, 2, 3, d, true);
                },
                {"Delay_Ctrl: scene(4), channel(2), delay(1.250)\n",
                 "Delay_Ctrl: scene(4), channel(3), delay(2.500)\n"}},
        LogCase{"Trim",
                [](DeviceLink& l) {
                    ChannelArray<float> t{};
                    t[2] = -6.0f;
                    l.Trim_Ctrl(3, 0, 2, 2, t, true);
                },
                {"destch_x = 2, dest_chy = 2\n", "Trim_Ctrl: scene(3), channel(2), trim(-6.00)\n"}},
        LogCase{"ChannelMute",
                [](DeviceLink& l) { l.Mute_Ch_Ctrl(5, 1, 4, 4, Ones(), true); },
                {"Mute_Ch_Ctrl: scene(5), channel(4), mute(1)\n"}},
        LogCase{"Phase",
                [](DeviceLink& l) { l.Phase_Ctrl(6, 1, 3, 3, Ones(), true); },
                {"Phase_Ctrl: scene(6), channel(3), phase(1)\n"}},
        LogCase{"Mix",
                [](DeviceLink& l) {
                    ChannelArray<std::uint16_t> m{};
                    m[4] = 3;
                    l.Mix_Ch_Ctrl(2, 5, 4, 4, m, true);
                },
                {"Mix_Ch_Ctrl: scene(2), source(5), output_channel(4), input_ch(0x3)\n"}},
        LogCase{"SpeakerType",
                [](DeviceLink& l) {
                    ChannelArray<std::uint8_t> t{};
                    t[2] = 9;
                    l.CH_Type_Ctrl(7, 1, 2, 2, t, true);
                },
                {"CH_Type_Ctrl scene(7), source(1), ch_x(2), ch_y(2)\n",
                 "CH_Type_Ctrl channel(2) -> t_ch_type(0x9)\n"}},
        LogCase{"Link",
                [](DeviceLink& l) {
                    l.CH_Link_Ctrl(3, 1, {{0, 1}, {4, 6}}, true);
                },
                {"CH_Link_Ctrl scene(3), link(1), ch_count(2)\n", "from ch(0) to ch(1)\n",
                 "from ch(4) to ch(6)\n"}},
        LogCase{"EqBypass",
                [](DeviceLink& l) { l.PEQ_Bypass_Ctrl(8, 1, 7, 7, Ones(), true); },
                {"PEQ_Bypass_Ctrl: scene(8), channel(7), bypass(1)\n"}},
        LogCase{"EqReset",
                [](DeviceLink& l) {
                    l.PEQ_Reset_Ctrl(9, 1, {1, 5}, true);
                },
                {"PEQ_Reset_Ctrl: scene(9), ch_count(2), ", "ch(1), ", "ch(5), ", "\n"}},
        LogCase{"Calibration",
                [](DeviceLink& l) { l.IRC_Ctrl(1, 0x00FF, 2, true); },
                {"IRC_Ctrl: on(1), ircch=0xff, irc_eqmode = 2, syncMode(1)\n"}},
        LogCase{"CalibrationModule",
                [](DeviceLink& l) { l.IRC_Sel_Test_Module(5, false); },
                {"IRC_Sel_Test_Module: Module(0x5), syncMode(0)\n"}},
        LogCase{"InputMixTrim",
                [](DeviceLink& l) {
                    ChannelArray<std::uint8_t> t{};
                    t[3] = 100;
                    t[4] = 0xF6;
                    l.Input_Mix_Trim_Ctrl(5, 1, 2, 3, 4, t, true);
                },
                {"Input_Mix_Trim_Ctrl: scene(5), source(1), in_channel(2),out_channel(3 to 4), ",
                 "out_ch(3)=trim(100), ", "out_ch(4)=trim(246), ", "\n"}},
        LogCase{"AmpMute",
                [](DeviceLink& l) { l.Amp_Mute_Ctrl(1, true); },
                {"Amp_Mute_Ctrl t_mute(1)\n"}},
        LogCase{"SetMemory",
                [](DeviceLink& l) { l.Set_MemData(0x1234, 1, true); },
                {"Get_MemData: addr(0x00001234), data(0x00000001)\n", "addr 34, 12, 00, 00\n",
                 "data 01, 00, 00, 00\n"}},
        LogCase{"GetMemory",
                [](DeviceLink& l) { l.Get_MemData(0x01020304); },
                {"Get_MemData: addr(0x01020304), data(0x00000000)\n", "addr 04, 03, 02, 01\n",
                 "data 00, 00, 00, 00\n"}},
        LogCase{"GetFilter",
                [](DeviceLink& l) { l.Get_Filter(2, 1, 4, 7); },
                {"Get_Filter: channel(4) to channel(7) @source(1), scene(2)\n"}},
        LogCase{"GetEq",
                [](DeviceLink& l) { l.Get_EQ(4, 1, 2, 8, 15); },
                {"Get_EQ: band(8) band_end(15) @channel(2) @source(1), scene(4)\n"}},
        LogCase{"GetMainVolume", [](DeviceLink& l) { l.Get_Main_Volume(); }, {"Get_Main_Volume\n"}},
        LogCase{"SaveScene",
                [](DeviceLink& l) { l.SaveScene(3, 1); },
                {"SaveScene scene(3) immediately=1\n"}},
        LogCase{"ReadScene",
                [](DeviceLink& l) { l.ReadScene(4, 255); },
                {"ReadScene from scene(4) to scene(255)\n"}},
        LogCase{"DeleteScene", [](DeviceLink& l) { l.DeleteScene(4); }, {"DeleteScene scene(4)\n"}},
        LogCase{"SceneName",
                [](DeviceLink& l) {
                    l.SetSceneName(2, {'A', 'B'});
                },
                {"SetSceneName scene(2), len(2), (name)AB\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The lock setter is the one builder that writes no line of its own.
TEST_F(DspCommandLog, LockWritesNothing) {
    link.CH_Lock_Ctrl(0, 1, true);
    EXPECT_EQ(Log().find("Lock"), std::string::npos);
}

}  // namespace
}  // namespace kavelo
