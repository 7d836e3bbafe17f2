// A command value reaches the wire as the catalogue's builder writes it: scene 0,
// source 0 for per-output commands, gains as attenuations, positions as 6 - dB.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ScriptedHidPort.h"
#include "control/DspCommand.h"
#include "device/DeviceLink.h"
#include "device/PacketCodec.h"

namespace kavelo {
namespace {

struct WireCase {
    const char* name;
    DspCommand command;
    const char* expected;  // "cmd subcmd optype | payload"
};

void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }

std::string Describe(const std::vector<std::uint8_t>& report) {
    const int length = report[3];
    return ToHex(report.data() + 4, 3) + " | " + ToHex(report.data() + 7, length - 3);
}

TrimCmd Trims(int first, int last, std::initializer_list<float> gains) {
    TrimCmd c{first, last, {}};
    int n = first;
    for (float g : gains) c.gainDb[n++] = g;
    return c;
}

DelayCmd OneDelay(int channel, float ms) {
    DelayCmd c{channel, channel, {}};
    c.ms[channel] = ms;
    return c;
}

class DspCommandWire : public ::testing::TestWithParam<WireCase> {
protected:
    DspCommandWire() : link(port) {
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.OpenHIDDevice();
    }
    ~DspCommandWire() override { link.CloseHIDDevice(false); }
    test::ScriptedHidPort port;
    DeviceLink link;
};

TEST_P(DspCommandWire, WritesTheBuildersReport) {
    SendDspCommand(link, GetParam().command, true);  // nobody answers: only the write counts
    const auto writes = port.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(Describe(writes[0]), GetParam().expected) << GetParam().command;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DspCommandWire,
    ::testing::Values(
        WireCase{"TrimAsAttenuation", Trims(2, 2, {-6.0f}), "01 08 BB | 00 00 02 02 06"},
        WireCase{"TrimAllOutputs", Trims(0, 7, {0, -1, -2, -3, -4, -5, -6, -60}),
                 "01 08 BB | 00 00 00 07 00 01 02 03 04 05 06 3C"},
        WireCase{"Delay15", OneDelay(3, 15.0f), "01 07 BB | 00 00 03 03 0F 00 00"},
        WireCase{"ChannelMute", ChannelMuteCmd{4, 1}, "01 09 BB | 00 00 04 04 01"},
        WireCase{"Phase", PhaseCmd{1, 1}, "01 0A BB | 00 00 01 01 01"},
        WireCase{"HighPass", FilterCmd{1, kHighPassFilter, 2, 80, 4},
                 "01 05 BB | 00 00 01 02 02 00 50 04"},
        WireCase{"LowPass", FilterCmd{6, kLowPassFilter, 1, 20000, 0},
                 "01 05 BB | 00 00 06 01 01 4E 20 00"},
        WireCase{"Eq", EqCmd{3, 5, 1000, 2.5f, -3.5f}, "01 06 BB | 00 00 03 05 03 E8 02 05 0E 05"},
        WireCase{"PeqBypass", PeqBypassCmd{2, 1}, "01 12 BB | 00 00 02 02 01"},
        WireCase{"PeqResetPair", PeqResetCmd{{1, 2}}, "01 11 BB | 00 00 02 01 02"},
        WireCase{"Role", ChannelTypeCmd{5, 24}, "01 0D BB | 00 00 05 05 18"},
        WireCase{"LinkPair", LinkCmd{1, {{0, 1}}}, "01 0E BB | 00 01 01 00 01"},
        WireCase{"Unlink", LinkCmd{0, {}}, "01 0E BB | 00 00 00"},
        WireCase{"Lock", LockCmd{1}, "01 0F BB | 00 00 01"},
        WireCase{"MainVolumeTop", MainVolumeCmd{40}, "01 02 BB | 00"},
        WireCase{"MainVolumeOff", MainVolumeCmd{0}, "01 02 BB | 42"},
        WireCase{"MainVolumeOne", MainVolumeCmd{1}, "01 02 BB | 42"},
        WireCase{"MainVolumeTwenty", MainVolumeCmd{20}, "01 02 BB | 0C"},
        WireCase{"MainMute", MainMuteCmd{1}, "01 04 BB | 01"},
        WireCase{"AmpOff", AmpMuteCmd{1}, "01 3F BB | 01"},
        WireCase{"Mix", MixCmd{5, 2, 0x3}, "01 0B BB | 00 05 02 02 03"},
        WireCase{"InputMixTrim", InputMixTrimCmd{5, 1, 2, 100}, "01 24 BB | 00 05 01 02 02 64"},
        WireCase{"SourceSwitch", SourceSwitchCmd{0x56}, "01 01 BB | 56"}),
    [](const ::testing::TestParamInfo<WireCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavelo
