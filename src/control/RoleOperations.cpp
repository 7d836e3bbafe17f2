#include "control/RoleOperations.h"

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"

namespace kavelo {

int RoleFromMenuItem(const std::string& itemName) {
    for (int role = 0; role < kSpeakerRoles; ++role)
        if (itemName == SpeakerRole(role).menuItem) return role;
    return -1;
}

OutputEdit SetOutputValue(DspState& state, int n, int role) {
    OutputEdit edit;
    if (n < 0 || n >= kOutputChannels || role < 0 || role >= kSpeakerRoles) return edit;
    LogPrintA("SetOutputValue channel %d selected value %s\n", n, SpeakerRole(role).menuItem);
    state.outputs[n] = role;
    state.channels[n].crossover = DefaultCrossover(role);
    edit.commands.push_back(ChannelTypeCmd{n, role});
    edit.commands.push_back(FilterOf(state, n, kHighPassFilter));
    edit.commands.push_back(FilterOf(state, n, kLowPassFilter));
    edit.commands.push_back(TrimOf(state, n));
    return edit;
}

OutputEdit SetChInput(DspState& state, int n, int k, bool selected) {
    OutputEdit edit;
    if (n < 0 || n >= kOutputChannels || k < 1 || k > kMaxInputChannels) return edit;
    static const char* const kInputLog[kMaxInputChannels] = {
        "set channel %d input 1\n", "set channel %d input 2\n", "set channel %d input 3\n",
        "set channel %d input 4\n", "set channel %d input 5\n", "set channel %d input 6\n"};
    LogPrintA(kInputLog[k - 1], n);
    const int source =
        state.inputSource >= 0 && state.inputSource < kInputSources ? state.inputSource : 0;
    const int mask = SetInputRouted(state, source, n, k - 1, selected);
    LogPrintA("set channel %d input = 0x%x\n", n, mask);
    edit.commands.push_back(MixCmd{source, n, mask});
    if (selected) {
        if (const auto raised = RaiseSilentInput(state, source, n, k - 1))
            edit.commands.push_back(*raised);
    }
    return edit;
}

int SetInputRouted(DspState& state, int source, int output, int input, bool routed) {
    int& mask = state.inputs[source][output];
    const int bit = 1 << input;
    mask = routed ? (mask | bit) : (mask & ~bit);
    return mask;
}

std::optional<InputMixTrimCmd> RaiseSilentInput(DspState& state, int source, int output,
                                                int input) {
    int& level = state.inputMixVolume[source][input][output];
    if (level != 0) return std::nullopt;
    level = kRoutedInputLevel;
    return InputMixTrimCmd{source, input, output, level};
}

std::optional<SourceSwitchCmd> SetInputSource(DspState& state, int s) {
    const InputSourceInfo* info = InputSource(s);
    if (!info) return std::nullopt;
    state.inputSource = s;
    return SourceSwitchCmd{info->deviceCode};
}

InputOptionLooks InputOptionLooksFor(int source) {
    InputOptionLooks looks;
    const int count = InputChannelCount(source);
    if (count != 2 && count != 6) return looks;
    looks.changes = true;
    if (count == 2) {
        looks.option[2] = {false, false};
        looks.option[3] = {false, false};
        looks.option[4] = {true, false};
        looks.option[5] = {true, false};
    }
    return looks;
}

}  // namespace kavelo
