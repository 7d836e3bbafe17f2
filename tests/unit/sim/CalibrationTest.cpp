#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "LinkedAmplifier.h"

// The amplifier's scripted calibration, driven the way the calibration window
// drives it: module and start, a status poll per step, the spectrum and EQ of
// each channel when the amplifier announces them, then keep or discard.
namespace kavelo {
namespace {

constexpr std::uintptr_t kDistance = 0x14, kEqBand = 0x16, kSpectrum = 0x1A;

class CalibrationTest : public test::LinkedAmplifier, public ::testing::Test {
protected:
    // Polls until a final status (10, 11 or 12) and fetches what statuses 7
    // and 8 announce; returns the statuses in order.
    std::vector<int> Run(std::uint16_t channels, std::uint8_t module = 7) {
        EXPECT_TRUE(link.IRC_Sel_Test_Module(module, true));
        EXPECT_TRUE(link.IRC_Ctrl(1, channels, 0, true));
        std::vector<int> statuses;
        for (int poll = 0; poll < 64; ++poll) {
            const std::size_t before = irc.Messages().size();
            EXPECT_TRUE(link.IRC_Get());
            const auto messages = irc.Messages();
            for (std::size_t i = before; i < messages.size(); ++i) {
                const DeviceMessage& m = messages[i];
                if (m.wParam > 12) continue;
                statuses.push_back(static_cast<int>(m.wParam));
                const auto value = std::get<std::int64_t>(m.lParam);
                if (m.wParam == 7) {
                    for (int first = 0; first <= 108; first += 9) {
                        link.IRC_Get_Spectrum(static_cast<std::uint8_t>(value), first, first + 8);
                    }
                    link.IRC_Get_Spectrum(static_cast<std::uint8_t>(value), 117, 120);
                }
                if (m.wParam == 8) {
                    link.IRC_Get_EQ(static_cast<std::uint8_t>(value), 0, 5);
                    link.IRC_Get_EQ(static_cast<std::uint8_t>(value), 6, 10);
                }
                if (m.wParam >= 10) return statuses;
            }
        }
        ADD_FAILURE() << "no final status";
        return statuses;
    }
    std::vector<DeviceMessage> Of(std::uintptr_t kind) {
        std::vector<DeviceMessage> out;
        for (const DeviceMessage& m : irc.Messages()) {
            if (m.wParam == kind) out.push_back(m);
        }
        return out;
    }
};

TEST_F(CalibrationTest, FullRunReportsEveryStepAndKeepsTheResult) {
    const std::vector<int> statuses = Run(0b101);  // channels 0 and 2
    EXPECT_EQ(statuses, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 8, 9, 10}));
    EXPECT_FALSE(amp.CalibrationRunning());

    // Progress only grows and ends at 100; 7 and 8 name the channel instead.
    std::int64_t progress = -1;
    std::vector<std::int64_t> channels;
    for (const DeviceMessage& m : irc.Messages()) {
        if (m.wParam > 12) continue;
        const auto value = std::get<std::int64_t>(m.lParam);
        if (m.wParam == 7 || m.wParam == 8) {
            channels.push_back(value);
            continue;
        }
        EXPECT_GE(value, progress) << m.wParam;
        progress = value;
    }
    EXPECT_EQ(progress, 100);
    EXPECT_EQ(channels, std::vector<std::int64_t>({0, 0, 2, 2}));

    // Distances arrive with the delay test, before its status.
    const auto distances = irc.RecordsOf<IrcValueRecord>();
    ASSERT_EQ(distances.size(), 3u);  // channels 0 ... 2, channel 1 not measured
    EXPECT_FLOAT_EQ(distances[0].value, 1.0f);
    EXPECT_FLOAT_EQ(distances[1].value, 0.0f);
    EXPECT_FLOAT_EQ(distances[2].value, 1.5f);

    const auto spectrum = irc.RecordsOf<IrcSpectrumRecord>();
    ASSERT_EQ(spectrum.size(), 2u * 121);
    for (int i = 0; i < 121; ++i) {
        EXPECT_EQ(spectrum[i].band, i);
        EXPECT_FLOAT_EQ(spectrum[i].frequency, static_cast<float>(20 + 19980 * i / 121));
    }
    EXPECT_EQ(spectrum[121].channel, 2);
    const auto eq = irc.RecordsOf<IrcEqBandRecord>();
    ASSERT_EQ(eq.size(), 2u * 11);
    EXPECT_EQ(eq[10].band, 10);
    EXPECT_EQ(eq[10].frequency, 20000);

