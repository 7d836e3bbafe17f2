#include "control/EqOperations.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/ParseNumber.h"

namespace kavelo {

namespace {

constexpr float kGainEpsilon = 0.001f;

bool ValidOutput(int n) { return n >= 0 && n < kOutputChannels; }

int BandLimit(const ChannelState& ch) { return std::clamp(ch.eqSize, 0, kEqBands); }

EqCmd BandCmd(const DspState& state, int channel, int b) {
    const EqBand& band = state.channels[channel].bands[b];
    return EqCmd{channel, b, band.freq, band.eqFactor, band.enable ? band.eqGain : 0.0f};
}

CrossoverFilter& Filter(ChannelState& ch, int filter) {
    return filter == kHighPassFilter ? ch.crossover.hp : ch.crossover.lp;
}

// The outputs that follow the current one: the synchronised ones, in order.
template <class F>
void ForSynced(const DspState& state, int current, F f) {
    for (int i = 0; i < kOutputChannels; ++i)
        if (SyncedWith(state, current, i)) f(i);
}

}  // namespace

bool HasBandGain(const ChannelState& channel) {
    const int n = BandLimit(channel);
    return std::any_of(channel.bands.begin(), channel.bands.begin() + n,
                       [](const EqBand& b) { return std::fabs(b.eqGain) > kGainEpsilon; });
}

// ---------------------------------------------------------------- crossover

int LimitHighPass(const DspState& state, int channel, int fs) {
    const int lp = state.channels[channel].crossover.lp.fs;
    if (fs > lp) return lp;
    return std::clamp(fs, kMinFrequency, kMaxFrequency);
}

int LimitLowPass(const DspState& state, int channel, int fs) {
    const int hp = state.channels[channel].crossover.hp.fs;
    if (fs < hp) return hp;
    return std::clamp(fs, kMinFrequency, kMaxFrequency);
}

OutputEdit ChangeFilter(DspState& state, int filter, const FilterChange& change, bool dragged) {
    OutputEdit edit;
    const int current = state.currChannel;
    if (!ValidOutput(current)) return edit;
    auto apply = [&](int channel) {
        CrossoverFilter& f = Filter(state.channels[channel], filter);
        if (change.type) SetFilterType(f, *change.type);
        if (change.slope) SetFilterSlope(f, *change.slope);
        if (change.fs) SetFilterFs(f, *change.fs);
    };
    apply(current);
    if (dragged) edit.commands.push_back(FilterOf(state, current, filter));
    ForSynced(state, current, [&](int i) {
        apply(i);
        edit.commands.push_back(FilterOf(state, i, filter));
    });
    const int partner = LinkPartner(state, current);
    if (partner >= 0) apply(partner);
    if (!dragged) edit.commands.push_back(FilterOf(state, current, filter));
    if (partner >= 0) edit.commands.push_back(FilterOf(state, partner, filter));
    return edit;
}

std::optional<int> HighPassStep(const DspState& state, int channel, bool up) {
    const Crossover& x = state.channels[channel].crossover;
    if ((up && x.hp.fs >= kMaxFrequency) || (!up && x.hp.fs <= kMinFrequency)) return std::nullopt;
    return std::min(FrequencyStep(x.hp.fs, up), x.lp.fs);
}

std::optional<int> LowPassStep(const DspState& state, int channel, bool up) {
    const Crossover& x = state.channels[channel].crossover;
    if ((up && x.lp.fs >= kMaxFrequency) || (!up && x.lp.fs <= kMinFrequency)) return std::nullopt;
    return std::max(FrequencyStep(x.lp.fs, up), x.hp.fs);
}

// ---------------------------------------------------------------- bands

OutputEdit UpdateBand(DspState& state, int b, int freq, float q, float gain, BandPath path) {
    OutputEdit edit;
    const int current = state.currChannel;
    if (!ValidOutput(current)) return edit;
    ChannelState& ch = state.channels[current];
    if (b < 0 || b >= BandLimit(ch)) return edit;
    const int partner = LinkPartner(state, current);

    // A bypassed EQ keeps hidden gains; editing a band starts from a flat EQ.
    auto clearBypassed = [&] {
        if (ch.bypass != 1) return;
        auto clear = [&](int o) {
            ChannelState& c = state.channels[o];
            for (int j = 0; j < BandLimit(c); ++j) {
                if (std::fabs(c.bands[j].eqGain) <= kGainEpsilon) continue;
                c.bands[j].eqGain = 0.0f;
                c.bands[j].enable = 1;
                edit.commands.push_back(BandCmd(state, o, j));
            }
        };
        clear(current);
        ForSynced(state, current, [&](int i) {
            if (state.channels[i].bypass == 1) clear(i);
        });
        if (partner >= 0 && state.channels[partner].bypass == 1) clear(partner);
    };
    q = QuantiseEqFactor(q);
    // Compared with the band as it is after any hidden gains were cleared: a
    // value equal to a hidden gain is still a change (it makes the band audible).
    const EqBand& stored = ch.bands[b];
    auto sameShape = [&] {
        return stored.freq == freq && std::fabs(q - stored.eqFactor) < 0.01f && stored.enable == 1;
    };
    auto unchanged = [&] { return sameShape() && std::fabs(gain - stored.eqGain) < 0.01f; };

    if (path == BandPath::Edit) {
        clearBypassed();
        if (unchanged()) return edit;
    } else {
        if (std::fabs(gain) > kGainEpsilon) clearBypassed();
        if (unchanged()) return edit;
        // Dragging a bypassed band along the zero line changes nothing audible.
        if (sameShape() && ch.bypass == 1 && std::fabs(gain) < kGainEpsilon) return edit;
    }

    const EqBand value{gain, q, freq, 1};
    ch.bands[b] = value;
    ForSynced(state, current, [&](int i) {
        state.channels[i].bands[b] = value;
        edit.commands.push_back(BandCmd(state, i, b));
    });
    if (partner >= 0) state.channels[partner].bands[b] = value;

    const std::uint8_t bypass = std::fabs(gain) > kGainEpsilon ? 0 : (HasBandGain(ch) ? 0 : 1);
    if (path == BandPath::Drag) edit.commands.push_back(BandCmd(state, current, b));
    if (ch.bypass != bypass) {
        ch.bypass = bypass;
        edit.commands.push_back(PeqBypassOf(state, current));
    }
    ForSynced(state, current, [&](int i) {
        if (state.channels[i].bypass == ch.bypass) return;
        state.channels[i].bypass = ch.bypass;
        edit.commands.push_back(PeqBypassOf(state, i));
    });
    if (partner >= 0 && state.channels[partner].bypass != bypass) {
        state.channels[partner].bypass = bypass;
        edit.commands.push_back(PeqBypassOf(state, partner));
    }
    if (path == BandPath::Edit) edit.commands.push_back(BandCmd(state, current, b));
    if (partner >= 0) edit.commands.push_back(BandCmd(state, partner, b));
    return edit;
}

EqBand ShownBand(const ChannelState& ch, int b) {
    EqBand band = ch.bands[std::clamp(b, 0, kEqBands - 1)];
    if (ch.bypass != 0 || band.enable == 0) band.eqGain = 0.0f;
    return band;
}

BandValues BandFromEdits(const EqBand& shown, const std::string& freqText, const std::string& qText,
                         const std::string& gainText, float minGain, float maxGain) {
    BandValues v;
    const std::optional<int> freq = ReadTypedFrequency(freqText);
    const std::optional<double> q = ReadTypedNumber(qText);
    const std::optional<double> gain = ReadTypedNumber(gainText);
    v.refused = !freq || !q || !gain;
    v.freq = freq.value_or(shown.freq);
    if (v.freq < kMinFrequency || v.freq > kMaxFrequency) v.freq = shown.freq;
    v.q = q ? QuantiseEqFactor(*q) : shown.eqFactor;
    const float typed = gain ? static_cast<float>(std::clamp(*gain, -1e6, 1e6)) : shown.eqGain;
    v.gain = std::clamp(typed, minGain, maxGain);
    v.gainLimited = v.gain != typed;
    return v;
}

bool SameAsShown(const BandValues& v, const EqBand& shown) {
    return v.freq == shown.freq && std::fabs(v.q - shown.eqFactor) < 0.01f &&
           std::fabs(v.gain - shown.eqGain) < 0.01f;
}

std::optional<int> BandFreqStep(int freq, bool up) {
    if ((up && freq >= kMaxFrequency) || (!up && freq <= kMinFrequency)) return std::nullopt;
    return FrequencyStep(freq, up);
}

std::optional<float> BandQStep(float q, bool up) {
    // Q is kept in tenths, so a step goes to the next tenth beyond the stored
    // value (a half-tenth step would round back to where it started).
    const double at = static_cast<double>(q);
    if (up) {
        if (std::fabs(q - kMaxEqFactor) < 0.01f) return std::nullopt;
        return QuantiseEqFactor((std::floor((at + 0.01) * 10.0) + 1.0) / 10.0);
    }
    if (std::fabs(q - kMinEqFactor) < 0.01f) return std::nullopt;
    return QuantiseEqFactor((std::ceil((at - 0.01) * 10.0) - 1.0) / 10.0);
}

std::optional<float> BandGainStep(float gain, bool up, float minGain, float maxGain) {
    if (up && std::fabs(gain - maxGain) < 0.01f) return std::nullopt;
    if (!up && std::fabs(gain - minGain) < 0.01f) return std::nullopt;
    return std::clamp(gain + (up ? 0.1f : -0.1f), minGain, maxGain);
}

OutputEdit ReplaceBands(DspState& state, const std::vector<EqBand>& bands) {
    OutputEdit edit;
    const int current = state.currChannel;
    if (!ValidOutput(current)) return edit;
    const int n = BandLimit(state.channels[current]);
    for (int b = 0; b < n; ++b) {
        const EqBand stored = state.channels[current].bands[b];
        if (b < static_cast<int>(bands.size())) {
            const EqBand& v = bands[static_cast<std::size_t>(b)];
            edit.Append(UpdateBand(state, b, v.freq, v.eqFactor, v.eqGain, BandPath::Edit));
        } else if (std::fabs(stored.eqGain) > kGainEpsilon) {
            edit.Append(UpdateBand(state, b, stored.freq, stored.eqFactor, 0.0f, BandPath::Edit));
        }
    }
    return edit;
}

OutputEdit ToggleBandEnable(DspState& state, int b, float sliderGain) {
    OutputEdit edit;
    LogPrintA("OnEqEnable mEqIndex %d\n", b);
    const int current = state.currChannel;
    if (!ValidOutput(current) || b < 0 || b >= BandLimit(state.channels[current])) return edit;
    EqBand& band = state.channels[current].bands[b];
    if (band.enable && std::fabs(sliderGain) > kGainEpsilon) {
        band.enable = 0;
        edit.commands.push_back(BandCmd(state, current, b));
    } else if (!band.enable && std::fabs(band.eqGain - sliderGain) > kGainEpsilon) {
        band.enable = 1;
        edit.commands.push_back(BandCmd(state, current, b));
    }
    auto follow = [&](int i) {
        state.channels[i].bands[b].enable = band.enable;
        edit.commands.push_back(BandCmd(state, i, b));
    };
    ForSynced(state, current, follow);
    const int partner = LinkPartner(state, current);
    if (partner >= 0) follow(partner);
    return edit;
}

OutputEdit SetEqBypass(DspState& state, std::optional<int> bypass) {
    OutputEdit edit;
    const int current = state.currChannel;
    if (!ValidOutput(current)) return edit;
    ChannelState& ch = state.channels[current];
    if (bypass) ch.bypass = static_cast<std::uint8_t>(*bypass ? 1 : 0);
    edit.commands.push_back(PeqBypassOf(state, current));
    auto follow = [&](int i) {
        state.channels[i].bypass = ch.bypass;
        edit.commands.push_back(PeqBypassOf(state, i));
    };
    ForSynced(state, current, follow);
    const int partner = LinkPartner(state, current);
    if (partner >= 0) follow(partner);
    return edit;
}

OutputEdit ResetEq(DspState& state) {
    OutputEdit edit;
    const int current = state.currChannel;
    if (!ValidOutput(current)) return edit;
    auto refill = [&](int o) {
        ChannelState& c = state.channels[o];
        InitBands(c.bands.data(), BandLimit(c));
    };
    refill(current);
    ForSynced(state, current, [&](int i) {
        refill(i);
        for (int j = 0; j < BandLimit(state.channels[i]); ++j)
            edit.commands.push_back(BandCmd(state, i, j));
    });
    const int partner = LinkPartner(state, current);
    PeqResetCmd reset{{current}};
    if (partner >= 0) {
        refill(partner);
        reset.channels.push_back(partner);
    }
    edit.commands.push_back(reset);
    return edit;
}

}  // namespace kavelo
