#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "control/FilterText.h"
#include "control/TextLines.h"
#include "graph/Measurement.h"

// Feeds any bytes to the readers of downloaded text files: the filter list
// (Room EQ Wizard and Equalizer APO) and the measurement. Neither may crash.
// Every filter taken stays within the output's limits and every line passed
// over with a message names its line; the filters taken, written out in
// either format and read again, are the same filters. A measurement taken is
// sorted, finite and readable again point for point.
namespace {

using namespace kavelo;

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "filter/measurement oracle: %s\n", why);
    __builtin_trap();
}

bool Skips(FilterIssue issue) {
    switch (issue) {
        case FilterIssue::Off:
        case FilterIssue::NotPeaking:
        case FilterIssue::UnknownType:
        case FilterIssue::MissingValue:
        case FilterIssue::FrequencyRange:
        case FilterIssue::TooMany:
            return true;
        default:
            return false;
    }
}

bool SameFilters(const std::vector<ImportedFilter>& a, const std::vector<ImportedFilter>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ImportedFilter& x, const ImportedFilter& y) {
                          return x.freq == y.freq && x.q == y.q && x.gain == y.gain;
                      });
}

void CheckFilters(const std::string& text, const FilterLimits& limits) {
    const int lines = static_cast<int>(SplitLines(text).size());
    const FilterImport got = ParseFilterText(text, limits);
    if (static_cast<int>(got.filters.size()) > limits.bands) Fail("more filters than bands");
    int previous = 0;
    for (const ImportedFilter& f : got.filters) {
        if (f.line <= previous || f.line > lines) Fail("filter line out of order or range");
        previous = f.line;
        if (f.freq < kMinFrequency || f.freq > kMaxFrequency) Fail("frequency out of range");
        if (!(f.q >= kMinEqFactor && f.q <= kMaxEqFactor)) Fail("Q out of range");
        if (!(f.gain >= limits.minGain && f.gain <= limits.maxGain)) Fail("gain out of range");
    }
    previous = 0;
    for (const FilterMessage& m : got.messages) {
        if (m.line < previous || m.line < 1 || m.line > lines) Fail("message without its line");
        previous = m.line;
        const bool taken = std::any_of(got.filters.begin(), got.filters.end(),
                                       [&](const ImportedFilter& f) { return f.line == m.line; });
        if (Skips(m.issue) && taken) Fail("a skipped line was taken");
        if ((m.issue == FilterIssue::QLimited || m.issue == FilterIssue::GainLimited) && !taken)
            Fail("a limited filter was not taken");
        DescribeFilterMessage(m, limits);
    }
    if (got.filters.empty()) return;

    // Written back as the export writes an output holding them, then read again.
    ChannelState channel;
    channel.eqSize = limits.bands;
    channel.bypass = 0;
    std::vector<ImportedFilter> active;
    for (std::size_t k = 0; k < got.filters.size(); ++k) {
        const ImportedFilter& f = got.filters[k];
        channel.bands[k] = EqBand{f.gain, f.q, f.freq, 1};
        if (std::fabs(f.gain) >= 0.05f) active.push_back(f);  // a flat band is not written
    }
    for (FilterTextFormat format : {FilterTextFormat::Rew, FilterTextFormat::Apo}) {
        const std::string written = WriteFilterText(channel, format, "output 1");
        const FilterImport again = ParseFilterText(written, limits);
        if (!SameFilters(again.filters, active))
            Fail("filters changed when written and read again");
        for (const FilterMessage& m : again.messages)
            if (m.issue != FilterIssue::PreampNotApplied) Fail("own export read with a message");
    }
}

void CheckMeasurement(const std::string& text) {
    MeasurementText got;
    const bool taken = ParseMeasurementText(text, got);
    if (got.dataLines + got.otherLines > static_cast<int>(SplitLines(text).size()))
        Fail("more lines counted than there are");
    if (!taken) return;
    if (got.points.size() < 2 || got.dataLines < static_cast<int>(got.points.size()))
        Fail("too few points taken");
    for (std::size_t i = 0; i < got.points.size(); ++i) {
        const MeasuredPoint& p = got.points[i];
        if (!(p.freq > 0) || !std::isfinite(p.freq) || !std::isfinite(p.spl)) Fail("bad point");
        if (i > 0 && !(got.points[i - 1].freq < p.freq)) Fail("points not sorted");
    }
    if (got.points.front().freq > kMaxFrequency || got.points.back().freq < kMinFrequency)
        Fail("no point in the audible range");
    const ResponseArray levels = ResampleMeasurement(got.points);
    AutoMeasurementOffset(levels);

    std::string written;
    for (const MeasuredPoint& p : got.points) {
        char line[80];
        std::snprintf(line, sizeof line, "%.17g %.17g\n", p.freq, p.spl);
        written += line;
    }
    MeasurementText again;
    if (!ParseMeasurementText(written, again) || again.points.size() != got.points.size())
        Fail("measurement not read again");
    for (std::size_t i = 0; i < got.points.size(); ++i) {
        if (again.points[i].freq != got.points[i].freq || again.points[i].spl != got.points[i].spl)
            Fail("measurement changed when written and read again");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckFilters(text, FilterLimits{});
    // A small output with a narrow range, so limits and surplus filters are met often.
    FilterLimits small;
    small.minGain = -6.0f;
    small.maxGain = 6.0f;
    small.bands = 3;
    CheckFilters(text, small);
    CheckMeasurement(text);
    return 0;
}