    // Keeping puts the computed EQ and the delays into the live settings.
    ASSERT_TRUE(link.IRC_Ctrl(2, 0, 0, true));
    const AmpLiveState live = amp.LiveState();
    ASSERT_TRUE(link.Get_EQ(0, 0, 2, 0, 7));
    ASSERT_TRUE(link.Get_Delay(0, 0, 0, 2));
    const auto bands = main.RecordsOf<DspEqBandRecord>();
    ASSERT_EQ(bands.size(), 8u);
    for (int b = 0; b < 8; ++b) {
        EXPECT_EQ(bands[b].frequency, eq[11 + b].frequency) << b;
        EXPECT_FLOAT_EQ(bands[b].gain, eq[11 + b].gain) << b;
    }
    const auto delays = main.RecordsOf<DspDelayRecord>();
    ASSERT_EQ(delays.size(), 3u);
    EXPECT_NEAR(delays[0].delayMs, 0.5f / 343.0f * 1000.0f, 0.001);  // 0.5 m nearer
    EXPECT_EQ(delays[1].delayMs, 0.0f);                              // not calibrated
    EXPECT_EQ(delays[2].delayMs, 0.0f);                              // the farthest
    EXPECT_EQ(live.settings.channels[2].eqBypass, 0);

    // The result is applied once; a second keep changes nothing.
    ASSERT_TRUE(link.IRC_Ctrl(2, 0, 0, true));
    EXPECT_EQ(amp.LiveState(), live);
}

struct FailureCase {
    const char* name;
    int failAt;
    int reason;
    std::uint16_t channels;
    std::vector<int> statuses;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class CalibrationFailure : public CalibrationTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CalibrationFailure, EndsWithStatus11AndItsReason) {
    const FailureCase& c = GetParam();
    amp.ScriptCalibrationFailure(c.failAt, c.reason);
    const AmpLiveState before = amp.LiveState();
    EXPECT_EQ(Run(c.channels), c.statuses);
    EXPECT_EQ(std::get<std::int64_t>(irc.Messages().back().lParam), c.reason);
    EXPECT_FALSE(amp.CalibrationRunning());
    ASSERT_TRUE(link.IRC_Ctrl(2, 0, 0, true));  // nothing to keep
    EXPECT_EQ(amp.LiveState(), before);
}

INSTANTIATE_TEST_SUITE_P(Scripts, CalibrationFailure,
                         ::testing::Values(FailureCase{"NoMicrophone", 1, 1, 0x03, {0, 11}},
                                           FailureCase{"DelayFails", 3, 3, 0x03, {0, 1, 2, 11}},
                                           FailureCase{"EqFails", 5, 5, 0x01, {0, 1, 2, 3, 4, 11}},
                                           FailureCase{"NoChannelChosen", -1, 2, 0x00, {11}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CalibrationTest, StoppedRunExitsAndDiscardLeavesTheSettings) {
    const AmpLiveState before = amp.LiveState();
    ASSERT_TRUE(link.IRC_Sel_Test_Module(1, true));
    ASSERT_TRUE(link.IRC_Ctrl(1, 0xFF, 3, true));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(link.IRC_Get());
    ASSERT_TRUE(link.IRC_Ctrl(0, 0, 0, true));
    EXPECT_FALSE(amp.CalibrationRunning());
    ASSERT_TRUE(link.IRC_Get());
    EXPECT_EQ(irc.Messages().back().wParam, 12u);  // IRC_RET_TEST_EXIT
    ASSERT_TRUE(link.IRC_Ctrl(2, 0, 0, true));
    ASSERT_TRUE(link.IRC_Ctrl(3, 0, 0, true));
    EXPECT_EQ(amp.LiveState(), before);
    EXPECT_EQ(amp.CalibrationModule(), 1);
}

TEST_F(CalibrationTest, DiscardedResultIsNotApplied) {
    const AmpLiveState before = amp.LiveState();
    ASSERT_EQ(Run(0x01).back(), 10);
    ASSERT_TRUE(link.IRC_Ctrl(3, 0, 0, true));
    ASSERT_TRUE(link.IRC_Ctrl(2, 0, 0, true));  // too late: already discarded
    EXPECT_EQ(amp.LiveState(), before);
}

}  // namespace
}  // namespace kavelo
