// Command sequences that write profiles into the amplifier and read stored
// scenes out of it.
#include "control/ProfileTransfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/Log.h"
#include "control/Conversions.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"

namespace kavelo {

namespace {

constexpr int kLastOutput = kOutputChannels - 1;
constexpr std::uint8_t kLowPass = 1;
constexpr std::uint8_t kHighPass = 2;
constexpr int kBandsPerQuery = 8;

// A run of commands counted as it goes, so that progress and failures are
// reported the same way by every sequence.
class Sequence {
public:
    explicit Sequence(DeviceLink& link) : mLink(link) {}
    void Add(std::function<bool()> command) {
        mSteps.push_back({std::move(command), {}});
        ++mCommands;
    }
    // Something to do between commands (a log line) that is not counted.
    void Note(std::function<void()> note) { mSteps.push_back({{}, std::move(note)}); }

    TransferResult Run(const TransferProgress& progress, const TransferStop& stop) {
        TransferResult result;
        result.commands = mCommands;
        int done = 0;
        int missedInRow = 0;
        for (const Step& step : mSteps) {
            if (step.note) {
                step.note();
                continue;
            }
            if ((stop && stop()) || missedInRow >= kTransferMaxMissedReplies ||
                !mLink.IsDeviceOpen()) {
                // What was not sent did not reach the amplifier either.
                result.failed += mCommands - done;
                result.abandoned = true;
                LogPrintA("transfer abandoned after %d of %d commands\n", done, mCommands);
                return result;
            }
            if (step.command()) {
                missedInRow = 0;
            } else {
                ++result.failed;
                ++missedInRow;
            }
            ++done;
            if (progress) progress(done, mCommands);
        }
        return result;
    }

private:
    struct Step {
        std::function<bool()> command;
        std::function<void()> note;
    };
    DeviceLink& mLink;
    std::vector<Step> mSteps;
    int mCommands = 0;
};

template <typename T, typename F>
ChannelArray<T> PerChannel(F value) {
    ChannelArray<T> out{};
    for (int c = 0; c < kOutputChannels; ++c) out[c] = static_cast<T>(value(c));
    return out;
}

int StoredBandCount(const ChannelState& channel) { return std::clamp(channel.eqSize, 0, kEqBands); }

// Crossover filters and EQ bands of every output.
void AddFiltersAndBands(Sequence& seq, DeviceLink& link, std::uint8_t scene,
                        const DspState& state) {
    for (int c = 0; c < kOutputChannels; ++c) {
        const ChannelState& ch = state.channels[c];
        const auto channel = static_cast<std::uint8_t>(c);
        const CrossoverFilter lp = ch.crossover.lp;
        const CrossoverFilter hp = ch.crossover.hp;
        seq.Add([&link, scene, channel, lp] {
            return link.Filter_Ctrl(scene, 0, channel, kLowPass, static_cast<std::uint8_t>(lp.type),
                                    static_cast<std::uint16_t>(lp.fs),
                                    static_cast<std::uint8_t>(lp.slope), true);
        });
        seq.Add([&link, scene, channel, hp] {
            return link.Filter_Ctrl(
                scene, 0, channel, kHighPass, static_cast<std::uint8_t>(hp.type),
                static_cast<std::uint16_t>(hp.fs), static_cast<std::uint8_t>(hp.slope), true);
        });
        for (int b = 0; b < StoredBandCount(ch); ++b) {
            const EqBand band = ch.bands[b];
            const auto index = static_cast<std::uint8_t>(b);
            seq.Add([&link, scene, channel, index, band] {
                return link.EQ_Ctrl(scene, 0, channel, index, static_cast<std::uint16_t>(band.freq),
                                    band.eqFactor, band.eqGain, true);
            });
        }
    }
}

// Roles, trims, mutes, phases, delays and (when asked) the EQ bypass of
// outputs 0 ... 7.
void AddOutputSettings(Sequence& seq, DeviceLink& link, std::uint8_t scene, const DspState& state,
                       bool withBypass) {
    const auto roles = PerChannel<std::uint8_t>([&](int c) { return state.outputs[c]; });
    const auto trims =
        PerChannel<float>([&](int c) { return OutputGainToSent(state.channels[c].gain); });
    const auto mutes = PerChannel<std::uint8_t>([&](int c) { return state.channels[c].mute; });
    const auto phases = PerChannel<std::uint8_t>([&](int c) { return state.channels[c].phase; });
    const auto delays = PerChannel<float>([&](int c) { return state.channels[c].delay; });
    const auto bypass = PerChannel<std::uint8_t>([&](int c) { return state.channels[c].bypass; });
    seq.Add(
        [&link, scene, roles] { return link.CH_Type_Ctrl(scene, 0, 0, kLastOutput, roles, true); });
    seq.Add(
        [&link, scene, trims] { return link.Trim_Ctrl(scene, 0, 0, kLastOutput, trims, true); });
    seq.Add(
        [&link, scene, mutes] { return link.Mute_Ch_Ctrl(scene, 0, 0, kLastOutput, mutes, true); });
    seq.Add(
        [&link, scene, phases] { return link.Phase_Ctrl(scene, 0, 0, kLastOutput, phases, true); });
    seq.Add(
        [&link, scene, delays] { return link.Delay_Ctrl(scene, 0, 0, kLastOutput, delays, true); });
    if (withBypass) {
        seq.Add([&link, scene, bypass] {
            return link.PEQ_Bypass_Ctrl(scene, 0, 0, kLastOutput, bypass, true);
        });
    }
}

// Input routing of every source: a profile holds all nine rows, and writing
// only the selected source's row would lose the other eight.
void AddRouting(Sequence& seq, DeviceLink& link, std::uint8_t scene, const DspState& state) {
    for (int s = 0; s < kInputSources; ++s) {
        const auto row = PerChannel<std::uint16_t>([&](int c) { return state.inputs[s][c]; });
        const auto source = static_cast<std::uint8_t>(s);
        seq.Add([&link, scene, source, row] {
            return link.Mix_Ch_Ctrl(scene, source, 0, kLastOutput, row, true);
        });
    }
}

// Mix levels of every input channel of every source that has input channels.
void AddMixLevels(Sequence& seq, DeviceLink& link, std::uint8_t scene, const DspState& state) {
    for (int s = 0; s < kInputSources; ++s) {
        for (int i = 0; i < InputChannelCount(s); ++i) {
            const auto levels =
                PerChannel<std::uint8_t>([&](int c) { return state.inputMixVolume[s][i][c]; });
            const auto source = static_cast<std::uint8_t>(s);
            const auto input = static_cast<std::uint8_t>(i);
            seq.Add([&link, scene, source, input, levels] {
                return link.Input_Mix_Trim_Ctrl(scene, source, input, 0, kLastOutput, levels, true);
            });
        }
    }
}

void AddMainVolumeAndMute(Sequence& seq, DeviceLink& link, const DspState& state) {
    const auto volume = static_cast<float>(MainVolumeSent(state.mainVolume));
    const int mute = state.mainVolumeMute;
    seq.Add([&link, volume] { return link.Main_Volume_Ctrl(volume, true); });
    seq.Add([&link, mute] { return link.Mute_Ctrl(mute, true); });
}

void LogLocalTime() { DeviceLink::LogDateTime(); }

}  // namespace

std::array<std::uint8_t, kSceneNameBytes> SceneNameToDeviceBytes(const SceneName& name) {
    std::array<std::uint8_t, kSceneNameBytes> out{};
    std::size_t used = 0;
    for (std::size_t i = 0; i + 1 < name.size(); i += 2) {
        std::uint32_t cp = name[i] | (name[i + 1] << 8);
        if (cp == 0) break;
        std::size_t next = i + 2;
        if (cp >= 0xD800 && cp <= 0xDBFF && next + 1 < name.size()) {
            const std::uint32_t low = name[next] | (name[next + 1] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                next += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // unpaired surrogate
        std::string bytes;
        AppendUtf8(bytes, static_cast<char32_t>(cp));
        if (used + bytes.size() > out.size()) break;
        std::copy(bytes.begin(), bytes.end(), out.begin() + used);
        used += bytes.size();
        i = next - 2;
    }
    return out;
}

TransferResult SetReadCurProfileToMCU(DeviceLink& link, const DspState& state,
                                      const TransferProgress& progress, const TransferStop& stop) {
    LogPrintA("%s\n", "EqualizerManager::SetReadCurProfileToMCU");
    Sequence seq(link);
    AddMainVolumeAndMute(seq, link, state);
    AddFiltersAndBands(seq, link, 0, state);
    AddOutputSettings(seq, link, 0, state, true);
    AddRouting(seq, link, 0, state);
    AddMixLevels(seq, link, 0, state);
    return seq.Run(progress, stop);
}

TransferResult SetReadWholeProfileToMCU(DeviceLink& link, const WholeProfile& whole,
                                        const TransferProgress& progress,
                                        const TransferStop& stop) {
    LogPrintA("%s\n", "EqualizerManager::SetReadWholeProfileToMCU");
    LogLocalTime();
    Sequence seq(link);
    for (int k = 1; k <= kSceneSlots; ++k) {
        const auto scene = static_cast<std::uint8_t>(k);
        const DspState& slot = whole.scenes[k - 1];
        seq.Note([k] {
            LogPrintA("set scene(%d)\n", k);
            LogLocalTime();
        });
        AddFiltersAndBands(seq, link, scene, slot);
        AddOutputSettings(seq, link, scene, slot, true);
        AddRouting(seq, link, scene, slot);
        AddMixLevels(seq, link, scene, slot);
        const auto bytes = SceneNameToDeviceBytes(whole.names[k - 1]);
        const std::vector<std::uint8_t> name(bytes.begin(), bytes.end());
        seq.Add([&link, scene, name] { return link.SetSceneName(scene, name); });
        seq.Add([&link, scene] {
            const bool ok = link.SaveScene(scene, 1);
            LogLocalTime();
            return ok;
        });
    }
    // The live state last, with its EQ bypass: leaving the bypass out would
    // keep whatever the amplifier had before.
    AddMainVolumeAndMute(seq, link, whole.live);
    AddFiltersAndBands(seq, link, 0, whole.live);
    AddOutputSettings(seq, link, 0, whole.live, true);
    AddRouting(seq, link, 0, whole.live);
    AddMixLevels(seq, link, 0, whole.live);
    const TransferResult result = seq.Run(progress, stop);
    LogLocalTime();
    return result;
}

TransferResult ReadSceneIntoSlot(DeviceLink& link, int scene, const TransferProgress& progress,
                                 const TransferStop& stop) {
    LogPrintA("read scene sceneId(%d)\n", scene);
    const auto k = static_cast<std::uint8_t>(scene);
    Sequence seq(link);
    seq.Add([&link, k] {
        // The acknowledgement says the copy is ready; without one the amplifier
        // may still be busy, so give it the settle time before asking.
        const bool ok = link.ReadScene(k, 255);
        if (!ok) link.Clock().SleepMs(kSceneReadSettleMs);
        return ok;
    });
    seq.Add([&link, k] { return link.Get_CH_Type(k, 0, 0, kLastOutput); });
    seq.Add([&link, k] { return link.Get_CH_Link(k); });
    seq.Add([&link, k] { return link.Get_CH_Lock(k); });
    seq.Add([&link, k] { return link.Get_Ch_Solo(k, 0, 0, kLastOutput); });
    seq.Add([&link, k] { return link.Get_Filter(k, 0, 0, 3); });
    seq.Add([&link, k] { return link.Get_Filter(k, 0, 4, kLastOutput); });
    seq.Add([&link, k] { return link.Get_PEQ_Bypass(k, 0, 0, kLastOutput); });
    for (int c = 0; c < kOutputChannels; ++c) {
        for (int first = 0; first < kEqBands; first += kBandsPerQuery) {
            const auto channel = static_cast<std::uint8_t>(c);
            const auto from = static_cast<std::uint8_t>(first);
            const auto to =
                static_cast<std::uint8_t>(std::min(first + kBandsPerQuery, kEqBands) - 1);
            seq.Add([&link, k, channel, from, to] { return link.Get_EQ(k, 0, channel, from, to); });
        }
    }
    seq.Add([&link, k] { return link.Get_Delay(k, 0, 0, kLastOutput); });
    seq.Add([&link, k] { return link.Get_Trim(k, 0, 0, kLastOutput); });
    seq.Add([&link, k] { return link.Get_Mute_Ch(k, 0, 0, kLastOutput); });
    seq.Add([&link, k] { return link.Get_Phase(k, 0, 0, kLastOutput); });
    for (int s = 0; s < kInputSources; ++s) {
        const auto source = static_cast<std::uint8_t>(s);
        seq.Add([&link, k, source] { return link.Get_Mix_Ch(k, source, 0, kLastOutput); });
    }
    for (int s = 0; s < kInputSources; ++s) {
        for (int i = 0; i < InputChannelCount(s); ++i) {
            const auto source = static_cast<std::uint8_t>(s);
            const auto input = static_cast<std::uint8_t>(i);
            seq.Add([&link, k, source, input] {
                return link.Get_Input_Mix_CH_Trim(k, source, input, 0, kLastOutput);
            });
        }
    }
    // All ten names: the tenth is as much a part of the configuration as the rest.
    for (int n = 1; n <= kSceneSlots; ++n) {
        const auto index = static_cast<std::uint8_t>(n);
        seq.Add([&link, index] { return link.Get_Scene_Name(index); });
    }
    return seq.Run(progress, stop);
}

}  // namespace kavelo
