#include "control/FilterText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "control/DspOperations.h"
#include "control/TextLines.h"

namespace kavelo {

namespace {

bool Same(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return Same(word, n); });
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view Trim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The words after "Filter:" or "Filter N:", or empty when the line is no filter.
std::optional<std::vector<std::string_view>> FilterBody(const std::vector<std::string_view>& w) {
    if (w.empty()) return std::nullopt;
    std::size_t body = 0;
    if (Same(w[0], "Filter:")) {
        body = 1;
    } else if (w.size() >= 2 && Same(w[0], "Filter") && w[1].size() >= 2 && w[1].back() == ':' &&
               AllDigits(w[1].substr(0, w[1].size() - 1))) {
        body = 2;
    } else if (w[0].size() > 7 && Same(w[0].substr(0, 6), "Filter") && w[0].back() == ':' &&
               AllDigits(w[0].substr(6, w[0].size() - 7))) {
        body = 1;  // "Filter1:"
    } else {
        return std::nullopt;
    }
    return std::vector<std::string_view>(w.begin() + static_cast<std::ptrdiff_t>(body), w.end());
}

// A number and its unit, written together ("100Hz") or apart ("100 Hz").
struct Quantity {
    double value = 0;
    std::string_view unit;
};
std::optional<Quantity> ReadQuantity(const std::vector<std::string_view>& w, std::size_t& i) {
    if (i >= w.size()) return std::nullopt;
    std::string_view rest;
    const std::optional<double> v = ReadDecimal(w[i], &rest);
    if (!v) return std::nullopt;
    ++i;
    Quantity q{*v, rest};
    if (rest.empty() && i < w.size() && OneOf(w[i], {"Hz", "kHz", "dB"})) q.unit = w[i++];
    return q;
}

struct PeakValues {
    std::optional<double> freq, gain, q;
};

// Reads "Fc 100 Hz Gain -3 dB Q 2" and the bandwidth forms "BW Oct 0.5" and
// "BW/60 30" (sixtieths of an octave), which stand for a Q.
PeakValues ReadPeak(const std::vector<std::string_view>& w, std::size_t i) {
    PeakValues v;
    auto bandwidthQ = [](double octaves) -> std::optional<double> {
        if (!(octaves > 0) || octaves > 20) return std::nullopt;
        const double p = std::pow(2.0, octaves);
        return std::sqrt(p) / (p - 1.0);
    };
    while (i < w.size()) {
        const std::string_view key = w[i++];
        if (Same(key, "Fc")) {
            const auto q = ReadQuantity(w, i);
            if (!q) continue;
            if (q->unit.empty() || Same(q->unit, "Hz")) v.freq = q->value;
            else if (Same(q->unit, "kHz")) v.freq = q->value * 1000.0;
        } else if (Same(key, "Gain")) {
            const auto q = ReadQuantity(w, i);
            if (q && (q->unit.empty() || Same(q->unit, "dB"))) v.gain = q->value;
        } else if (Same(key, "Q")) {
            const auto q = ReadQuantity(w, i);
            if (q && q->unit.empty()) v.q = q->value;
        } else if (Same(key, "BW") && i < w.size() && Same(w[i], "Oct")) {
            ++i;
            if (const auto q = ReadQuantity(w, i)) v.q = bandwidthQ(q->value);
        } else if (Same(key, "BW/60")) {
            if (const auto q = ReadQuantity(w, i)) v.q = bandwidthQ(q->value / 60.0);
        }
    }
    return v;
}

// Equalizer APO commands that would change where or how the filters act.
bool IsApoCommand(std::string_view word) {
    if (word.size() < 2 || word.back() != ':') return false;
    return OneOf(word.substr(0, word.size() - 1),
                 {"Channel", "Device", "Include", "GraphicEQ", "Copy", "Delay", "Convolution",
                  "Stage", "If", "ElseIf", "Else", "EndIf", "Eval", "LoudnessCorrection"});
}

double RoundTo(double v, double step) { return std::round(v / step) * step; }

}  // namespace

