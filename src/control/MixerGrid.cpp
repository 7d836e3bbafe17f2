#include "control/MixerGrid.h"

#include <algorithm>
#include <cstdio>

#include "base/Log.h"
#include "control/DspOperations.h"
#include "control/OutputOperations.h"
#include "control/ParseNumber.h"
#include "control/RoleOperations.h"

namespace kavelo {

MixerGrid::MixerGrid(DspState& live, int source)
    : mLive(live), mSource(source), mChannels(InputChannelCount(source)) {}

bool MixerGrid::HasCell(MixerCell cell) const {
    return cell.output >= 0 && cell.output < kOutputChannels && RowShown(cell.input);
}

int& MixerGrid::Level(MixerCell cell) {
    return mLive.inputMixVolume[mSource][cell.input][cell.output];
}

bool MixerGrid::Routed(MixerCell cell) const {
    return (mLive.inputs[mSource][cell.output] & (1 << cell.input)) != 0;
}

MixerCellView MixerGrid::CellView(MixerCell cell) const {
    if (!HasCell(cell)) return {};
    const bool routed = Routed(cell);
    return {routed, routed ? mLive.inputMixVolume[mSource][cell.input][cell.output] : 0};
}

bool MixerGrid::PhaseSelected(MixerCell cell) const {
    return HasCell(cell) && mLive.inputMixPhase[mSource][cell.input][cell.output] != 0;
}

std::string MixerGrid::RowTitle(const std::string& sourceName, int input) const {
    if (!RowShown(input)) return {};
    if (mChannels == 2) return sourceName + (input == 0 ? " L" : " R");
    return sourceName + std::to_string(input + 1);
}

namespace {
bool StoredRow(int source, int input) {
    return source >= 0 && source < kInputSources && input >= 0 && input < kInputRows;
}
}  // namespace

std::string CrossSourceTagOf(int source, int channel) {
    char tag[32];
    std::snprintf(tag, sizeof tag, "%02d%02d", source, channel);
    return tag;
}

std::string MixerGrid::CrossSourceTag(int input) const {
    if (!StoredRow(mSource, input)) return {};
    const int source = mLive.crossSource[mSource][input];
    const int channel = mLive.crossChannel[mSource][input];
    const std::string tag = CrossSourceTagOf(source, channel);
    LogPrintA("tag %s from %02d %02d\n", tag.c_str(), source, channel);
    return tag;
}

int MixerGrid::CrossSourceGain(int input) const {
    return StoredRow(mSource, input) ? mLive.crossGain[mSource][input] : 0;
}

int MixerGrid::ClientHeight(int layoutHeight, int channelCount, int scalePercent) {
    return (layoutHeight - kMixerRowPixels * (kMixerRows - channelCount)) * scalePercent / 100;
}

MixerEdit MixerGrid::SetEnabled(MixerCell cell, bool selected) {
    MixerEdit edit;
    if (!HasCell(cell)) return edit;
    const int o = cell.output;
    LogPrintA("selected value %d\n", selected ? 1 : 0);
    LogPrintA("org channel %d input = 0x%02x\n", o, mLive.inputs[mSource][o]);
    const int mask = SetInputRouted(mLive, mSource, o, cell.input, selected);
    LogPrintA("set channel %d input = 0x%02x\n", o, mask);
    // The routing goes to the amplifier as the main window's input options send it: a
    // reconnect reads back the mask, and a level alone would not hold the user's choice.
    edit.commands.push_back(MixCmd{mSource, o, mask});
    if (selected) {
        if (const auto raised = RaiseSilentInput(mLive, mSource, o, cell.input))
            edit.commands.push_back(*raised);
    } else {
        Level(cell) = 0;
        edit.commands.push_back(InputMixTrimCmd{mSource, cell.input, o, 0});
    }
    edit.view = {selected, Level(cell)};
    return edit;
}

MixerEdit MixerGrid::SetLevel(MixerCell cell, int level, bool enabledShown, LevelFrom from) {
    MixerEdit edit;
    if (!HasCell(cell)) return edit;
    LogPrintA(from == LevelFrom::Slider
                  ? "SetInputTrimSlider set in_ch %d out_ch %d volume to %ddB\n"
                  : "SetInputTrimEdit set in_ch %d out_ch %d volume to %ddB\n",
              cell.input, cell.output, level);
    Level(cell) = level;
    edit.commands.push_back(InputMixTrimCmd{mSource, cell.input, cell.output, level});
    edit.view = {enabledShown, level};
    if ((level != 0) != enabledShown) {
        const MixerEdit follow = SetEnabled(cell, level != 0);
        edit.commands.insert(edit.commands.end(), follow.commands.begin(), follow.commands.end());
        edit.view = follow.view;
    }
    return edit;
}

MixerEdit MixerGrid::CommitLevel(MixerCell cell, int level, bool enabledShown) {
    const MixerCellView shown = CellView(cell);
    if (HasCell(cell) && level == shown.level && enabledShown == shown.enabled)
        return MixerEdit{{}, shown};
    return SetLevel(cell, level, enabledShown, LevelFrom::Edit);
}

std::optional<int> MixerGrid::TypedLevel(const std::string& text, bool* clamped) {
    const std::optional<int> read = ReadTypedWhole(text);
    if (!read) return std::nullopt;
    const int typed = *read;
    const int level = std::clamp(typed, kMixerLevelMin, kMixerLevelMax);
    if (clamped) *clamped = level != typed;
    return level;
}

int MixerGrid::SteppedLevel(MixerCell cell, int level, bool up) const {
    const int stepped =
        up ? std::min(level + 1, kMixerLevelMax) : std::max(level - 1, kMixerLevelMin);
    LogPrintA("SetInputTrimEdit set in_ch %d out_ch %d volume to %ddB\n", cell.input, cell.output,
              stepped);
    return stepped;
}

std::optional<MixerCell> MixerGrid::FocusNeighbour(MixerCell from, bool right) const {
    if (mChannels <= 0) return std::nullopt;
    MixerCell to{from.output + (right ? 1 : -1), from.input};
    if (to.output > kOutputChannels - 1) {
        to.output = 0;
        ++to.input;
    } else if (to.output < 0) {
        to.output = kOutputChannels - 1;
        --to.input;
    }
    if (to.input >= mChannels) to.input = 0;
    if (to.input < 0) to.input = mChannels - 1;
    return to;
}

}  // namespace kavelo
