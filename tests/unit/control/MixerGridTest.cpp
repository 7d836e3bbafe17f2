// The input mixer's rules: rows per source, what a cell shows, what its edits store
// and send (the enable box following the level), typed and stepped levels, and the
// arrow-key ring over the cells.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "control/MixerGrid.h"

namespace kavelo {
namespace {

struct RowsCase {
    int source;
    std::vector<std::string> titles;
    int height100;  // client height of a 600-pixel layout at 100 %
    int height150;
};

void PrintTo(const RowsCase& c, std::ostream* os) { *os << "source " << c.source; }

class MixerRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(MixerRows, RowsTitlesAndHeightFollowTheSource) {
    const RowsCase& c = GetParam();
    DspState s;
    const MixerGrid grid(s, c.source);
    const int n = static_cast<int>(c.titles.size());
    EXPECT_EQ(grid.ChannelCount(), n);
    for (int i = 0; i < kMixerRows; ++i) {
        EXPECT_EQ(grid.RowShown(i), i < n) << i;
        EXPECT_EQ(grid.GapShown(i), i < n - 1) << i;
        EXPECT_EQ(grid.RowTitle("Src", i), i < n ? c.titles[i] : "") << i;
        EXPECT_EQ(grid.HasCell({7, i}), i < n) << i;
    }
    EXPECT_FALSE(grid.HasCell({8, 0}));
    EXPECT_FALSE(grid.HasCell({-1, 0}));
    EXPECT_EQ(MixerGrid::ClientHeight(600, n, 100), c.height100);
    EXPECT_EQ(MixerGrid::ClientHeight(600, n, 150), c.height150);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, MixerRows,
    ::testing::Values(RowsCase{0, {"Src L", "Src R"}, 268, 402},
                      RowsCase{6, {"Src L", "Src R"}, 268, 402},
                      RowsCase{5, {"Src1", "Src2", "Src3", "Src4", "Src5", "Src6"}, 600, 900},
                      RowsCase{1, {}, 102, 153},  // a source without channels
                      RowsCase{9, {}, 102, 153},  // outside the source table
                      RowsCase{-1, {}, 102, 153}));

TEST(MixerCells, OpenShowingTheLevelOfRoutedInputsOnly) {
    DspState s;
    s.inputs[5][3] = 0b000100;
    s.inputMixVolume[5][2][3] = 40;
    s.inputMixVolume[5][1][3] = 70;
    s.inputMixPhase[5][1][3] = 1;
    const MixerGrid grid(s, 5);
    EXPECT_EQ(grid.CellView({3, 2}), (MixerCellView{true, 40}));
    EXPECT_EQ(grid.CellView({3, 1}), (MixerCellView{false, 0}));
    EXPECT_EQ(s.inputMixVolume[5][1][3], 70);  // kept, only not shown
    EXPECT_TRUE(grid.PhaseSelected({3, 1}));
    EXPECT_FALSE(grid.PhaseSelected({3, 2}));
}

TEST(MixerCells, CrossSourceControlsShowTheStoredRow) {
    DspState s;
    EXPECT_EQ(MixerGrid(s, 5).CrossSourceTag(0), "0900");
    s.crossSource[5][4] = 2;
    s.crossChannel[5][4] = 1;
    s.crossGain[5][4] = -6;
    const MixerGrid grid(s, 5);
    EXPECT_EQ(grid.CrossSourceTag(4), "0201");
    EXPECT_EQ(grid.CrossSourceGain(4), -6);
    EXPECT_EQ(MixerGrid(s, 9).CrossSourceTag(0), "");
    EXPECT_EQ(MixerGrid(s, 9).CrossSourceGain(0), 0);
}

// ---- edits

enum class Action { Enable, Disable, SliderLevel, TypedLevel, CommittedLevel };
constexpr int kRoute = -1;

struct EditCase {
    const char* name;
    bool routed;  // the input starts routed, its box selected
    int stored;   // the level stored before
    Action action;
    int level;              // for the level actions
    std::vector<int> sent;  // levels sent, in order; kRoute: the output's routing mask
    MixerCellView view;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class MixerEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(MixerEdits, StoreSendAndKeepTheBoxConsistent) {
    const EditCase& c = GetParam();
    DspState s;
    const MixerCell cell{6, 1};
    s.inputs[3][6] = c.routed ? 0b11 : 0b01;
    s.inputMixVolume[3][1][6] = c.stored;
    const DspState before = s;
    MixerGrid grid(s, 3);
    MixerEdit edit;
    switch (c.action) {
        case Action::Enable:
        case Action::Disable:
            edit = grid.SetEnabled(cell, c.action == Action::Enable);
            break;
        case Action::CommittedLevel:
            edit = grid.CommitLevel(cell, c.level, c.routed);
            break;
        case Action::SliderLevel:
        case Action::TypedLevel:
            edit = grid.SetLevel(cell, c.level, c.routed,
                                 c.action == Action::SliderLevel ? MixerGrid::LevelFrom::Slider
                                                                 : MixerGrid::LevelFrom::Edit);
            break;
    }
    DspCommands want;
    const int mask = c.view.enabled ? 0b11 : 0b01;
    for (int level : c.sent) {
        if (level == kRoute)
            want.push_back(MixCmd{3, 6, mask});
        else
            want.push_back(InputMixTrimCmd{3, 1, 6, level});
    }
    ASSERT_EQ(edit.commands.size(), want.size()) << ::testing::PrintToString(edit.commands);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(edit.commands[i], want[i]) << i;
    EXPECT_EQ(edit.view, c.view);
    // A commit that changes nothing leaves the stored level, shown or not.
    const bool unchanged = c.action == Action::CommittedLevel && c.sent.empty();
    EXPECT_EQ(s.inputMixVolume[3][1][6], unchanged ? c.stored : c.view.level);
    EXPECT_EQ(s.inputs[3][6], c.view.enabled ? 0b11 : 0b01);
    // Nothing else of the model moves: other inputs, outputs and sources.
    s.inputMixVolume[3][1][6] = before.inputMixVolume[3][1][6];
    s.inputs[3][6] = before.inputs[3][6];
    EXPECT_EQ(s.inputs, before.inputs);
    EXPECT_EQ(s.inputMixVolume, before.inputMixVolume);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MixerEdits,
    ::testing::Values(
        EditCase{"enable_silent_input_raises_it",
                 false,
                 0,
                 Action::Enable,
                 0,
                 {kRoute, 100},
                 {true, 100}},
        EditCase{"enable_keeps_a_stored_level", false, 40, Action::Enable, 0, {kRoute}, {true, 40}},
        EditCase{"disable_sends_zero", true, 40, Action::Disable, 0, {kRoute, 0}, {false, 0}},
        EditCase{
            "zero_on_routed_unroutes", true, 40, Action::TypedLevel, 0, {0, kRoute, 0}, {false, 0}},
        EditCase{
            "level_on_unrouted_routes", false, 0, Action::TypedLevel, 55, {55, kRoute}, {true, 55}},
        EditCase{"slider_level_on_unrouted_routes",
                 false,
                 30,
                 Action::SliderLevel,
                 12,
                 {12, kRoute},
                 {true, 12}},
        EditCase{"level_on_routed", true, 40, Action::SliderLevel, 30, {30}, {true, 30}},
        EditCase{"zero_on_unrouted", false, 40, Action::TypedLevel, 0, {0}, {false, 0}},
        // A commit of the level the cell shows sends nothing: an unrouted cell shows 0
        // and keeps its stored level.
        EditCase{
            "commit_unchanged_on_unrouted", false, 40, Action::CommittedLevel, 0, {}, {false, 0}},
        EditCase{
            "commit_unchanged_on_routed", true, 40, Action::CommittedLevel, 40, {}, {true, 40}},
        EditCase{"commit_changed", true, 40, Action::CommittedLevel, 41, {41}, {true, 41}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MixerEditsOutside, CellsBeyondTheSourceChangeNothing) {
    DspState s;
    const DspState before = s;
    MixerGrid grid(s, 3);  // two channels
    EXPECT_TRUE(grid.SetEnabled({0, 2}, true).commands.empty());
    EXPECT_TRUE(grid.SetLevel({8, 0}, 50, false, MixerGrid::LevelFrom::Slider).commands.empty());
    MixerGrid none(s, 1);
    EXPECT_TRUE(none.SetEnabled({0, 0}, true).commands.empty());
    EXPECT_EQ(s.inputs, before.inputs);
    EXPECT_EQ(s.inputMixVolume, before.inputMixVolume);
}

TEST(MixerLevels, TypedTextIsReadAndClamped) {
    struct Case {
        const char* text;
        std::optional<int> level;  // none: no number, nothing changes
        bool clamped;
    };
    const Case cases[] = {{"42", 42, false},         {"abc", std::nullopt, false},
                          {"", std::nullopt, false}, {"7x", 7, false},
                          {"2,5", 2, false},         {"100", 100, false},
                          {"150", 100, true},        {"-5", 0, true},
                          {"99999999999", 100, true}};
    for (const Case& c : cases) {
        bool clamped = c.level && !c.clamped;  // a number must set it
        EXPECT_EQ(MixerGrid::TypedLevel(c.text, &clamped), c.level) << c.text;
        EXPECT_EQ(clamped, c.clamped) << c.text;
    }
}

TEST(MixerLevels, StepsStopAtTheRange) {
    DspState s;
    const MixerGrid grid(s, 5);
    EXPECT_EQ(grid.SteppedLevel({0, 0}, 50, true), 51);
    EXPECT_EQ(grid.SteppedLevel({0, 0}, 50, false), 49);
    EXPECT_EQ(grid.SteppedLevel({0, 0}, kMixerLevelMax, true), kMixerLevelMax);
    EXPECT_EQ(grid.SteppedLevel({0, 0}, kMixerLevelMin, false), kMixerLevelMin);
}

// ---- focus ring

struct RingCase {
    int source;
    MixerCell from;
    bool right;
    MixerCell to;
};

void PrintTo(const RingCase& c, std::ostream* os) {
    *os << "source " << c.source << " (" << c.from.output << "," << c.from.input << ")"
        << (c.right ? " right" : " left");
}

class MixerRing : public ::testing::TestWithParam<RingCase> {};

TEST_P(MixerRing, ArrowsWalkTheShownCells) {
    const RingCase& c = GetParam();
    DspState s;
    const auto to = MixerGrid(s, c.source).FocusNeighbour(c.from, c.right);
    ASSERT_TRUE(to.has_value());
    EXPECT_EQ(*to, c.to) << to->output << "," << to->input;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MixerRing,
    ::testing::Values(RingCase{5, {3, 2}, true, {4, 2}}, RingCase{5, {3, 2}, false, {2, 2}},
                      RingCase{5, {7, 2}, true, {0, 3}}, RingCase{5, {0, 3}, false, {7, 2}},
                      RingCase{5, {7, 5}, true, {0, 0}}, RingCase{5, {0, 0}, false, {7, 5}},
                      RingCase{3, {7, 0}, true, {0, 1}}, RingCase{3, {7, 1}, true, {0, 0}},
                      RingCase{3, {0, 0}, false, {7, 1}}));

TEST(MixerRingEmpty, ASourceWithoutRowsHasNoTarget) {
    DspState s;
    EXPECT_FALSE(MixerGrid(s, 1).FocusNeighbour({0, 0}, true).has_value());
}

}  // namespace
}  // namespace kavelo
