#include "control/StateDiff.h"

#include <type_traits>

#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"

namespace kavelo {

namespace {

float SentGain(const EqBand& band) { return band.enable ? band.eqGain : 0.0f; }

bool SameBand(const EqBand& a, const EqBand& b) {
    return a.freq == b.freq && a.eqFactor == b.eqFactor && SentGain(a) == SentGain(b);
}

bool SameFilter(const CrossoverFilter& a, const CrossoverFilter& b) {
    return a.fs == b.fs && a.type == b.type && a.slope == b.slope;
}

LinkCmd LinkOf(const DspState& state) {
    LinkCmd link{state.linkMode, {}};
    if (state.linkMode != 1) return link;
    for (int i = 0; i < kOutputChannels; ++i) {
        const int j = state.linkOutputs[i];
        if (j > i && j < kOutputChannels) link.pairs.push_back({i, j});
    }
    return link;
}

// One command over the outputs from the first to the last that differ; the
// ones in between carry their (unchanged) target values.
template <class Cmd, class Value>
void AddRange(DspCommands& out, const DspState& from, const DspState& to, Value value) {
    int first = -1;
    int last = -1;
    for (int c = 0; c < kOutputChannels; ++c) {
        if (value(from.channels[c]) == value(to.channels[c])) continue;
        if (first < 0) first = c;
        last = c;
    }
    if (first < 0) return;
    Cmd cmd;
    cmd.first = first;
    cmd.last = last;
    for (int c = 0; c < kOutputChannels; ++c) {
        if constexpr (std::is_same_v<Cmd, TrimCmd>)
            cmd.gainDb[c] = value(to.channels[c]);
        else
            cmd.ms[c] = value(to.channels[c]);
    }
    out.push_back(cmd);
}

void AddOutput(DspCommands& out, const DspState& from, const DspState& to, int c) {
    const ChannelState& a = from.channels[c];
    const ChannelState& b = to.channels[c];
    if (from.outputs[c] != to.outputs[c]) out.push_back(ChannelTypeCmd{c, to.outputs[c]});
    if (!SameFilter(a.crossover.hp, b.crossover.hp))
        out.push_back(FilterOf(to, c, kHighPassFilter));
    if (!SameFilter(a.crossover.lp, b.crossover.lp)) out.push_back(FilterOf(to, c, kLowPassFilter));
    for (int k = 0; k < kEqBands; ++k) {
        if (SameBand(a.bands[k], b.bands[k])) continue;
        const EqBand& band = b.bands[k];
        out.push_back(EqCmd{c, k, band.freq, band.eqFactor, SentGain(band)});
    }
    if (a.bypass != b.bypass) out.push_back(PeqBypassOf(to, c));
}

}  // namespace

DspCommands DiffStates(const DspState& from, const DspState& to) {
    DspCommands out;
    if (from.inputSource != to.inputSource) {
        if (const InputSourceInfo* source = InputSource(to.inputSource))
            out.push_back(SourceSwitchCmd{source->deviceCode});
    }
    if (from.mainVolume != to.mainVolume) out.push_back(MainVolumeCmd{to.mainVolume});
    if (from.mainVolumeMute != to.mainVolumeMute) out.push_back(MainMuteCmd{to.mainVolumeMute});
    if (from.ampPower != to.ampPower) out.push_back(AmpMuteCmd{to.ampPower ? 0 : 1});
    if (from.lockMode != to.lockMode) out.push_back(LockCmd{to.lockMode});
    if (!(LinkOf(from) == LinkOf(to))) out.push_back(LinkOf(to));
    for (int c = 0; c < kOutputChannels; ++c) AddOutput(out, from, to, c);
    AddRange<TrimCmd>(out, from, to, [](const ChannelState& ch) { return ch.gain; });
    AddRange<DelayCmd>(out, from, to, [](const ChannelState& ch) { return ch.delay; });
    for (int c = 0; c < kOutputChannels; ++c) {
        if (from.channels[c].mute != to.channels[c].mute)
            out.push_back(ChannelMuteCmd{c, to.channels[c].mute});
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        if (from.channels[c].phase != to.channels[c].phase)
            out.push_back(PhaseCmd{c, to.channels[c].phase});
    }
    for (int s = 0; s < kInputSources; ++s) {
        for (int c = 0; c < kOutputChannels; ++c) {
            if (from.inputs[s][c] != to.inputs[s][c]) out.push_back(MixCmd{s, c, to.inputs[s][c]});
        }
    }
    for (int s = 0; s < kInputSources; ++s) {
        for (int i = 0; i < InputChannelCount(s); ++i) {
            for (int c = 0; c < kOutputChannels; ++c) {
                const int level = to.inputMixVolume[s][i][c];
                if (from.inputMixVolume[s][i][c] != level)
                    out.push_back(InputMixTrimCmd{s, i, c, level});
            }
        }
    }
    return out;
}

DspState WithSettingsOf(DspState current, const DspState& settings) {
    current.inputSource = settings.inputSource;
    current.mainVolume = settings.mainVolume;
    current.mainVolumeMute = settings.mainVolumeMute;
    current.ampPower = settings.ampPower;
    current.channels = settings.channels;
    current.inputs = settings.inputs;
    current.inputMixVolume = settings.inputMixVolume;
    current.outputs = settings.outputs;
    current.linkMode = settings.linkMode;
    current.lockMode = settings.lockMode;
    current.linkOutputs = settings.linkOutputs;
    return current;
}

}  // namespace kavelo
