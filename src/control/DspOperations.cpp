#include "control/DspOperations.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "control/SpeakerRoles.h"
#include "device/DspEncoding.h"

namespace kavelo {
namespace {

const int kList11[11] = {20, 40, 80, 160, 315, 630, 1250, 2500, 5000, 10000, 20000};
const int kList21[21] = {20,  28,   40,   56,   80,   112,  160,  220,   315,   450,  630,
                         890, 1250, 1800, 2500, 3600, 5000, 7100, 10000, 14000, 20000};
const int kList31[31] = {20,   25,   31,   40,   50,   63,    80,    100,   125,  160,  200,
                         250,  315,  400,  500,  630,  800,   1000,  1250,  1600, 2000, 2500,
                         3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

bool ValidChannel(int ch) { return ch >= 0 && ch < kOutputChannels; }

// The first output j != i in the same output group holding the mirror of i's
// role, or -1.
int FindLinkPartner(const DspState& state, int i) {
    const int r = state.outputs[i];
    if (r == 0) return -1;
    const int mirror = MirrorRole(r);
    if (mirror == 0) return -1;
    for (int j = 0; j < kOutputChannels; ++j) {
        if (j != i && state.outputs[j] == mirror) {
            return OutputGroup(j) == OutputGroup(i) ? j : -1;
        }
    }
    return -1;
}

}  // namespace

void SetFilterFs(CrossoverFilter& f, int fs) {
    f.fs = (fs >= kMinFrequency && fs <= kMaxFrequency) ? fs : kMinFrequency;
}

void SetFilterType(CrossoverFilter& f, int type) { f.type = (type >= 1 && type <= 3) ? type : 1; }

void SetFilterSlope(CrossoverFilter& f, int slope) {
    f.slope = slope < 0 ? 0 : slope;
    f.bypass = f.slope <= 0 ? 1 : 0;
}

DspState::DspState() { ResetToDefaults(*this); }

void InitBands(EqBand* bands, int n) {
    if (bands == nullptr || n <= 0) return;
    const int* list = n <= 11 ? kList11 : (n <= 21 ? kList21 : kList31);
    const int listSize = n <= 11 ? 11 : (n <= 21 ? 21 : 31);
    const int count = n < listSize ? n : listSize;
    for (int k = 0; k < count; ++k) {
        bands[k].freq = list[k];
        bands[k].eqGain = 0.0f;
        bands[k].eqFactor = kDefaultEqFactor;
        bands[k].enable = 1;
    }
}

Crossover DefaultCrossover(int role) {
    const SpeakerRoleInfo& info = SpeakerRole(role);
    Crossover x;
    x.hp.fs = info.hpFs;
    x.hp.type = 2;
    SetFilterSlope(x.hp, info.hpSlope);
    x.lp.fs = info.lpFs;
    x.lp.type = 2;
    SetFilterSlope(x.lp, info.lpSlope);
    x.bpType = (x.hp.slope != 0 ? 1 : 0) + (x.lp.slope != 0 ? 2 : 0);
    return x;
}

void ResetToDefaults(DspState& s) {
    s.model = s.mainVersion = s.slaveVersion = -1;
    s.mainVolume = -5;
    s.subVolume = 0;
    s.mainVolumeMute = 0;
    s.inputSource = 0;
    s.commandScene = 0;
    s.inputThreshold = -60;
    s.ampPower = 1;
    s.channelCount = kOutputChannels;
    for (int src = 0; src < kInputSources; ++src) {
        const int* row = DefaultRoutingRow(InputSource(src)->routingRow);
        for (int o = 0; o < kOutputChannels; ++o) s.inputs[src][o] = row[o];
        for (int in = 0; in < kInputRows; ++in) {
            s.inputMixVolume[src][in].fill(100);
            s.inputMixPhase[src][in].fill(0);
            s.crossSource[src][in] = 9;
            s.crossChannel[src][in] = 0;
            s.crossGain[src][in] = 0;
        }
    }
    for (int o = 0; o < kOutputChannels; ++o) {
        s.outputs[o] = kDefaultRoles[o];
        s.linkOutputs[o] = -1;
        s.syncVolumePos[o] = 1;
        s.syncVolumeValue[o] = 1.0f;
        s.showChEqualizer[o] = 0;
        s.compBypass[o] = 1;
        s.compThreshold[o] = 23.0f;
        s.compRatio[o] = 100.0f;
        s.compAttack[o] = 1000;
        s.compRelease[o] = 30000;
        s.compSoftKnee[o] = 24.0f;
        ChannelState& ch = s.channels[o];
        InitBands(ch.bands.data(), kEqBands);
        ch.eqSize = kEqBands;
        ch.gain = 0.0f;
        ch.mute = 0;
        ch.delay = 0.0f;
        ch.phase = 0;
        ch.bypass = 1;
        ch.crossover = DefaultCrossover(s.outputs[o]);
    }
    s.currChannel = 0;
    s.linkMode = 0;
    s.lockMode = 0;
}

int MirrorRole(int role) {
    if (role >= 1 && role <= 6) return role + 6;
    if (role >= 7 && role <= 12) return role - 6;
    if (role >= 13 && role <= 15) return role + 3;
    if (role >= 16 && role <= 18) return role - 3;
    if (role == 22) return 23;
    if (role == 23) return 22;
    return 0;
}

bool IsRoleUsed(const DspState& state, int role) {
    for (int r : state.outputs) {
        if (r == role) return true;
    }
    return false;
}

bool IsRoleAvailable(const DspState& state, int output, int role) {
    const int group = RolePositionGroup(role);
    const int mask = SpeakerRole(role).bandMask;
    if (group < 0 || mask == 0) return true;
    for (int o = 0; o < kOutputChannels; ++o) {
        if (o == output) continue;
        const int other = state.outputs[o];
        if (RolePositionGroup(other) == group && (SpeakerRole(other).bandMask & mask) != 0) {
            return false;
        }
    }
    return true;
}

int OutputGroup(int output) { return output < 6 ? 0 : 1; }

bool HasLinkablePair(const DspState& state) {
    for (int i = 0; i < kOutputChannels; ++i) {
        if (FindLinkPartner(state, i) >= 0) return true;
    }
    return false;
}

void ComputeLinkPairs(DspState& state) {
    for (int i = 0; i < kOutputChannels; ++i) {
        state.linkOutputs[i] = -1;
        if (state.outputs[i] == 0) continue;
        const int mirror = MirrorRole(state.outputs[i]);
        for (int j = 0; j < kOutputChannels; ++j) {
            if (j != i && state.outputs[j] == mirror && mirror != 0 &&
                OutputGroup(j) == OutputGroup(i)) {
                state.linkOutputs[i] = j;
                break;
            }
        }
    }
}

void CopyOutputConfig(DspState& state, int from, int to) {
    LogPrintA("copy out config from %d to %d\n", from, to);
    if (!ValidChannel(from) || !ValidChannel(to) || from == to) return;
    const ChannelState& src = state.channels[from];
    ChannelState& dst = state.channels[to];
    int n = dst.eqSize;
    if (n > kEqBands) n = kEqBands;
    for (int k = 0; k < n; ++k) dst.bands[k] = src.bands[k];
    CrossoverFilter* dstFilters[2] = {&dst.crossover.hp, &dst.crossover.lp};
    const CrossoverFilter* srcFilters[2] = {&src.crossover.hp, &src.crossover.lp};
    for (int f = 0; f < 2; ++f) {
        SetFilterType(*dstFilters[f], srcFilters[f]->type);
        SetFilterSlope(*dstFilters[f], srcFilters[f]->slope);
        SetFilterFs(*dstFilters[f], srcFilters[f]->fs);
    }
    dst.bypass = src.bypass;
}

int InputChannelCount(int source) {
    const InputSourceInfo* info = InputSource(source);
    return info ? info->channelCount : 0;
}

EqBand* Bands(DspState& state, int channel) {
    return ValidChannel(channel) ? state.channels[channel].bands.data() : nullptr;
}

const EqBand* Bands(const DspState& state, int channel) {
    return ValidChannel(channel) ? state.channels[channel].bands.data() : nullptr;
}

int BandCount(const DspState& state, int channel) {
    return ValidChannel(channel) ? state.channels[channel].eqSize : 0;
}

float QuantiseEqFactor(double q) {
    if (!std::isfinite(q)) return kDefaultEqFactor;
    const double limited = std::clamp(q, double{kMinEqFactor}, double{kMaxEqFactor});
    return WireQuality(limited);
}

void QuantiseEqFactors(DspState& state) {
    for (ChannelState& ch : state.channels)
        for (EqBand& band : ch.bands) band.eqFactor = WireQuality(band.eqFactor);
}

}  // namespace kavelo
