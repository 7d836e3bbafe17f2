#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/OutputOperations.h"

// Crossover and EQ edits of the current output, without a screen. Every edit
// reaches the synchronised outputs and, in link mode, the partner as the rules
// say; the operations return the commands in the order they are sent.
namespace kavelo {

// Whether an output's EQ has any band with gain: the EQ bypass follows it after
// a band edit (bypass 1 exactly when there is none).
bool HasBandGain(const ChannelState& channel);

// ---- crossover

// Limits a typed high-pass corner: above the low-pass it takes the low-pass,
// else 20 ... 20000. The low-pass mirror: below the high-pass it takes the
// high-pass, else 20 ... 20000.
int LimitHighPass(const DspState& state, int channel, int fs);
int LimitLowPass(const DspState& state, int channel, int fs);

// What changes in one filter of the current output.
struct FilterChange {
    std::optional<int> fs;
    std::optional<int> slope;
    std::optional<int> type;
};
// The current output's filter (kHighPassFilter or kLowPassFilter) changes; the
// synchronised outputs follow with a command each, the link partner follows. A
// typed or selected change sends the current output after its followers; a drag
// on the curve sends it first.
OutputEdit ChangeFilter(DspState& state, int filter, const FilterChange& change, bool dragged);

// The step of the corner buttons: nothing at the range's end; the new corner is
// kept on its side of the other filter. Empty when nothing moves.
std::optional<int> HighPassStep(const DspState& state, int channel, bool up);
std::optional<int> LowPassStep(const DspState& state, int channel, bool up);

// ---- bands

enum class BandPath { Edit, Drag };

// Band b of the current output becomes (freq, q, gain), enabled.
OutputEdit UpdateBand(DspState& state, int b, int freq, float q, float gain, BandPath path);

// Band b of an output as its editors show it: no gain while the band is off
// or the output's EQ is bypassed.
EqBand ShownBand(const ChannelState& ch, int b);

// The values a band's three edits stand for: a frequency outside 20 ... 20000
// keeps the shown one, Q is limited to 0.5 ... 9, the gain to the slider range
// (in dB); `gainLimited` tells whether the gain was cut. An edit that holds no
// number keeps its shown value and sets `refused`.
struct BandValues {
    int freq = 0;
    float q = 0;
    float gain = 0;
    bool gainLimited = false;
    bool refused = false;
};
BandValues BandFromEdits(const EqBand& shown, const std::string& freqText, const std::string& qText,
                         const std::string& gainText, float minGain, float maxGain);
// The values are those shown, within the band update's own tolerance.
bool SameAsShown(const BandValues& v, const EqBand& shown);

// The steps of the band edits; empty at the limit.
std::optional<int> BandFreqStep(int freq, bool up);
std::optional<float> BandQStep(float q, bool up);
std::optional<float> BandGainStep(float gain, bool up, float minGain, float maxGain);

// The current output's EQ becomes `bands` (gain, Q, frequency; band i takes
// entry i) through the band update of an edit, so followers, the bypass rule
// and the commands are those of typing each band in; the bands after them are
// flattened (gain 0). Entries beyond the output's bands are not used.
OutputEdit ReplaceBands(DspState& state, const std::vector<EqBand>& bands);

// The band enable button with the band's slider at `sliderGain` dB.
OutputEdit ToggleBandEnable(DspState& state, int b, float sliderGain);

// The EQ bypass button once its question was answered: `bypass` is the new
// value, or empty when no question was asked (nothing to switch).
OutputEdit SetEqBypass(DspState& state, std::optional<int> bypass);

// Resets the current output's bands (and the followers'); the commands end with
// the reset of the current output and its partner.
OutputEdit ResetEq(DspState& state);

}  // namespace kavelo