FilterImport ParseFilterText(const std::string& text, const FilterLimits& limits) {
    FilterImport result;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = Trim(lines[n]);
        const int number = static_cast<int>(n) + 1;
        auto note = [&](FilterIssue issue) {
            result.messages.push_back({number, issue, std::string(line)});
        };
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '*') continue;
        const std::vector<std::string_view> w = SplitWords(line);
        if (Same(w[0], "Preamp:") || (w.size() >= 2 && Same(w[0], "Preamp") && w[1] == ":")) {
            std::size_t i = Same(w[0], "Preamp:") ? 1 : 2;
            const auto q = ReadQuantity(w, i);
            if (!q || !(q->unit.empty() || Same(q->unit, "dB"))) {
                note(FilterIssue::MissingValue);
                continue;
            }
            result.preampDb = q->value;
            note(FilterIssue::PreampNotApplied);
            continue;
        }
        const auto body = FilterBody(w);
        if (!body) {
            if (IsApoCommand(w[0])) note(FilterIssue::CommandIgnored);
            continue;  // headers and notes of the exporting program
        }
        const std::vector<std::string_view>& b = *body;
        if (b.size() < 2 || !OneOf(b[0], {"ON", "OFF"})) {
            // REW writes an unused slot as "Filter 3: ON None".
            if (b.size() >= 2 && Same(b[1], "None")) continue;
            note(FilterIssue::MissingValue);
            continue;
        }
        if (Same(b[1], "None")) continue;
        if (Same(b[0], "OFF")) {
            note(FilterIssue::Off);
            continue;
        }
        if (!OneOf(b[1], {"PK", "PEQ", "Modal"})) {
            const bool known =
                OneOf(b[1], {"LP", "HP", "LPQ", "HPQ", "BP", "LS", "HS", "LSC", "HSC", "LSQ", "HSQ",
                             "LS6", "LS12", "HS6", "HS12", "LS6dB", "LS12dB", "HS6dB", "HS12dB",
                             "NO", "AP", "BP6", "LP1", "HP1"});
            note(known ? FilterIssue::NotPeaking : FilterIssue::UnknownType);
            continue;
        }
        const PeakValues v = ReadPeak(b, 2);
        if (!v.freq || !v.gain || !v.q || !(*v.q > 0) || !std::isfinite(*v.gain) ||
            !std::isfinite(*v.freq)) {
            note(FilterIssue::MissingValue);
            continue;
        }
        const double freq = std::round(*v.freq);
        if (freq < kMinFrequency || freq > kMaxFrequency) {
            note(FilterIssue::FrequencyRange);
            continue;
        }
        if (static_cast<int>(result.filters.size()) >= limits.bands) {
            note(FilterIssue::TooMany);
            continue;
        }
        ImportedFilter f;
        f.line = number;
        f.freq = static_cast<int>(freq);
        // The amplifier holds Q in tenths.
        f.q = QuantiseEqFactor(*v.q);
        if (*v.q < kMinEqFactor || *v.q > kMaxEqFactor) note(FilterIssue::QLimited);
        const double gain = RoundTo(*v.gain, 0.1);
        f.gain = static_cast<float>(
            std::clamp(gain, double{limits.minGain}, double{limits.maxGain}));
        if (f.gain != static_cast<float>(gain)) note(FilterIssue::GainLimited);
        result.filters.push_back(f);
    }
    return result;
}

std::string DescribeFilterMessage(const FilterMessage& m, const FilterLimits& limits) {
    char what[128];
    switch (m.issue) {
        case FilterIssue::Off:
            std::snprintf(what, sizeof what, "switched off; skipped");
            break;
        case FilterIssue::NotPeaking:
            std::snprintf(what, sizeof what, "the amplifier's EQ has peaking filters only; skipped");
            break;
        case FilterIssue::UnknownType:
            std::snprintf(what, sizeof what, "unknown filter type; skipped");
            break;
        case FilterIssue::MissingValue:
            std::snprintf(what, sizeof what, "a value is missing or unreadable; skipped");
            break;
        case FilterIssue::FrequencyRange:
            std::snprintf(what, sizeof what, "frequency outside %d ... %d Hz; skipped",
                          kMinFrequency, kMaxFrequency);
            break;
        case FilterIssue::QLimited:
            std::snprintf(what, sizeof what, "Q outside %.1f ... %.1f; limited to the nearer end",
                          double{kMinEqFactor}, double{kMaxEqFactor});
            break;
        case FilterIssue::GainLimited:
            std::snprintf(what, sizeof what, "gain outside %g ... %g dB; limited to the nearer end",
                          double{limits.minGain}, double{limits.maxGain});
            break;
        case FilterIssue::TooMany:
            std::snprintf(what, sizeof what, "the output has %d bands; skipped", limits.bands);
            break;
        case FilterIssue::PreampNotApplied:
            std::snprintf(what, sizeof what, "the preamp is not applied (set the output's volume)");
            break;
        case FilterIssue::CommandIgnored:
            std::snprintf(what, sizeof what, "Equalizer APO command not supported; ignored");
            break;
    }
    return "line " + std::to_string(m.line) + ": " + what + ": " + m.text;
}

std::vector<EqBand> ActiveBands(const ChannelState& channel) {
    std::vector<EqBand> bands;
    if (channel.bypass == 1) return bands;
    const int n = std::clamp(channel.eqSize, 0, kEqBands);
    for (int b = 0; b < n; ++b) {
        const EqBand& band = channel.bands[static_cast<std::size_t>(b)];
        // Below the gain's resolution a band does nothing.
        if (band.enable == 1 && std::fabs(band.eqGain) >= 0.05f) bands.push_back(band);
    }
    return bands;
}

std::string WriteFilterText(const ChannelState& channel, FilterTextFormat format,
                            const std::string& title) {
    const std::vector<EqBand> bands = ActiveBands(channel);
    std::string text;
    const bool rew = format == FilterTextFormat::Rew;
    const char* bypassed = "the output's EQ is bypassed: no filter is active";
    if (rew) {
        text = "Filter Settings file\n\n" + title + "\n";
        if (channel.bypass == 1) text += std::string("Notes: ") + bypassed + "\n";
        text += "\nEqualiser: Generic\n";
    } else {
        text = "# " + title + "\n";
        if (channel.bypass == 1) text += std::string("# ") + bypassed + "\n";
    }
    int number = 0;
    for (const EqBand& b : bands) {
        char line[128];
        std::snprintf(line, sizeof line,
                      rew ? "Filter %2d: ON  PK       Fc %5d Hz  Gain %5.1f dB  Q %5.2f\n"
                          : "Filter %d: ON PK Fc %d Hz Gain %.1f dB Q %.2f\n",
                      ++number, b.freq, static_cast<double>(b.eqGain),
                      static_cast<double>(b.eqFactor));
        text += line;
    }
    return text;
}

}  // namespace kavelo
