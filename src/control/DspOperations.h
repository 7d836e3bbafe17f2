#pragma once

#include "control/DspRecords.h"

// Pure operations on the model; none of them fails, out-of-range inputs are
// mapped to safe values.
namespace kavelo {

void ResetToDefaults(DspState& state);
// Fills n bands from the frequency list chosen by n (at most 31 are written).
void InitBands(EqBand* bands, int n);
Crossover DefaultCrossover(int role);
int MirrorRole(int role);
bool IsRoleUsed(const DspState& state, int role);
bool IsRoleAvailable(const DspState& state, int output, int role);
bool HasLinkablePair(const DspState& state);
void ComputeLinkPairs(DspState& state);
void CopyOutputConfig(DspState& state, int from, int to);
int InputChannelCount(int source);
// The output groups that may be linked: outputs 0 ... 5 and 6 ... 7.
int OutputGroup(int output);
EqBand* Bands(DspState& state, int channel);
const EqBand* Bands(const DspState& state, int channel);
int BandCount(const DspState& state, int channel);

// Q as the model keeps it: limited to 0.5 ... 9 (not a number gives the
// default) and on the tenth the wire carries, as the amplifier reports it
// back, so the screen, the model, the bytes and a saved profile agree.
float QuantiseEqFactor(double q);
// Every band of every output of `state` on the tenth the wire carries, not
// limited (a Q an amplifier reported outside the range stays there).
void QuantiseEqFactors(DspState& state);

}  // namespace kavelo
