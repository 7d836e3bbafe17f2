#include "control/OutputOperations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/RoleOperations.h"
#include "control/SpeakerRoles.h"

namespace kavelo {

namespace {

std::uint8_t Bit(int n) { return static_cast<std::uint8_t>(1u << n); }

bool ValidOutput(int n) { return n >= 0 && n < kOutputChannels; }

// What an edit showing `gainDb` reads back as.
float EditNumber(float gainDb, int sliderMinimum) {
    return OutputGainToSlider(gainDb) <= sliderMinimum
               ? kMinOutputGain
               : static_cast<float>(static_cast<int>(gainDb));
}

LinkCmd Unlinked() { return LinkCmd{0, {}}; }

}  // namespace

void OutputEdit::Append(const OutputEdit& later) {
    commands.insert(commands.end(), later.commands.begin(), later.commands.end());
    volumeShown |= later.volumeShown;
    delayShown |= later.delayShown;
}

std::string VolumeText(float gainDb, int sliderMinimum, const std::string& offText) {
    if (OutputGainToSlider(gainDb) <= sliderMinimum) return offText;
    return std::to_string(static_cast<int>(gainDb)) + "dB";
}

std::string DelayText(float ms, DelayUnit unit) {
    char text[32];
    const double shown = DelayShown(ms, unit);
    std::snprintf(text, sizeof text,
                  unit == DelayUnit::Ms   ? "%.3f ms"
                  : unit == DelayUnit::Cm ? "%.2f cm"
                                          : "%.2f in",
                  shown);
    return text;
}

bool SyncedWith(const DspState& state, int n, int i) {
    return ValidOutput(n) && ValidOutput(i) && i != n && state.syncFlags[n] == 1 &&
           state.syncFlags[i] == 1;
}

int LinkPartner(const DspState& state, int n) {
    if (state.linkMode != 1 || !ValidOutput(n)) return -1;
    const int k = state.linkOutputs[n];
    return ValidOutput(k) && k != n ? k : -1;
}

ModeControls ModeControlsOf(const DspState& state) {
    ModeControls m;
    m.linkEnabled =
        std::none_of(state.syncFlags.begin(), state.syncFlags.end(), [](int f) { return f == 1; });
    m.syncEnabled = state.linkMode != 1;
    m.roleButtonsEnabled = state.lockMode != 1;
    return m;
}

std::uint8_t SelectedChannelButtons(const DspState& state, int n) {
    std::uint8_t selected = 0;
    for (int i = 0; i < kOutputChannels; ++i)
        if (i == n || state.syncFlags[i] == 1) selected |= Bit(i);
    const int k = LinkPartner(state, n);
    if (k >= 0) selected |= Bit(k);
    return selected;
}

std::uint32_t SelectedSpeakers(const DspState& state, int n) {
    if (!ValidOutput(n) || state.outputs[n] < 1) return 0;
    std::uint32_t selected = 0;
    const int k = LinkPartner(state, n);
    for (int r = 1; r < kSpeakerRoles; ++r)
        if (state.outputs[n] == r || (k >= 0 && state.outputs[k] == r)) selected |= 1u << r;
    return selected;
}

void RememberSyncVolume(DspState& state, int n, bool on, const VolumeControls& controls) {
    if (!ValidOutput(n)) return;
    state.syncVolumePos[n] = on ? controls.slider[n] : 1;
    state.syncVolumeValue[n] = on ? controls.edit[n] : 1.0f;
}

OutputEdit ChangeChannelVolume(DspState& state, int n, float gainDb, bool fromEdit,
                               VolumeControls controls) {
    OutputEdit edit;
    if (!ValidOutput(n)) return edit;
    edit.volumeShown |= Bit(n);
    ChannelState& ch = state.channels[n];
    if (ch.gain == gainDb) return edit;
    const float d = gainDb - ch.gain;
    ch.gain = gainDb;
    edit.commands.push_back(TrimOf(state, n));
    // n's controls show the new value by now; a remembered volume is taken from them.
    controls.slider[n] = OutputGainToSlider(gainDb);
    controls.edit[n] = EditNumber(gainDb, controls.minimum);

    const float lo = controls.minimum / 10.0f;
    const float hi = controls.maximum / 10.0f;
    auto follow = [&](int i, float from) {
        state.channels[i].gain = std::clamp(from + d, lo, hi);
        edit.commands.push_back(TrimOf(state, i));
        edit.volumeShown |= Bit(i);
    };
    for (int i = 0; i < kOutputChannels; ++i) {
        if (!SyncedWith(state, n, i) || state.syncVolumeValue[i] == 1.0f) continue;
        RememberSyncVolume(state, n, true, controls);
        follow(i, fromEdit ? controls.edit[i] : controls.slider[i] / 10.0f);
    }
    const int k = LinkPartner(state, n);
    if (k >= 0 && !(edit.volumeShown & Bit(k))) follow(k, controls.slider[k] / 10.0f);
    return edit;
}

OutputEdit SetChVolumeSlider(DspState& state, int n, int position, const VolumeControls& controls) {
    const float v = position / 10.0f;
    LogPrintA("set channel %d volume to %.1fdB\n", n, static_cast<double>(v));
    return ChangeChannelVolume(state, n, v, false, controls);
}

OutputEdit SetChVolumeEdit(DspState& state, int n, int typedDb, const VolumeControls& controls,
                           bool* clamped) {
    const int lo = controls.minimum / 10;
    const int hi = controls.maximum / 10;
    const int v = std::clamp(typedDb, lo, hi);
    if (clamped) *clamped = v != typedDb;
    LogPrintA("on ch %d volume edit change to %.1f dB\n", n, static_cast<double>(v));
    if (ValidOutput(n) && state.channels[n].gain != static_cast<float>(v))
        LogPrintA("set channe %d volume to %.1fdB\n", n, static_cast<double>(v));
    return ChangeChannelVolume(state, n, static_cast<float>(v), true, controls);
}

namespace {
float DelayFromSlider(int microseconds, DelayUnit unit, std::string* shown) {
    const double ms = std::clamp(microseconds / 1000.0, 0.0, static_cast<double>(kMaxDelayMs));
    char text[32];
    double back = 0.0;
    switch (unit) {
        case DelayUnit::Cm:
            std::snprintf(text, sizeof text, "%.2f cm", ms * 519.0 / 15.0);
            back = std::atof(text) * 15.0 / 519.0;
            break;
        case DelayUnit::In:
            std::snprintf(text, sizeof text, "%.2f in", ms * 204.0 / 15.0);
            back = std::atof(text) * 15.0 / 204.0;
            break;
        case DelayUnit::Ms:
        default:
            std::snprintf(text, sizeof text, "%.3f ms", ms);
            back = std::atof(text);
            break;
    }
    const float stored = QuantiseDelay(back);
    LogPrintA("tmp %s\n", text);
    LogPrintA("delay %g\n", static_cast<double>(stored));
    if (shown) *shown = text;
    return stored;
}
}  // namespace

OutputEdit SetChDelaySlider(DspState& state, int n, int microseconds, DelayUnit unit,
                            std::string* shown) {
    LogPrintA("channel %d delay value %.3f\n", n, microseconds / 1000.0);
    return ChangeChannelDelay(state, n, DelayFromSlider(microseconds, unit, shown));
}

OutputEdit SetChDelayEdit(DspState& state, int n, double typed, DelayUnit unit) {
    LogPrintA("channel %d delay edit value %.3f\n", n, typed);
    const float ms = DelayFromTyped(typed, unit);
    if (ValidOutput(n)) {
        const float old = state.channels[n].delay;
        LogPrintA("diff %.3f = %g - %g\n", static_cast<double>(ms - old), static_cast<double>(ms),
                  static_cast<double>(old));
    }
    return ChangeChannelDelay(state, n, ms);
}

OutputEdit ChangeChannelDelay(DspState& state, int n, float ms) {
    OutputEdit edit;
    if (!ValidOutput(n)) return edit;
    const float d = ms - state.channels[n].delay;
    state.channels[n].delay = ms;
    edit.delayShown |= Bit(n);
    auto follow = [&](int i, bool partner) {
        const float raw = state.channels[i].delay + d;
        const float value = QuantiseDelay(raw);
        if (partner) {
            LogPrintA("set link delay %g\n", static_cast<double>(value));
        } else {
            LogPrintA("delay %g\n", static_cast<double>(raw));
            LogPrintA("t_value %g\n", static_cast<double>(value));
        }
        state.channels[i].delay = value;
        edit.commands.push_back(DelayOf(state, i));
        edit.delayShown |= Bit(i);
    };
    for (int i = 0; i < kOutputChannels; ++i)
        if (SyncedWith(state, n, i)) follow(i, false);
    const int k = LinkPartner(state, n);
    if (k >= 0 && !(edit.delayShown & Bit(k))) follow(k, true);
    edit.commands.push_back(DelayOf(state, n));
    return edit;
}

namespace {
// A per-output on/off setting: stored, logged and sent for that output alone.
template <class Command>
OutputEdit SetChannelFlag(DspState& state, int n, bool on, int32_t ChannelState::*field,
                          const char* logFormat) {
    OutputEdit edit;
    if (!ValidOutput(n)) return edit;
    const int value = on ? 1 : 0;
    state.channels[n].*field = value;
    LogPrintA(logFormat, n, value);
    edit.commands.push_back(Command{n, value});
    return edit;
}
}  // namespace

OutputEdit SetChMute(DspState& state, int n, bool on) {
    return SetChannelFlag<ChannelMuteCmd>(state, n, on, &ChannelState::mute,
                                          "channel %d mute seleted %d\n");
}

OutputEdit SetChPhase(DspState& state, int n, bool inverted) {
    return SetChannelFlag<PhaseCmd>(state, n, inverted, &ChannelState::phase,
                                    "channel %d phase seleted %d\n");
}

OutputEdit SetChSynchronize(DspState& state, int n, bool selected, const VolumeControls& controls) {
    OutputEdit edit;
    if (!ValidOutput(n)) return edit;
    LogPrintA("channel %d synchronize seleted %d\n", n, selected ? 1 : 0);
    state.syncFlags[n] = 1;
    if (selected) {
        // The amplifier takes the joining output's filters once per partner in the group.
        for (int i = 0; i < kOutputChannels; ++i) {
            if (!SyncedWith(state, n, i)) continue;
            edit.commands.push_back(FilterOf(state, n, kLowPassFilter));
            edit.commands.push_back(FilterOf(state, n, kHighPassFilter));
        }
        const int current = state.currChannel;
        for (int i = 0; i < kOutputChannels; ++i) {
            if (!SyncedWith(state, current, i)) continue;
            state.channels[i].bypass = state.channels[current].bypass;
            edit.commands.push_back(PeqBypassOf(state, i));
        }
    } else {
        state.syncFlags[n] = 0;
    }
    RememberSyncVolume(state, n, selected, controls);
    if (state.syncFlags[n] == 1) {
        for (int i = 0; i < kOutputChannels; ++i) {
            if (state.syncVolumeValue[i] == 1.0f) continue;
            state.channels[i].gain = controls.edit[i];
            edit.commands.push_back(TrimOf(state, i));
            edit.volumeShown |= Bit(i);
        }
    }
    return edit;
}

LinkSwitch LinkSwitchFor(const DspState& state) {
    if (!HasLinkablePair(state)) return LinkSwitch::Refused;
    return state.linkMode == 1 ? LinkSwitch::Off : LinkSwitch::On;
}

OutputEdit RefuseOutputLink(DspState& state) {
    OutputEdit edit;
    state.linkMode = 0;
    edit.commands.push_back(Unlinked());
    return edit;
}

OutputEdit SwitchOutputLinkOff(DspState& state) {
    OutputEdit edit;
    state.linkMode = 0;
    state.linkOutputs.fill(-1);
    state.lockMode = 0;
    edit.commands.push_back(LockCmd{0});
    edit.commands.push_back(Unlinked());
    return edit;
}

OutputEdit SwitchOutputLinkOn(DspState& state, int choice, const VolumeControls& controls,
                              DelayUnit unit) {
    OutputEdit edit;
    LogPrintA("CMsgCheckBoxWnd %d\n", choice);
    state.linkMode = 1;
    state.lockMode = 1;
    edit.commands.push_back(LockCmd{1});
    ComputeLinkPairs(state);
    LinkCmd link{1, {}};
    for (int i = 0; i < kOutputChannels; ++i) {
        const int j = state.linkOutputs[i];
        if (!ValidOutput(j)) continue;
        if (!LinkCopies(state, i, j, choice)) continue;
        CopyOutputConfig(state, i, j);
        link.pairs.push_back({i, j});
    }
    // The current output's volume and delay are applied again, so its partner
    // takes them on.
    const int current = state.currChannel;
    if (ValidOutput(current)) {
        const ChannelState& ch = state.channels[current];
        edit.Append(SetChVolumeSlider(state, current, OutputGainToSlider(ch.gain), controls));
        edit.Append(SetChDelaySlider(state, current, DelayToSlider(ch.delay), unit));
    }
    edit.commands.push_back(std::move(link));
    return edit;
}

bool LinkCopies(const DspState& state, int i, int j, int choice) {
    if (!ValidOutput(i) || !ValidOutput(j)) return false;
    return choice == 1 ? state.outputs[i] < state.outputs[j] : state.outputs[j] < state.outputs[i];
}

OutputEdit SetOutputLock(DspState& state, bool confirmed) {
    OutputEdit edit;
    const bool locked = state.lockMode == 1;
    state.lockMode = (locked != confirmed) ? 1 : 0;
    if (state.lockMode == 0 && state.linkMode == 1) {
        state.linkMode = 0;
        state.linkOutputs.fill(-1);
        edit.commands.push_back(Unlinked());
    }
    edit.commands.push_back(LockCmd{state.lockMode});
    return edit;
}

OutputEdit SetOutputReset(DspState& state, int result) {
    OutputEdit edit;
    if (result != 1 && result != 2) return edit;
    for (int i = 0; i < kOutputChannels; ++i)
        edit.Append(SetOutputValue(state, i, result == 1 ? kDefaultRoles[i] : 0));
    state.lockMode = 0;
    edit.commands.push_back(LockCmd{0});
    state.linkMode = 0;
    edit.commands.push_back(Unlinked());
    state.linkOutputs.fill(-1);
    TrimCmd all{0, kOutputChannels - 1, {}};
    for (int i = 0; i < kOutputChannels; ++i) all.gainDb[i] = state.channels[i].gain;
    edit.commands.push_back(all);
    return edit;
}

OutputEdit SetMainVolume(DspState& state, int position) {
    OutputEdit edit;
    state.mainVolume = std::clamp(position, 0, kMaxMainVolume);
    edit.commands.push_back(MainVolumeCmd{state.mainVolume});
    return edit;
}

OutputEdit SetMainMute(DspState& state, bool on) {
    OutputEdit edit;
    state.mainVolumeMute = on ? 1 : 0;
    LogPrintA("set main mute to %d\n", state.mainVolumeMute);
    edit.commands.push_back(MainMuteCmd{state.mainVolumeMute});
    return edit;
}

OutputEdit SetAmpPower(DspState& state, int power) {
    OutputEdit edit;
    state.ampPower = power ? 1 : 0;
    edit.commands.push_back(AmpMuteCmd{state.ampPower ? 0 : 1});
    return edit;
}

}  // namespace kavelo
