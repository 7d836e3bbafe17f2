// Measurement files, their resampling onto the response grid and the predicted
// result.
#include <gtest/gtest.h>

#include <cmath>

#include "ModelStates.h"
#include "graph/Measurement.h"

namespace kavelo {
namespace {

// The head of a REW "Export measurement as text" file.
const char* kRewHeader =
    "* Measurement data measured by REW V5.20.13\r\n"
    "* Source: Umik-1  Gain: 18dB, L\r\n"
    "* Format: 1/48 octave smoothing\r\n"
    "* Dated: 12-Mar-2024 18:02:11\r\n"
    "* REW Settings:\r\n"
    "*  C-weighting compensation: Off\r\n"
    "*  Target level: 75.0 dB\r\n"
    "* Note: front left, seat 1\r\n"
    "*\r\n"
    "* Freq(Hz), SPL(dB), Phase(degrees)\r\n";

TEST(MeasurementText, ReadsRewExportWithHeadersAndIrregularSpacing) {
    const std::string text = std::string(kRewHeader) +
                             "20.000, 80.500, 12.5\r\n"
                             "   40.0 ,82.5,-3\r\n"
                             "Freq SPL\r\n"  // a second header in the middle
                             "\r\n"
                             "1000.0\t\t76.25\r\n"
                             "not a number, 3\r\n"
                             "20000,70\r\n";
    MeasurementText m;
    ASSERT_TRUE(ParseMeasurementText(text, m));
    ASSERT_EQ(m.points.size(), 4u);
    EXPECT_EQ(m.dataLines, 4);
    EXPECT_EQ(m.otherLines, 12);  // ten header lines, the second header, the text line
    EXPECT_DOUBLE_EQ(m.points[1].freq, 40.0);
    EXPECT_DOUBLE_EQ(m.points[1].spl, 82.5);
    EXPECT_DOUBLE_EQ(m.points[2].spl, 76.25);
}

TEST(MeasurementText, SemicolonsAndTabsMakeTheCommaADecimalSeparator) {
    MeasurementText m;
    ASSERT_TRUE(ParseMeasurementText("100,5;80,25\n200,5\t81,5\n", m));
    ASSERT_EQ(m.points.size(), 2u);
    EXPECT_DOUBLE_EQ(m.points[0].freq, 100.5);
    EXPECT_DOUBLE_EQ(m.points[0].spl, 80.25);
    EXPECT_DOUBLE_EQ(m.points[1].spl, 81.5);
    // With blanks the comma separates: four numbers are no data line.
    EXPECT_FALSE(ParseMeasurementText("100,5 80,25\n200,5 81,5\n", m));
    EXPECT_EQ(m.otherLines, 2);
}

TEST(MeasurementText, UnsortedAndRepeatedFrequenciesAreOrdered) {
    MeasurementText m;
    ASSERT_TRUE(ParseMeasurementText("500 70\n100 75\n500 71\n50 80\n", m));
    ASSERT_EQ(m.points.size(), 3u);
    EXPECT_DOUBLE_EQ(m.points[0].freq, 50);
    EXPECT_DOUBLE_EQ(m.points[2].freq, 500);
    EXPECT_DOUBLE_EQ(m.points[2].spl, 70);  // the first of the two
}

TEST(MeasurementText, RefusesWhatHoldsNoResponse) {
    MeasurementText m;
    for (const char* text : {"", "* only a header\n", "100 70\n", "1 70\n5 71\n",
                             "30000 70\n40000 71\n", "-100 70\n0 71\n", "100 70 1 2\n200 7 1 2\n"})
        EXPECT_FALSE(ParseMeasurementText(text, m)) << text;
}

TEST(Measurement, ResamplingInterpolatesOverTheLogOfTheFrequency) {
    // 40 dB at 100 Hz rising to 60 dB at 10 kHz: the level goes with log10 f.
    const ResponseArray levels = ResampleMeasurement({{100, 40}, {10000, 60}});
    const ResponseArray& grid = ResponseGrid();
    int inside = 0;
    for (std::size_t k = 0; k < grid.size(); ++k) {
        if (grid[k] < 100 || grid[k] > 10000) {
            EXPECT_TRUE(std::isnan(levels[k])) << grid[k];
            continue;
        }
        ++inside;
        EXPECT_NEAR(levels[k], 40 + 10 * (std::log10(grid[k]) - 2), 1e-9) << grid[k];
    }
    EXPECT_GT(inside, 100);
}

TEST(Measurement, AutomaticOffsetCentresTheAudibleRangeOnZero) {
    const ResponseArray flat = ResampleMeasurement({{10, 83.26}, {30000, 83.26}});
    EXPECT_DOUBLE_EQ(AutoMeasurementOffset(flat), -83.3);
    // Levels outside 20 ... 20 000 Hz do not count.
    const ResponseArray& grid = ResponseGrid();
    ResponseArray edges = flat;
    for (std::size_t k = 0; k < grid.size(); ++k)
        if (grid[k] < 20) edges[k] = 200;
    EXPECT_DOUBLE_EQ(AutoMeasurementOffset(edges), -83.3);
    ResponseArray none;
    none.fill(std::nan(""));
    EXPECT_DOUBLE_EQ(AutoMeasurementOffset(none), 0.0);
}

TEST(Measurement, PredictedResultIsMeasurementPlusResponseAtEveryPoint) {
    DspState s = test::FactoryState();
    ChannelState& ch = s.channels[0];
    ch.bypass = 0;
    ch.bands[3] = EqBand{-6.0f, 2.0f, 100, 1};
    ch.bands[9] = EqBand{4.0f, 1.0f, 3000, 1};
    ResponseCurve response;
    ComputeChannelResponse(ch, response);
    const ResponseArray measured =
        OffsetLevels(ResampleMeasurement({{20, 90}, {100, 86}, {3000, 70}, {20000, 75}}), -80);
    const ResponseArray predicted = PredictedResponse(measured, response.db);
    const ResponseArray& grid = ResponseGrid();
    for (std::size_t k = 0; k < grid.size(); ++k) {
        if (std::isnan(measured[k])) {
            EXPECT_TRUE(std::isnan(predicted[k]));
            continue;
        }
        EXPECT_DOUBLE_EQ(predicted[k], measured[k] + response.db[k]) << grid[k];
    }
    // At 100 Hz the -6 dB band meets the 6 dB excess of the measurement.
    std::size_t at100 = 0;
    while (grid[at100] < 100) ++at100;
    EXPECT_NEAR(predicted[at100], 0.0, 0.3);
}

}  // namespace
}  // namespace kavelo
