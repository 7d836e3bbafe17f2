#pragma once

#include <array>
#include <ostream>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "control/DspRecords.h"

namespace kavelo {

class DeviceLink;

// A setting command as a value: what an edit decided to send, in order, before
// anything is sent. Operations on the model return these so that their rules
// (who follows, what is clamped, in which order) can be checked without a
// device; `SendDspCommand` turns one into the link's builder call. Live
// commands always carry scene 0 and, per output, source 0.

struct TrimCmd {  // output gains in dB; the wire carries 0 - gain
    int first = 0;
    int last = 0;
    PerOutput<float> gainDb{};
    auto Fields() const { return std::tie(first, last, gainDb); }
};
struct DelayCmd {
    int first = 0;
    int last = 0;
    PerOutput<float> ms{};
    auto Fields() const { return std::tie(first, last, ms); }
};
struct ChannelMuteCmd {
    int channel = 0;
    int mute = 0;
    auto Fields() const { return std::tie(channel, mute); }
};
struct PhaseCmd {
    int channel = 0;
    int phase = 0;
    auto Fields() const { return std::tie(channel, phase); }
};
inline constexpr int kLowPassFilter = 1;
inline constexpr int kHighPassFilter = 2;
struct FilterCmd {
    int channel = 0;
    int filter = kHighPassFilter;
    int type = 2;
    int fs = kMinFrequency;
    int slope = 0;
    auto Fields() const { return std::tie(channel, filter, type, fs, slope); }
};
struct EqCmd {
    int channel = 0;
    int band = 0;
    int freq = 0;
    float q = 0;
    float gain = 0;
    auto Fields() const { return std::tie(channel, band, freq, q, gain); }
};
struct PeqBypassCmd {
    int channel = 0;
    int bypass = 0;
    auto Fields() const { return std::tie(channel, bypass); }
};
struct PeqResetCmd {
    std::vector<int> channels;
    auto Fields() const { return std::tie(channels); }
};
struct ChannelTypeCmd {  // an output's speaker role
    int channel = 0;
    int role = 0;
    auto Fields() const { return std::tie(channel, role); }
};
struct LinkCmd {
    int link = 0;
    std::vector<std::array<int, 2>> pairs;  // (copied from, copied to)
    auto Fields() const { return std::tie(link, pairs); }
};
struct LockCmd {
    int lock = 0;
    auto Fields() const { return std::tie(lock); }
};
struct MainVolumeCmd {  // slider position 0 ... 40; the wire carries 6 - dB
    int position = 0;
    auto Fields() const { return std::tie(position); }
};
struct MainMuteCmd {
    int mute = 0;
    auto Fields() const { return std::tie(mute); }
};
struct AmpMuteCmd {
    int mute = 0;
    auto Fields() const { return std::tie(mute); }
};
struct MixCmd {  // the input channels routed to one output under a source
    int source = 0;
    int output = 0;
    int mask = 0;
    auto Fields() const { return std::tie(source, output, mask); }
};
struct InputMixTrimCmd {  // one input channel's level into one output
    int source = 0;
    int input = 0;
    int output = 0;
    int level = 0;
    auto Fields() const { return std::tie(source, input, output, level); }
};
struct SourceSwitchCmd {
    int deviceCode = 0;
    auto Fields() const { return std::tie(deviceCode); }
};

using DspCommand =
    std::variant<TrimCmd, DelayCmd, ChannelMuteCmd, PhaseCmd, FilterCmd, EqCmd, PeqBypassCmd,
                 PeqResetCmd, ChannelTypeCmd, LinkCmd, LockCmd, MainVolumeCmd, MainMuteCmd,
                 AmpMuteCmd, MixCmd, InputMixTrimCmd, SourceSwitchCmd>;
using DspCommands = std::vector<DspCommand>;

template <class T>
auto operator==(const T& a, const T& b) -> decltype(a.Fields() == b.Fields()) {
    return a.Fields() == b.Fields();
}

// Builders for the common one-output forms.
TrimCmd TrimOf(const DspState& state, int channel);
DelayCmd DelayOf(const DspState& state, int channel);
FilterCmd FilterOf(const DspState& state, int channel, int filter);
PeqBypassCmd PeqBypassOf(const DspState& state, int channel);

// Sends (syncMode) or queues one command through the link's builder. Returns
// the builder's result: false when nothing went out.
bool SendDspCommand(DeviceLink& link, const DspCommand& command, bool syncMode);

// One line naming the command and its values, for logs and test failures.
std::string DescribeDspCommand(const DspCommand& command);
std::ostream& operator<<(std::ostream& out, const DspCommand& command);

}  // namespace kavelo
