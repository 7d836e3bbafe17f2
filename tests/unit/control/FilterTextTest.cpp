// Filter lists of REW and Equalizer APO: reading, refusals with their lines,
// writing, and taking them into an output through the band update.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ModelStates.h"
#include "control/FilterText.h"
#include "control/TextLines.h"

namespace kavelo {
namespace {

std::string Join(const std::vector<std::string>& lines, const char* end) {
    std::string text;
    for (const std::string& l : lines) text += l + end;
    return text;
}

// A REW "Filter Settings" export as REW lays it out.
const std::vector<std::string> kRewLines = {
    "Filter Settings file",
    "",
    "Room EQ V5.20.13",
    "Dated: 12-Mar-2024 18:02:11",
    "",
    "Notes:Front left, 9 positions",
    "",
    "Equaliser: Generic",
    "Averages 12-Mar 17:55",
    "Filter  1: ON  PK       Fc   63.0 Hz  Gain  -5.0 dB  Q  4.00",
    "Filter  2: ON  PK       Fc   125 Hz   Gain  -3.5 dB  Q  2.50",
    "Filter  3: ON  None",
    "Filter  4: ON  PK       Fc  1.25 kHz  Gain   2.0 dB  Q  1.41",
    "Filter  5: ON  PK       Fc 12000 Hz   Gain  -1.2 dB  Q  0.70",
};

struct Expected {
    int line;
    int freq;
    float q;
    float gain;
};

void ExpectFilters(const FilterImport& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.filters.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got.filters[i].line, want[i].line) << i;
        EXPECT_EQ(got.filters[i].freq, want[i].freq) << i;
        EXPECT_NEAR(got.filters[i].q, want[i].q, 1e-4) << i;
        EXPECT_NEAR(got.filters[i].gain, want[i].gain, 1e-4) << i;
    }
}

TEST(FilterText, ReadsRewExportWithEitherLineEnd) {
    for (const char* end : {"\n", "\r\n", "\r"}) {
        const FilterImport got = ParseFilterText(Join(kRewLines, end), FilterLimits{});
        ExpectFilters(got, {{10, 63, 4.0f, -5.0f},
                            {11, 125, 2.5f, -3.5f},
                            {13, 1250, 1.4f, 2.0f},  // Q on the amplifier's tenths
                            {14, 12000, 0.7f, -1.2f}});
        EXPECT_TRUE(got.messages.empty()) << DescribeFilterMessage(got.messages[0], {});
        EXPECT_FALSE(got.preampDb);
    }
}

TEST(FilterText, ReadsApoConfigAndReportsPreampAndCommands) {
    const std::string text =
        "\xEF\xBB\xBF# from AutoEQ\n"
        "Preamp: -6.5 dB\n"
        "Channel: L\n"
        "Filter: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00\n"
        "Filter 2: ON PK Fc 1000Hz Gain 4dB BW Oct 1.0\n"
        "Filter3: ON PEQ Fc 3000 Hz Gain 1.5 dB BW/60 30\n"
        "Include: more.txt\n";
    const FilterImport got = ParseFilterText(text, FilterLimits{});
    // One octave is Q = sqrt(2) / (2 - 1); half an octave sqrt(2^0.5) / (2^0.5 - 1); each
    // on the nearest tenth the amplifier holds.
    ExpectFilters(got, {{4, 100, 2.0f, -3.0f}, {5, 1000, 1.4f, 4.0f}, {6, 3000, 2.9f, 1.5f}});
    ASSERT_TRUE(got.preampDb);
    EXPECT_DOUBLE_EQ(*got.preampDb, -6.5);
    ASSERT_EQ(got.messages.size(), 3u);
    EXPECT_EQ(got.messages[0].line, 2);
    EXPECT_EQ(got.messages[0].issue, FilterIssue::PreampNotApplied);
    EXPECT_EQ(got.messages[1].line, 3);
    EXPECT_EQ(got.messages[1].issue, FilterIssue::CommandIgnored);
    EXPECT_EQ(got.messages[2].line, 7);
    EXPECT_EQ(got.messages[2].text, "Include: more.txt");
}

