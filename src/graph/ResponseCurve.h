#pragma once

#include <array>

#include "control/DspRecords.h"

// Magnitude response of an output's crossover and EQ, computed with our own
// filter models at 48 kHz on a fixed logarithmic grid. A drawing aid only.
namespace kavelo {

inline constexpr int kResponsePoints = 512;
inline constexpr double kResponseSampleRate = 48000.0;
// 10 * log10(1e-40): what a section reads where |H|^2 <= 1e-8.
inline constexpr double kSectionFloorDb = -400.0;

using ResponseArray = std::array<double, kResponsePoints>;

struct ResponseCurve {
    ResponseArray freq{};
    ResponseArray db{};
};

// One biquad: numerator b0 b1 b2, denominator 1 a1 a2.
struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

struct FilterSection {
    double p = 0.0;
    double c = 1.0;
    double kind = -1.0;  // -1 empty, 0 first order, 1 second order
};
using FilterSectionList = std::array<FilterSection, 4>;

// The shared frequency grid.
const ResponseArray& ResponseGrid();

// Peaking band design. Returns false (and leaves `out` untouched) when the
// band has no finite design: Q of 0 or below, a centre outside (0, fs/2), or a
// gain so large that a coefficient overflows. Such a band contributes 0 dB.
bool DesignPeaking(double fs, double f0, double gainDb, double q, Biquad& out);

// Crossover design for type 0 ... 3. Returns false for any other type, which
// then contributes a flat 0 dB.
bool DesignCrossover(bool highPass, int fc, int slope, int type, FilterSectionList& out);

// The biquad that one used slot of a section list stands for.
Biquad SectionBiquad(const FilterSection& s, bool highPass);

// Level of one section from |H|^2: the -400 dB floor, and an overflowed
// power capped at the largest finite level so that sums stay finite.
double SectionPowerToDb(double power);

// Response of one crossover filter (0 dB when bypassed or of unknown type).
void ComputeCrossoverResponse(const CrossoverFilter& f, bool highPass, ResponseArray& db);

// Fills `out` for the channel; a channel without bands leaves `out` as it was.
void ComputeChannelResponse(const ChannelState& channel, ResponseCurve& out);

// The calibration curves: bands only, gains as stored whatever `enable` says.
void ComputeCalibrationResponse(const EqBand* bands, int count, ResponseCurve& out);

}  // namespace kavelo
