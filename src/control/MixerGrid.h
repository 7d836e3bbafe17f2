#pragma once

#include <optional>
#include <string>

#include "control/DspCommand.h"
#include "control/DspRecords.h"

// The input mixer's rules without a screen: which input rows a source shows, what a
// cell shows, what an edit of a cell stores and sends, and where the arrow keys move
// the focus. The mixer window reads its controls, calls these and shows the result.
namespace kavelo {

inline constexpr int kMixerRows = 6;
// Unscaled height of one input row with the gap below it; the window loses this much
// for every row its source does not have.
inline constexpr int kMixerRowPixels = 83;
// Levels travel as one byte that the amplifier's replies read as signed, so they stay
// within 0 ... 127; 100 is a fully mixed input.
inline constexpr int kMixerLevelMin = 0;
inline constexpr int kMixerLevelMax = 100;

// The tag of a cross-source selector item: source and channel as "%02d%02d" ("0900": no
// cross source).
std::string CrossSourceTagOf(int source, int channel);

struct MixerCell {
    int output = 0;  // 0 ... 7
    int input = 0;   // 0 ... 5
    bool operator==(const MixerCell& o) const { return output == o.output && input == o.input; }
};

// What a cell's controls show: the enable box and the level in the slider and the edit.
struct MixerCellView {
    bool enabled = false;
    int level = 0;
    bool operator==(const MixerCellView& o) const {
        return enabled == o.enabled && level == o.level;
    }
};

// One edit of a cell: the commands to queue, in order, and how the cell looks afterwards.
struct MixerEdit {
    DspCommands commands;
    MixerCellView view;
};

class MixerGrid {
public:
    // `live` is the controller's live state, read and written directly; `source` is the
    // source edited for the grid's whole life.
    MixerGrid(DspState& live, int source);

    int Source() const { return mSource; }
    int ChannelCount() const { return mChannels; }
    // A row of cells and its header are shown for the source's input channels; the gap
    // below a row only when another row follows.
    bool RowShown(int input) const { return input >= 0 && input < mChannels; }
    bool GapShown(int input) const { return input >= 0 && input < mChannels - 1; }
    bool HasCell(MixerCell cell) const;

    // The cell as it is shown when the window opens: a cell that is not routed shows 0
    // (its stored level is kept).
    MixerCellView CellView(MixerCell cell) const;
    // The phase box is selected for a non-zero input mix phase.
    bool PhaseSelected(MixerCell cell) const;
    // The row header: "<source> L" / "<source> R" for two channels, "<source>1" ... for six.
    std::string RowTitle(const std::string& sourceName, int input) const;
    // The hidden cross-source controls of a row: the selector's item tag (source and
    // channel as "%02d%02d", "0900" for none) and the gain in dB. The grid never changes
    // them.
    std::string CrossSourceTag(int input) const;
    int CrossSourceGain(int input) const;
    // The window's client height: the layout's height less the missing rows, scaled.
    static int ClientHeight(int layoutHeight, int channelCount, int scalePercent);

    // The enable box of a cell changed: the amplifier gets the output's new routing mask,
    // then the level. Routing an input at level 0 raises it to full level; un-routing
    // sets the level to 0.
    MixerEdit SetEnabled(MixerCell cell, bool selected);
    // A level set by the slider or the edit (already within the level range), with the
    // enable box as it is shown. The box follows the level: a level makes the input
    // routed, 0 un-routes it.
    enum class LevelFrom { Slider, Edit };
    MixerEdit SetLevel(MixerCell cell, int level, bool enabledShown, LevelFrom from);
    // The level committed from a cell's edit (return, focus in or out, the window
    // closing): like SetLevel, but a level equal to the one the cell shows changes and
    // sends nothing, so tabbing through a cell that is not routed keeps its stored level.
    MixerEdit CommitLevel(MixerCell cell, int level, bool enabledShown);
    // A typed level: the typed number's whole part, limited to the level range
    // (`clamped` tells whether it was); none when the text holds no number.
    static std::optional<int> TypedLevel(const std::string& text, bool* clamped = nullptr);
    // One step up or down from the slider's level, within the level range.
    int SteppedLevel(MixerCell cell, int level, bool up) const;
    // The cell whose edit the left or right arrow moves to: along the row, wrapping onto
    // the next or previous shown row. Nothing when the source has no rows.
    std::optional<MixerCell> FocusNeighbour(MixerCell from, bool right) const;

private:
    int& Level(MixerCell cell);
    bool Routed(MixerCell cell) const;

    DspState& mLive;
    int mSource;
    int mChannels;
};

}  // namespace kavelo
