#include "control/DspCommand.h"

#include <cstdio>
#include <sstream>

#include "control/Conversions.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {

constexpr std::uint8_t kLiveScene = 0;
constexpr std::uint8_t kOutputSource = 0;

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v); }

template <class T, class F>
ChannelArray<T> Slots(int first, int last, F value) {
    ChannelArray<T> slots{};
    for (int c = first; c <= last && c < kOutputChannels; ++c)
        if (c >= 0) slots[c] = value(c);
    return slots;
}

ChannelArray<std::uint8_t> OneByte(int channel, int value) {
    return Slots<std::uint8_t>(channel, channel, [value](int) { return Byte(value); });
}

struct Sender {
    DeviceLink& link;
    bool sync;

    bool operator()(const TrimCmd& c) const {
        const auto sent =
            Slots<float>(c.first, c.last, [&c](int n) { return OutputGainToSent(c.gainDb[n]); });
        return link.Trim_Ctrl(kLiveScene, kOutputSource, c.first, c.last, sent, sync);
    }
    bool operator()(const DelayCmd& c) const {
        const auto ms = Slots<float>(c.first, c.last, [&c](int n) { return c.ms[n]; });
        return link.Delay_Ctrl(kLiveScene, kOutputSource, c.first, c.last, ms, sync);
    }
    bool operator()(const ChannelMuteCmd& c) const {
        return link.Mute_Ch_Ctrl(kLiveScene, kOutputSource, c.channel, c.channel,
                                 OneByte(c.channel, c.mute), sync);
    }
    bool operator()(const PhaseCmd& c) const {
        return link.Phase_Ctrl(kLiveScene, kOutputSource, c.channel, c.channel,
                               OneByte(c.channel, c.phase), sync);
    }
    bool operator()(const FilterCmd& c) const {
        return link.Filter_Ctrl(kLiveScene, kOutputSource, Byte(c.channel), Byte(c.filter),
                                Byte(c.type), static_cast<std::uint16_t>(c.fs), Byte(c.slope),
                                sync);
    }
    bool operator()(const EqCmd& c) const {
        return link.EQ_Ctrl(kLiveScene, kOutputSource, Byte(c.channel), Byte(c.band),
                            static_cast<std::uint16_t>(c.freq), c.q, c.gain, sync);
    }
    bool operator()(const PeqBypassCmd& c) const {
        return link.PEQ_Bypass_Ctrl(kLiveScene, kOutputSource, c.channel, c.channel,
                                    OneByte(c.channel, c.bypass), sync);
    }
    bool operator()(const PeqResetCmd& c) const {
        std::vector<std::uint8_t> channels;
        for (int n : c.channels) channels.push_back(Byte(n));
        return link.PEQ_Reset_Ctrl(kLiveScene, kOutputSource, channels, sync);
    }
    bool operator()(const ChannelTypeCmd& c) const {
        return link.CH_Type_Ctrl(kLiveScene, kOutputSource, c.channel, c.channel,
                                 OneByte(c.channel, c.role), sync);
    }
    bool operator()(const LinkCmd& c) const {
        std::vector<std::array<std::uint8_t, 2>> pairs;
        for (const auto& p : c.pairs) pairs.push_back({Byte(p[0]), Byte(p[1])});
        return link.CH_Link_Ctrl(kLiveScene, Byte(c.link), pairs, sync);
    }
    bool operator()(const LockCmd& c) const {
        return link.CH_Lock_Ctrl(kLiveScene, static_cast<std::uint16_t>(c.lock), sync);
    }
    bool operator()(const MainVolumeCmd& c) const {
        return link.Main_Volume_Ctrl(static_cast<float>(MainVolumeSent(c.position)), sync);
    }
    bool operator()(const MainMuteCmd& c) const { return link.Mute_Ctrl(c.mute, sync); }
    bool operator()(const AmpMuteCmd& c) const { return link.Amp_Mute_Ctrl(Byte(c.mute), sync); }
    bool operator()(const MixCmd& c) const {
        ChannelArray<std::uint16_t> masks{};
        if (c.output >= 0 && c.output < kOutputChannels)
            masks[c.output] = static_cast<std::uint16_t>(c.mask);
        return link.Mix_Ch_Ctrl(kLiveScene, Byte(c.source), c.output, c.output, masks, sync);
    }
    bool operator()(const InputMixTrimCmd& c) const {
        return link.Input_Mix_Trim_Ctrl(kLiveScene, Byte(c.source), Byte(c.input), c.output,
                                        c.output, OneByte(c.output, c.level), sync);
    }
    bool operator()(const SourceSwitchCmd& c) const {
        return link.Source_Switch_Ctrl(Byte(c.deviceCode), sync);
    }
};

