#pragma once

#include <string>
#include <vector>

#include "graph/ResponseCurve.h"

// A measured frequency response shown under an output's computed one: REW's
// text export (or any list of "frequency level [phase]" lines) brought onto
// the response grid, and the result the EQ predicts from it.
namespace kavelo {

struct MeasuredPoint {
    double freq = 0;  // Hz
    double spl = 0;   // dB
};

// Reads the data lines of a measurement text: two or three numbers each
// (frequency, level, optional phase, which is not used). Headers, comments and
// any other line are passed over and counted. Fields are separated by blanks
// and commas; on a line holding a semicolon or a tab those separate the fields
// and a comma is a decimal separator. The points come back sorted by
// frequency, a repeated frequency kept once. False when fewer than two points
// remain or none of them lies within 20 ... 20 000 Hz.
struct MeasurementText {
    std::vector<MeasuredPoint> points;
    int dataLines = 0;
    int otherLines = 0;  // non-blank lines that were no data
};
bool ParseMeasurementText(const std::string& text, MeasurementText& out);

// The levels at the points of the response grid, interpolated linearly over
// the logarithm of the frequency; not a number outside the measured range.
ResponseArray ResampleMeasurement(const std::vector<MeasuredPoint>& points);

// The offset that centres the levels between 20 Hz and 20 kHz on 0 dB (their
// mean, negated), to 0.1 dB; 0 when no level lies there.
double AutoMeasurementOffset(const ResponseArray& levels);

// Each level moved by `offsetDb` (not-a-number stays so).
ResponseArray OffsetLevels(const ResponseArray& levels, double offsetDb);

// What the output would measure with its EQ and crossover: the measured
// levels plus the computed response, point by point on the grid.
ResponseArray PredictedResponse(const ResponseArray& measured, const ResponseArray& response);

}  // namespace kavelo