struct LineCase {
    const char* name;
    const char* line;
    std::vector<FilterIssue> issues;
    bool kept = false;
    int freq = 0;
    float q = 0;
    float gain = 0;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class FilterLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(FilterLine, IsKeptLimitedOrRefusedWithItsLine) {
    const LineCase& c = GetParam();
    FilterLimits limits;
    limits.minGain = -18.0f;
    limits.maxGain = 12.0f;
    const FilterImport got = ParseFilterText(std::string("# header\n") + c.line + "\n", limits);
    ASSERT_EQ(got.messages.size(), c.issues.size());
    for (std::size_t i = 0; i < c.issues.size(); ++i) {
        EXPECT_EQ(got.messages[i].issue, c.issues[i]) << i;
        EXPECT_EQ(got.messages[i].line, 2);
        EXPECT_EQ(got.messages[i].text, c.line);
    }
    ASSERT_EQ(got.filters.size(), c.kept ? 1u : 0u);
    if (!c.kept) return;
    EXPECT_EQ(got.filters[0].freq, c.freq);
    EXPECT_NEAR(got.filters[0].q, c.q, 1e-4);
    EXPECT_NEAR(got.filters[0].gain, c.gain, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterLine,
    ::testing::Values(
        LineCase{"DecimalCommas", "Filter 1: ON PK Fc 63,5 Hz Gain -3,5 dB Q 2,25", {}, true, 64,
                 2.3f, -3.5f},
        LineCase{"ThousandsSeparatorIsUnreadable", "Filter 1: ON PK Fc 1,000.5 Hz Gain -3 dB Q 2",
                 {FilterIssue::MissingValue}, false},
        LineCase{"RoundedToTheAmplifiersSteps", "Filter 1: ON PK Fc 99.6 Hz Gain -2.96 dB Q 1.234",
                 {}, true, 100, 1.2f, -3.0f},
        LineCase{"Off", "Filter 1: OFF PK Fc 100 Hz Gain -3 dB Q 2", {FilterIssue::Off}, false},
        LineCase{"LowShelf", "Filter 1: ON LS Fc 100 Hz Gain 5 dB", {FilterIssue::NotPeaking},
                 false},
        LineCase{"HighShelfWithSlope", "Filter 1: ON HS 12dB Fc 8000 Hz Gain -2 dB",
                 {FilterIssue::NotPeaking}, false},
        LineCase{"Notch", "Filter 1: ON NO Fc 60 Hz", {FilterIssue::NotPeaking}, false},
        LineCase{"AllPass", "Filter 1: ON AP Fc 60 Hz Q 0.7", {FilterIssue::NotPeaking}, false},
        LineCase{"HighPass", "Filter 1: ON HP Fc 80 Hz", {FilterIssue::NotPeaking}, false},
        LineCase{"UnknownType", "Filter 1: ON XY Fc 80 Hz Gain 1 dB Q 1",
                 {FilterIssue::UnknownType}, false},
        LineCase{"NoQ", "Filter 1: ON PK Fc 80 Hz Gain 1 dB", {FilterIssue::MissingValue}, false},
        LineCase{"ZeroQ", "Filter 1: ON PK Fc 80 Hz Gain 1 dB Q 0", {FilterIssue::MissingValue},
                 false},
        LineCase{"GainNotANumber", "Filter 1: ON PK Fc 80 Hz Gain loud Q 1",
                 {FilterIssue::MissingValue}, false},
        LineCase{"NoState", "Filter 1: PK Fc 80 Hz Gain 1 dB Q 1", {FilterIssue::MissingValue},
                 false},
        LineCase{"BelowTwentyHertz", "Filter 1: ON PK Fc 15 Hz Gain -3 dB Q 2",
                 {FilterIssue::FrequencyRange}, false},
        LineCase{"AboveTwentyKilohertz", "Filter 1: ON PK Fc 20.5 kHz Gain -3 dB Q 2",
                 {FilterIssue::FrequencyRange}, false},
        LineCase{"QAboveNine", "Filter 1: ON PK Fc 45 Hz Gain -8 dB Q 12.5",
                 {FilterIssue::QLimited}, true, 45, 9.0f, -8.0f},
        LineCase{"QBelowHalf", "Filter 1: ON PK Fc 45 Hz Gain -8 dB Q 0.3",
                 {FilterIssue::QLimited}, true, 45, 0.5f, -8.0f},
        LineCase{"GainBelowRange", "Filter 1: ON PK Fc 45 Hz Gain -24 dB Q 3",
                 {FilterIssue::GainLimited}, true, 45, 3.0f, -18.0f},
        LineCase{"BothLimited", "Filter 1: ON PK Fc 45 Hz Gain 15 dB Q 20",
                 {FilterIssue::QLimited, FilterIssue::GainLimited}, true, 45, 9.0f, 12.0f},
        LineCase{"HeaderLikeLineIsPassedOver", "Equaliser: Generic", {}, false},
        LineCase{"ApoCommandIsReported", "Device: Speakers", {FilterIssue::CommandIgnored},
                 false}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(FilterText, FiltersBeyondTheOutputsBandsAreRefusedEachWithItsLine) {
    std::string text = "Equaliser: Generic\n";
    for (int i = 1; i <= 32; ++i)
        text += "Filter " + std::to_string(i) + ": ON PK Fc " + std::to_string(100 + i) +
                " Hz Gain -1.0 dB Q 1.00\n";
    const FilterImport all = ParseFilterText(text, FilterLimits{});
    ASSERT_EQ(all.filters.size(), 31u);
    EXPECT_EQ(all.filters.back().freq, 131);
    ASSERT_EQ(all.messages.size(), 1u);
    EXPECT_EQ(all.messages[0].issue, FilterIssue::TooMany);
    EXPECT_EQ(all.messages[0].line, 33);

    FilterLimits ten;
    ten.bands = 10;
    const FilterImport few = ParseFilterText(text, ten);
    EXPECT_EQ(few.filters.size(), 10u);
    EXPECT_EQ(few.messages.size(), 22u);
    EXPECT_EQ(few.messages.front().line, 12);
}

TEST(FilterText, MessagesNameTheLineTheReasonAndTheText) {
    FilterLimits limits;
    limits.minGain = -15.0f;
    const FilterImport got =
        ParseFilterText("\n\nFilter 1: ON PK Fc 45 Hz Gain -20 dB Q 3\n", limits);
    ASSERT_EQ(got.messages.size(), 1u);
    EXPECT_EQ(DescribeFilterMessage(got.messages[0], limits),
              "line 3: gain outside -15 ... 12 dB; limited to the nearer end: "
              "Filter 1: ON PK Fc 45 Hz Gain -20 dB Q 3");
}

ChannelState ChannelWith(const std::vector<EqBand>& bands) {
    ChannelState ch = test::FactoryState().channels[0];
    for (std::size_t i = 0; i < bands.size(); ++i) ch.bands[i] = bands[i];
    ch.bypass = 0;
    return ch;
}

TEST(FilterText, ExportHoldsTheEnabledBandsWithGainOnly) {
    ChannelState ch = ChannelWith({{-3.0f, 2.0f, 100, 1}, {0.0f, 5.8f, 200, 1},
                                   {4.5f, 1.41f, 1000, 0}, {2.5f, 0.71f, 12000, 1}});
    const std::vector<EqBand> active = ActiveBands(ch);
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].freq, 100);
    EXPECT_EQ(active[1].freq, 12000);
    EXPECT_EQ(WriteFilterText(ch, FilterTextFormat::Apo, "TRQ5.40AMP output 3"),
              "# TRQ5.40AMP output 3\n"
              "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00\n"
              "Filter 2: ON PK Fc 12000 Hz Gain 2.5 dB Q 0.71\n");
    const std::string rew = WriteFilterText(ch, FilterTextFormat::Rew, "TRQ5.40AMP output 3");
    EXPECT_EQ(rew.rfind("Filter Settings file\n", 0), 0u) << rew;
    EXPECT_NE(rew.find("Filter  2: ON  PK       Fc 12000 Hz  Gain   2.5 dB  Q  0.71\n"),
              std::string::npos)
        << rew;

    ch.bypass = 1;  // a bypassed EQ applies nothing
    EXPECT_TRUE(ActiveBands(ch).empty());
    EXPECT_EQ(WriteFilterText(ch, FilterTextFormat::Apo, "x").find("Filter"), std::string::npos);
}

TEST(FilterText, ImportThenExportReproducesTheValuesInEitherFormat) {
    const FilterImport first = ParseFilterText(Join(kRewLines, "\r\n"), FilterLimits{});
    std::vector<EqBand> bands;
    for (const ImportedFilter& f : first.filters) bands.push_back({f.gain, f.q, f.freq, 1});
    for (FilterTextFormat format : {FilterTextFormat::Rew, FilterTextFormat::Apo}) {
        const std::string text = WriteFilterText(ChannelWith(bands), format, "output 1");
        const FilterImport again = ParseFilterText(text, FilterLimits{});
        ASSERT_EQ(again.filters.size(), bands.size()) << text;
        EXPECT_TRUE(again.messages.empty()) << text;
        for (std::size_t i = 0; i < bands.size(); ++i) {
            EXPECT_EQ(again.filters[i].freq, bands[i].freq);
            EXPECT_EQ(again.filters[i].q, bands[i].eqFactor);
            EXPECT_NEAR(again.filters[i].gain, bands[i].eqGain, 0.05);
        }
    }
}

TEST(TextLines, NumbersAndLines) {
    std::string_view rest;
    EXPECT_EQ(ReadDecimal("-3,5dB", &rest), -3.5);
    EXPECT_EQ(rest, "dB");
    EXPECT_EQ(ReadDecimal("+1.5e3Hz", &rest), 1500.0);
    EXPECT_EQ(rest, "Hz");
    EXPECT_EQ(ReadDecimal("2e", &rest), 2.0);
    EXPECT_EQ(rest, "e");
    EXPECT_FALSE(ReadDecimal("Hz"));
    EXPECT_FALSE(ReadDecimal("-"));
    EXPECT_FALSE(ReadDecimal("1.2.3"));
    EXPECT_FALSE(ReadDecimal("1,2.3"));
    const std::vector<std::string_view> lines = SplitLines("\xEF\xBB\xBF" "a\r\nb\rc\n\nd");
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "", "d"}));
}

}  // namespace
}  // namespace kavelo
