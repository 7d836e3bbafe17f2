#pragma once

#include <cfloat>
#include <cmath>
#include <complex>

#include "graph/ResponseCurve.h"

// The response evaluated plainly, each section over the grid with its own
// trigonometry and log10; the yardstick for the fast path. It takes the
// crossover sections from the production design, so it checks only the
// evaluation and the summation; the designs themselves are checked against
// analogue prototypes (ResponseCurveTest, CrossoverFamily).
namespace kavelo::reference {

inline ResponseArray Grid() {
    ResponseArray g;
    for (int k = 0; k < kResponsePoints - 1; ++k) {
        g[k] =
            std::pow(10.0, std::log10(kResponseSampleRate / 2.0) * (k + 1) / (kResponsePoints - 1));
    }
    g[kResponsePoints - 1] = kResponseSampleRate;
    return g;
}

inline void AddSectionDb(const ResponseArray& grid, const Biquad& q, ResponseArray& db) {
    for (int k = 0; k < kResponsePoints; ++k) {
        const double w = 8.0 * std::atan(1.0) * (grid[k] * 0.5 / grid[kResponsePoints - 2]);
        const std::complex<double> z1 = std::polar(1.0, -w);
        const std::complex<double> num = q.b0 + z1 * (q.b1 + z1 * q.b2);
        const std::complex<double> den = 1.0 + z1 * (q.a1 + z1 * q.a2);
        const double p = std::norm(num / den);
        double level = -400.0;
        if (p > 1e-8) level = p > DBL_MAX ? 10.0 * std::log10(DBL_MAX) : 10.0 * std::log10(p);
        db[k] += level;
    }
}

inline void Crossover(const ResponseArray& grid, const CrossoverFilter& f, bool highPass,
                      ResponseArray& db) {
    db.fill(0.0);
    if (f.bypass == 1) return;
    FilterSectionList s;
    if (!DesignCrossover(highPass, f.fs, f.slope, f.type, s)) return;
    for (const FilterSection& sec : s) {
        if (sec.kind >= 0.0) AddSectionDb(grid, SectionBiquad(sec, highPass), db);
    }
}

inline void ChannelResponse(const ChannelState& ch, ResponseCurve& out) {
    const ResponseArray grid = Grid();
    ResponseArray hp, lp, bands{};
    Crossover(grid, ch.crossover.hp, true, hp);
    Crossover(grid, ch.crossover.lp, false, lp);
    const int count = ch.eqSize < 0 ? 0 : (ch.eqSize > kEqBands ? kEqBands : ch.eqSize);
    if (count == 0) return;
    for (int j = 0; j < count; ++j) {
        const EqBand& b = ch.bands[j];
        const double gain = (ch.bypass == 1 || b.enable != 1) ? 0.0 : b.eqGain;
        Biquad q;
        if (DesignPeaking(kResponseSampleRate, b.freq, gain, b.eqFactor, q)) {
            AddSectionDb(grid, q, bands);
        }
    }
    for (int k = 0; k < kResponsePoints; ++k) {
        out.freq[k] = grid[k];
        out.db[k] = hp[k] + lp[k] + bands[k];
    }
}

}  // namespace kavelo::reference
