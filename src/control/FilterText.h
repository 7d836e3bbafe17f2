#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/DspRecords.h"

// Filter lists other programs write and read: Room EQ Wizard's "Filter
// Settings" text export and Equalizer APO's configuration lines. Both spell a
// filter as "Filter N: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00"; the amplifier's
// EQ has peaking bands only, so every other filter is refused, and values
// outside its ranges are refused or limited, each with the number of its line.
//
// Numbers may use a decimal comma (REW writes one where the system is set to a
// locale that does); a number with both a dot and a comma is not read.
namespace kavelo {

enum class FilterTextFormat { Rew, Apo };

// What the receiving output can take.
struct FilterLimits {
    float minGain = -18.0f;  // the band sliders' range
    float maxGain = 12.0f;
    int bands = kEqBands;  // the output's band count
};

enum class FilterIssue {
    Off,               // switched off in the file; skipped
    NotPeaking,        // a shelf, pass, notch, all-pass or band-pass filter; skipped
    UnknownType,       // a type this reader does not know; skipped
    MissingValue,      // frequency, gain or Q missing or unreadable; skipped
    FrequencyRange,    // outside 20 ... 20000 Hz; skipped
    QLimited,          // outside 0.5 ... 9.0; limited to the nearer end
    GainLimited,       // outside the band range; limited to the nearer end
    TooMany,           // beyond the output's bands; skipped
    PreampNotApplied,  // the preamp is read and reported, never applied
    CommandIgnored,    // an Equalizer APO command other than Filter and Preamp
};

struct FilterMessage {
    int line = 0;       // 1-based
    FilterIssue issue = FilterIssue::Off;
    std::string text;   // the line as written, without its end
};

struct ImportedFilter {
    int line = 0;
    int freq = 0;   // whole Hz
    float q = 0;    // to 0.01
    float gain = 0; // to 0.1 dB
};

struct FilterImport {
    std::vector<ImportedFilter> filters;  // in file order
    std::optional<double> preampDb;
    std::vector<FilterMessage> messages;  // in line order
};

// Reads either format (they share their filter lines); lines that are neither
// filters, the preamp nor an Equalizer APO command (headers, notes, comments,
// blank lines) are passed over.
FilterImport ParseFilterText(const std::string& text, const FilterLimits& limits);

// One line of English for a message: "line 7: ... : <the line>".
std::string DescribeFilterMessage(const FilterMessage& message, const FilterLimits& limits);

// The filters the output applies: its enabled bands with a gain, in band order;
// none while its EQ is bypassed.
std::vector<EqBand> ActiveBands(const ChannelState& channel);

// The text of those filters in a format, numbered from 1; `title` names the
// output in the header or comment.
std::string WriteFilterText(const ChannelState& channel, FilterTextFormat format,
                            const std::string& title);

}  // namespace kavelo