template <class T>
void Range(std::ostream& out, int first, int last, const PerOutput<T>& values) {
    out << " " << first << ".." << last << " [";
    for (int n = first; n <= last && n >= 0 && n < kOutputChannels; ++n)
        out << (n == first ? "" : " ") << values[n];
    out << "]";
}

struct Describer {
    std::ostream& out;
    void operator()(const TrimCmd& c) const {
        out << "Trim";
        Range(out, c.first, c.last, c.gainDb);
    }
    void operator()(const DelayCmd& c) const {
        out << "Delay";
        Range(out, c.first, c.last, c.ms);
    }
    void operator()(const ChannelMuteCmd& c) const {
        out << "ChannelMute ch" << c.channel << " " << c.mute;
    }
    void operator()(const PhaseCmd& c) const { out << "Phase ch" << c.channel << " " << c.phase; }
    void operator()(const FilterCmd& c) const {
        out << "Filter ch" << c.channel << (c.filter == kHighPassFilter ? " hp" : " lp") << " type "
            << c.type << " fs " << c.fs << " slope " << c.slope;
    }
    void operator()(const EqCmd& c) const {
        out << "Eq ch" << c.channel << " band " << c.band << " " << c.freq << " Hz q " << c.q
            << " gain " << c.gain;
    }
    void operator()(const PeqBypassCmd& c) const {
        out << "PeqBypass ch" << c.channel << " " << c.bypass;
    }
    void operator()(const PeqResetCmd& c) const {
        out << "PeqReset";
        for (int n : c.channels) out << " ch" << n;
    }
    void operator()(const ChannelTypeCmd& c) const {
        out << "ChannelType ch" << c.channel << " role " << c.role;
    }
    void operator()(const LinkCmd& c) const {
        out << "Link " << c.link;
        for (const auto& p : c.pairs) out << " (" << p[0] << "," << p[1] << ")";
    }
    void operator()(const LockCmd& c) const { out << "Lock " << c.lock; }
    void operator()(const MainVolumeCmd& c) const { out << "MainVolume p" << c.position; }
    void operator()(const MainMuteCmd& c) const { out << "MainMute " << c.mute; }
    void operator()(const AmpMuteCmd& c) const { out << "AmpMute " << c.mute; }
    void operator()(const MixCmd& c) const {
        out << "Mix source " << c.source << " ch" << c.output << " mask 0x" << std::hex << c.mask
            << std::dec;
    }
    void operator()(const InputMixTrimCmd& c) const {
        out << "InputMixTrim source " << c.source << " in" << c.input << " ch" << c.output << " "
            << c.level;
    }
    void operator()(const SourceSwitchCmd& c) const {
        out << "SourceSwitch 0x" << std::hex << c.deviceCode << std::dec;
    }
};

}  // namespace

TrimCmd TrimOf(const DspState& state, int channel) {
    TrimCmd c{channel, channel, {}};
    c.gainDb[channel] = state.channels[channel].gain;
    return c;
}

DelayCmd DelayOf(const DspState& state, int channel) {
    DelayCmd c{channel, channel, {}};
    c.ms[channel] = state.channels[channel].delay;
    return c;
}

FilterCmd FilterOf(const DspState& state, int channel, int filter) {
    const Crossover& x = state.channels[channel].crossover;
    const CrossoverFilter& f = filter == kHighPassFilter ? x.hp : x.lp;
    return FilterCmd{channel, filter, f.type, f.fs, f.slope};
}

PeqBypassCmd PeqBypassOf(const DspState& state, int channel) {
    return PeqBypassCmd{channel, state.channels[channel].bypass};
}

bool SendDspCommand(DeviceLink& link, const DspCommand& command, bool syncMode) {
    return std::visit(Sender{link, syncMode}, command);
}

std::string DescribeDspCommand(const DspCommand& command) {
    std::ostringstream out;
    std::visit(Describer{out}, command);
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const DspCommand& command) {
    return out << DescribeDspCommand(command);
}

}  // namespace kavelo
