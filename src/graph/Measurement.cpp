#include "graph/Measurement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "control/DspRecords.h"
#include "control/TextLines.h"

namespace kavelo {

namespace {

constexpr double kNoLevel = std::numeric_limits<double>::quiet_NaN();

bool IsComment(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return true;
    const char c = line[first];
    return c == '*' || c == '#' || c == ';' || c == '/';
}

// The numbers of a data line, or fewer than two when it is none.
std::vector<double> LineNumbers(std::string_view line) {
    const bool commaIsDecimal = line.find_first_of(";\t") != std::string_view::npos;
    std::vector<double> numbers;
    for (std::string_view field : SplitWords(line, commaIsDecimal ? "; \t" : ", \t")) {
        std::string_view rest;
        const std::optional<double> v = ReadDecimal(field, &rest);
        if (!v || !rest.empty() || !std::isfinite(*v)) return {};
        numbers.push_back(*v);
    }
    return numbers;
}

}  // namespace

bool ParseMeasurementText(const std::string& text, MeasurementText& out) {
    out = MeasurementText{};
    for (std::string_view line : SplitLines(text)) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const std::vector<double> n = IsComment(line) ? std::vector<double>{} : LineNumbers(line);
        if ((n.size() != 2 && n.size() != 3) || !(n[0] > 0)) {
            ++out.otherLines;
            continue;
        }
        ++out.dataLines;
        out.points.push_back({n[0], n[1]});
    }
    std::stable_sort(out.points.begin(), out.points.end(),
                     [](const MeasuredPoint& a, const MeasuredPoint& b) { return a.freq < b.freq; });
    out.points.erase(std::unique(out.points.begin(), out.points.end(),
                                 [](const MeasuredPoint& a, const MeasuredPoint& b) {
                                     return a.freq == b.freq;
                                 }),
                     out.points.end());
    if (out.points.size() < 2) return false;
    return out.points.front().freq <= kMaxFrequency && out.points.back().freq >= kMinFrequency;
}

ResponseArray ResampleMeasurement(const std::vector<MeasuredPoint>& points) {
    ResponseArray levels;
    levels.fill(kNoLevel);
    if (points.size() < 2) return levels;
    const ResponseArray& grid = ResponseGrid();
    std::size_t j = 1;
    for (int k = 0; k < kResponsePoints; ++k) {
        const double f = grid[static_cast<std::size_t>(k)];
        if (f < points.front().freq || f > points.back().freq) continue;
        while (j + 1 < points.size() && points[j].freq < f) ++j;
        const MeasuredPoint& a = points[j - 1];
        const MeasuredPoint& b = points[j];
        const double t = (std::log10(f) - std::log10(a.freq)) /
                         (std::log10(b.freq) - std::log10(a.freq));
        levels[static_cast<std::size_t>(k)] = a.spl + (b.spl - a.spl) * t;
    }
    return levels;
}

double AutoMeasurementOffset(const ResponseArray& levels) {
    const ResponseArray& grid = ResponseGrid();
    double sum = 0;
    int count = 0;
    for (std::size_t k = 0; k < levels.size(); ++k) {
        if (grid[k] < kMinFrequency || grid[k] > kMaxFrequency || !std::isfinite(levels[k])) continue;
        sum += levels[k];
        ++count;
    }
    if (count == 0) return 0.0;
    return -std::round(sum / count * 10.0) / 10.0;
}

ResponseArray OffsetLevels(const ResponseArray& levels, double offsetDb) {
    ResponseArray out;
    for (std::size_t k = 0; k < levels.size(); ++k) out[k] = levels[k] + offsetDb;
    return out;
}

ResponseArray PredictedResponse(const ResponseArray& measured, const ResponseArray& response) {
    ResponseArray out;
    for (std::size_t k = 0; k < measured.size(); ++k) out[k] = measured[k] + response[k];
    return out;
}

}  // namespace kavelo
