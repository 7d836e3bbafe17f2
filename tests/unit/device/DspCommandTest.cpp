#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "ScriptedHidPort.h"
#include "device/DeviceLink.h"

namespace kavelo {
namespace {

// One builder call and the command it must put on the wire: "cmd subcmd
// optype | payload | checksum" in hex, or an empty text when nothing may be
// written. The checksums are written out, worked out apart from the codec: the
// two's complement of the byte sum of the length and everything after it.
struct CommandCase {
    const char* name;
    std::function<bool(DeviceLink&)> call;
    const char* expected;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

ChannelArray<float> Floats(std::initializer_list<std::pair<int, float>> values) {
    ChannelArray<float> a{};
    for (const auto& [channel, value] : values) a[channel] = value;
    return a;
}

ChannelArray<std::uint8_t> Bytes() {
    ChannelArray<std::uint8_t> a{};
    for (int c = 0; c < kChannelSlots; ++c) a[c] = static_cast<std::uint8_t>(0xC0 + c);
    return a;
}

std::string Describe(const std::vector<std::uint8_t>& report) {
    const int length = report[3];
    return ToHex(report.data() + 4, 3) + " | " + ToHex(report.data() + 7, length - 3) + " | " +
           ToHex(report.data() + 4 + length, 1);
}

class DspCommandTest : public ::testing::TestWithParam<CommandCase> {
protected:
    DspCommandTest() : link(port) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.OpenHIDDevice();
    }
    ~DspCommandTest() override { link.CloseHIDDevice(false); }
    test::ScriptedHidPort port;
    DeviceLink link;
};

TEST_P(DspCommandTest, PutsTheExactCommandOnTheWire) {
    GetParam().call(link);
    const auto writes = port.Writes();
    if (std::string(GetParam().expected).empty()) {
        EXPECT_TRUE(writes.empty());
        return;
    }
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(Describe(writes[0]), GetParam().expected);
}

#define CASE(name, call, expected)                           \
    CommandCase {                                            \
        name, [](DeviceLink& l) { return l.call; }, expected \
    }

INSTANTIATE_TEST_SUITE_P(
    Catalogue, DspCommandTest,
    ::testing::Values(
        CASE("EqWorked", EQ_Ctrl(0, 0, 3, 5, 1000, 2.5f, -3.5f, true),
             "01 06 BB | 00 00 03 05 03 E8 02 05 0E 05 | 24"),
        CASE("EqGainFloor", EQ_Ctrl(0, 0, 0, 0, 100, 1.0f, -18.0f, true),
             "01 06 BB | 00 00 00 00 00 64 01 00 00 00 | CC"),
        CASE("EqGainTop", EQ_Ctrl(0, 0, 0, 0, 100, 1.0f, 12.0f, true),
             "01 06 BB | 00 00 00 00 00 64 01 00 1E 00 | AE"),
        CASE("DelayWorked", Delay_Ctrl(0, 0, 0, 1, Floats({{0, 1.25f}}), true),
             "01 07 BB | 00 00 00 01 01 00 FA 00 00 00 | 34"),
        CASE("DelayWholeMs", Delay_Ctrl(0, 0, 2, 2, Floats({{2, 15.0f}}), true),
             "01 07 BB | 00 00 02 02 0F 00 00 | 20"),
        CASE("DelayBelowOneMs", Delay_Ctrl(0, 0, 2, 2, Floats({{2, 0.999f}}), true),
             "01 07 BB | 00 00 02 02 00 03 E7 | 45"),
        CASE("RangeBackwardsSendsHeaderAlone", Delay_Ctrl(1, 2, 3, 2, Floats({}), true),
             "01 07 BB | 01 02 03 02 | 2E"),
        CASE("TrimWorked", Trim_Ctrl(0, 0, 2, 2, Floats({{2, -6.0f}}), true),
             "01 08 BB | 00 00 02 02 FA | 36"),
        CASE("FilterWorked", Filter_Ctrl(0, 0, 1, 2, 1, 80, 2, true),
             "01 05 BB | 00 00 01 02 01 00 50 02 | DE"),
        CASE("MemWorked", Set_MemData(0x1234, 1, true), "01 42 BB | 34 12 00 00 01 00 00 00 | B0"),
        CASE("MemQuery", Get_MemData(0x01020304), "01 42 66 | 04 03 02 01 00 00 00 00 | 42"),
        CASE("MainVolumeTowardZero", Main_Volume_Ctrl(-5.7f, true), "01 02 BB | FB | 43"),
        CASE("SourceSwitch", Source_Switch_Ctrl(3, true), "01 01 BB | 03 | 3C"),
        CASE("MuteNow", Mute_Ctrl(1, true), "01 04 BB | 01 | 3B"),
        CASE("LastChannel255IsCutTo15", Mute_Ch_Ctrl(0, 0, 14, 255, Bytes(), true),
             "01 09 BB | 00 00 0E 0F CE CF | 78"),
        CASE("FirstChannelBeyond15SendsNothing", Phase_Ctrl(0, 0, 16, 20, Bytes(), true), ""),
        CASE("Phase", Phase_Ctrl(0, 1, 0, 1, Bytes(), true), "01 0A BB | 00 01 00 01 C0 C1 | AE"),
        CASE("ChType", CH_Type_Ctrl(2, 0, 7, 7, Bytes(), true), "01 0D BB | 02 00 07 07 C7 | 58"),
        CASE("PeqBypass", PEQ_Bypass_Ctrl(0, 0, 0, 0, Bytes(), true),
             "01 12 BB | 00 00 00 00 C0 | 6A"),
        CASE("ChLink", CH_Link_Ctrl(1, 2, {{0, 1}, {2, 3}}, true),
             "01 0E BB | 01 02 02 00 01 02 03 | 21"),
        CASE("ChLock", CH_Lock_Ctrl(1, 0x0102, true), "01 0F BB | 01 01 02 | 2B"),
        CASE("PeqReset", PEQ_Reset_Ctrl(0, 1, {4, 5, 6}, true),
             "01 11 BB | 00 01 03 04 05 06 | 17"),
        CASE("Irc", IRC_Ctrl(1, 0x00FF, 2, true), "01 13 BB | 01 00 FF 02 | 28"),
        CASE("IrcModule", IRC_Sel_Test_Module(5, true), "01 1E BB | 05 | 1D"),
        CASE("InputMixTrim", Input_Mix_Trim_Ctrl(0, 1, 2, 3, 4, Bytes(), true),
             "01 24 BB | 00 01 02 03 04 C3 C4 | 85"),
        CASE("AmpMute", Amp_Mute_Ctrl(1, true), "01 3F BB | 01 | 00"),
        CASE("GetFilter", Get_Filter(0, 0, 0, 7), "01 05 66 | 00 00 00 07 | 86"),
        CASE("GetEq", Get_EQ(0, 1, 2, 0, 9), "01 06 66 | 00 01 02 00 09 | 7F"),
        CASE("GetMainVolume", Get_Main_Volume(), "01 02 66 |  | 94"),
        CASE("GetChLink", Get_CH_Link(3), "01 0E 66 | 03 | 84"),
        CASE("IrcGetSpectrum", IRC_Get_Spectrum(1, 0, 30), "01 1A 66 | 01 00 1E | 5A"),
        CASE("GetInputMixTrim", Get_Input_Mix_CH_Trim(0, 0, 1, 0, 7),
             "01 24 66 | 00 00 01 00 07 | 65"),
        CASE("GetChSolo", Get_Ch_Solo(0, 0, 0, 7), "01 34 66 | 00 00 00 07 | 57"),
        CASE("SaveScene", SaveScene(3, 1), "02 08 BB | 03 01 | 32"),
        CASE("ReadScene", ReadScene(4, 255), "02 09 BB | 04 FF | 32"),
        CASE("DeleteScene", DeleteScene(4), "02 0A BB | 04 | 31"),
        CASE("SetSceneName", SetSceneName(2, {'A', 'B'}), "02 0B BB | 02 02 41 42 | AA"),
        CASE("GetSceneName", Get_Scene_Name(1), "02 0B 66 | 01 | 88"),
        CASE("GetSceneId", Get_Scene_ID(), "02 0E 66 |  | 87"),
        CASE("GetSceneValid", Get_Scene_Valid(), "02 0F 66 |  | 86")),
    [](const auto& info) { return std::string(info.param.name); });

#undef CASE

TEST(DspCommand, WorkedEqReportIncludingChecksum) {
    test::ScriptedHidPort port;
    DeviceLink link(port);
    link.OpenHIDDevice();
    link.EQ_Ctrl(0, 0, 3, 5, 1000, 2.5f, -3.5f, true);
    ASSERT_EQ(port.Writes().size(), 1u);
    EXPECT_EQ(ToHex(port.Writes()[0].data(), 18),
              "00 AA 55 0D 01 06 BB 00 00 03 05 03 E8 02 05 0E 05 24");
    link.CloseHIDDevice(false);
}

TEST(DspCommand, MixValuesTravelAsTwoBytesOnlyAboveWidth8) {
    ChannelArray<std::uint16_t> selection{};
    selection[0] = 0x0123;
    selection[1] = 0x0045;
    for (int width : {6, 8, 9}) {
        test::ScriptedHidPort port;
        DeviceLink link(port);
        link.SetLinkConfig(87, 8, width, 0, 0);
        link.OpenHIDDevice();
        link.Mix_Ch_Ctrl(0, 1, 0, 1, selection, true);
        ASSERT_EQ(port.Writes().size(), 1u);
        EXPECT_EQ(Describe(port.Writes()[0]), width > 8 ? "01 0B BB | 00 01 00 01 01 23 00 45 | C3"
                                                        : "01 0B BB | 00 01 00 01 23 45 | C6")
            << "width " << width;
        link.CloseHIDDevice(false);
    }
}

TEST(DspCommand, QueuedSettersWithTheGateClosedWriteNothing) {
    test::ScriptedHidPort port;
    DeviceLink link(port);
    link.OpenHIDDevice();
    EXPECT_FALSE(link.EQ_Ctrl(0, 0, 0, 0, 100, 1.0f, 0.0f, false));
    EXPECT_FALSE(link.Mute_Ctrl(1, false));
    EXPECT_EQ(link.QueuedCommandCount(), 0u);
    link.RequestStop();
    link.CloseHIDDevice(false);
    EXPECT_TRUE(port.Writes().empty());
}

struct EncodingCase {
    const char* name;
    float value;
    std::vector<std::uint8_t> expected;
    int kind;  // 0 gain, 1 quality, 2 delay
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class ValueEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ValueEncodingTest, EncodesAsTheAmplifierExpects) {
    const EncodingCase& c = GetParam();
    std::vector<std::uint8_t> bytes;
    if (c.kind == 0) {
        const auto b = EncodeGain(c.value);
        bytes.assign(b.begin(), b.end());
    } else if (c.kind == 1) {
        const auto b = EncodeQuality(c.value);
        bytes.assign(b.begin(), b.end());
    } else {
        const auto b = EncodeDelay(c.value);
        bytes.assign(b.begin(), b.end());
    }
    EXPECT_EQ(ToHex(bytes.data(), bytes.size()), ToHex(c.expected.data(), c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(Values, ValueEncodingTest,
                         ::testing::Values(EncodingCase{"GainMinus3p5", -3.5f, {0x0E, 0x05}, 0},
                                           EncodingCase{"GainZero", 0.0f, {0x12, 0x00}, 0},
                                           EncodingCase{"GainPlus0p3", 0.3f, {0x12, 0x03}, 0},
                                           // Cut in single precision these went out a tenth low.
                                           EncodingCase{"GainMinus11p6", -11.6f, {0x06, 0x04}, 0},
                                           EncodingCase{"GainMinus17p7", -17.7f, {0x00, 0x03}, 0},
                                           // Whole part and tenths, to the nearest tenth.
                                           EncodingCase{"Quality2p5", 2.5f, {0x02, 0x05}, 1},
                                           EncodingCase{"Quality0p7", 0.7f, {0x00, 0x07}, 1},
                                           EncodingCase{"Quality5p8", 5.8f, {0x05, 0x08}, 1},
                                           EncodingCase{"Quality9", 9.0f, {0x09, 0x00}, 1},
                                           EncodingCase{"Quality2p49", 2.49f, {0x02, 0x05}, 1},
                                           EncodingCase{"Quality2p44", 2.44f, {0x02, 0x04}, 1},
                                           EncodingCase{"Quality30", 30.0f, {0x1E, 0x00}, 1},
                                           EncodingCase{"Delay1p25", 1.25f, {0x01, 0x00, 0xFA}, 2},
                                           EncodingCase{"Delay20", 20.0f, {0x14, 0x00, 0x00}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavelo
