#pragma once

#include <cstddef>
#include <iterator>

#include "control/DspOperations.h"
#include "control/DspRecords.h"
#include "sim/AmplifierState.h"

// Q values as a user types them into the band editors, what the editor then
// shows and what the amplifier must hold (whole part and hundredths), one band
// each from band 0 on.
namespace kavelo::test {

struct QualityRow {
    const char* typed;
    const char* shown;
    int hundredths;
};

inline constexpr QualityRow kQualityRows[] = {
    {"2.5", "2.50", 250}, {"1.5", "1.50", 150}, {"0.7", "0.70", 70},   {"5.8", "5.80", 580},
    {"9", "9.00", 900},   {"0.5", "0.50", 50},  {"3.14", "3.10", 310}, {"7.75", "7.80", 780},
    {"0.1", "0.50", 50},  {"12", "9.00", 900},
};
inline constexpr int kQualityRowCount = static_cast<int>(std::size(kQualityRows));

inline int HeldHundredths(const AmpEqBand& band) { return band.qInteger * 100 + band.qFraction; }

// The Q the model keeps for a row: the value the amplifier reports back.
inline float KeptQuality(const QualityRow& row) { return QuantiseEqFactor(row.hundredths / 100.0); }

}  // namespace kavelo::test
