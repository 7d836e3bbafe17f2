#include "ToolLayouts.h"

#include <vector>

#include "SkinWidgets.h"
#include "UiXml.h"
#include "control/DspOperations.h"
#include "control/MixerGrid.h"
#include "control/SpeakerRoles.h"

namespace kavelo::layoutgen {

namespace {

static_assert(kMixerCellHeight + kMixerGapHeight == kMixerRowPixels,
              "a hidden row must take exactly its share of the window's height");

std::string CellName(const char* prefix, int output, int input) {
    return prefix + std::to_string(output) + "_" + std::to_string(input);
}

// A pop-up's own title bar: it is dragged to move the frameless window.
Node PopupTitleBar(const std::string& titleName, const std::string& title) {
    Widget bar = Frame("title_bar", "titlebar");
    bar.Policy("Preferred", "Fixed");
    Node row = BoxLayout("QHBoxLayout", "title_row", {16, 6, 8, 6}, 6);
    AddItem(row, Label(titleName, title, "title").FontScale(1.15).node);
    AddItem(row, Spacer("title_spacer", true));
    AddItem(row, Button("closebtn", "✕", "close").node);
    bar.Layout(row);
    return bar.node;
}

Widget FixedHeight(Widget w, int height, int minWidth = 0) {
    w.MinSize(minWidth, height).MaxSize(16777215, height);
    return w;
}

// ---- input mixer --------------------------------------------------------------------------

constexpr int kColumnTitleHeight = 28;

// Cross-source mixing is not offered: its controls exist so that the window finds them,
// and stay hidden.
Node CrossSourceBox(int input) {
    Widget box = FixedHeight(Frame(Indexed("left_box_", input), "mixheader"), kMixerCellHeight);
    Node col = BoxLayout("QVBoxLayout", Indexed("left_box_layout_", input), {0, 0, 0, 0}, 2);
    Widget combo = Combo(Indexed("cmb_csm_vice_source_", input), "small");
    std::string tags;
    for (int s = 0; s < kInputSources; ++s) {
        for (int c = 0; c < InputChannelCount(s); ++c) {
            combo.Item(std::string(InputSource(s)->text));
            tags += CrossSourceTagOf(s, c) + ",";
        }
    }
    // No cross source: the last item, also taken when a stored tag matches none.
    combo.Item("${mixer_cross_none}");
    tags += CrossSourceTagOf(kInputSources, 0);
    combo.Dyn("itemnames", tags).Hidden();
    AddItem(col, combo.node);
    AddItem(col, Frame(Indexed("line_0_", input), "mixline").Hidden().node);
    AddItem(col, Frame(Indexed("line_1_", input), "mixline").Hidden().node);
    AddItem(col, Label(Indexed("arrow_up_", input), "↑", "caption").Hidden().node);
    AddItem(col, Edit(Indexed("csm_vice_gain_edit_", input), "0dB", "mixvalue").Hidden().node);
    box.Layout(col);
    return box.node;
}

Node RowHeaders() {
    Widget headers("QWidget", "row_headers");
    headers.Policy("Fixed", "Preferred");
    Node row = BoxLayout("QHBoxLayout", "row_headers_layout", {0, 0, 0, 0}, 0);
    Node left = BoxLayout("QVBoxLayout", "left_column", {0, 0, 0, 0}, 0);
    Node second = BoxLayout("QVBoxLayout", "second_column", {0, 0, 0, 0}, 0);
    AddItem(left, Spacer("left_corner", false, 0, kColumnTitleHeight, "Fixed"));
    AddItem(
        second,
        FixedHeight(Label("inputs_corner", "${ui_inputs}", "caption"), kColumnTitleHeight).node);
    for (int i = 0; i < kMixerRows; ++i) {
        AddItem(left, CrossSourceBox(i));
        Widget title =
            FixedHeight(Frame(Indexed("second_", i), "mixheader"), kMixerCellHeight, 110);
        Node titleBox = BoxLayout("QVBoxLayout", Indexed("second_layout_", i), {4, 0, 6, 0}, 0);
        AddItem(titleBox, Label(Indexed("title_label_", i), "", "mixrow").node);
        title.Layout(titleBox);
        AddItem(second, title.node);
        if (i + 1 < kMixerRows) {
            AddItem(left,
                    FixedHeight(Frame(Indexed("left_grap_", i), "mixgap"), kMixerGapHeight).node);
            AddItem(second,
                    FixedHeight(Frame(Indexed("second_grap_", i), "mixgap"), kMixerGapHeight).node);
        }
    }
    AddItem(left, Spacer("left_bottom", false));
    AddItem(second, Spacer("second_bottom", false));
    AddItem(row, left);
    AddItem(row, second);
    headers.Layout(row);
    return headers.node;
}

Node Cell(int output, int input) {
    Widget cell = FixedHeight(Frame(CellName("box_", output, input), "mixcell"), kMixerCellHeight);
    Node box = BoxLayout("QVBoxLayout", CellName("box_layout_", output, input), {4, 3, 4, 3}, 2);
    Node flags = BoxLayout("QHBoxLayout", CellName("box_flags_", output, input), {0, 0, 0, 0}, 3);
    AddItem(flags, Option(CellName("box_enable_", output, input), "${mixer_on}", "input")
                       .FontScale(0.8)
                       .Policy("Ignored", "Fixed")
                       .node);
    // The amplifier takes no phase per input: the box shows the stored value only.
    AddItem(flags, Option(CellName("box_phase_", output, input), "${reverse phase}", "input")
                       .FontScale(0.8)
                       .Policy("Ignored", "Fixed")
                       .Prop("enabled", Bool(false))
                       .Tip("${mixer_phase_tip}")
                       .node);
    AddItem(box, flags);
    // The slider never takes the focus: the cell's edit holds it while the slider moves.
    AddItem(box, Slider(CellName("box_volume_", output, input), true, kMixerLevelMin,
                        kMixerLevelMax, 0, 10, "Qt::NoFocus")
                     .Policy("Ignored", "Fixed")
                     .node);
    AddItem(box, Edit(CellName("box_edit_", output, input), "0", "mixvalue")
                     .FontScale(0.85)
                     .Policy("Ignored", "Fixed")
                     .node);
    cell.Layout(box);
    return cell.node;
}

Node Column(int output) {
    Widget column = Frame(Indexed("column_", output), "mixcolumn");
    column.Policy("Preferred", "Preferred", 1);
    Node col = BoxLayout("QVBoxLayout", Indexed("column_layout_", output), {0, 0, 0, 0}, 0);
    AddItem(col, FixedHeight(Label(Indexed("column_title_", output),
                                   "CH" + std::to_string(output + 1), "cardtitle")
                                 .Align("Qt::AlignCenter"),
                             kColumnTitleHeight)
                     .node);
    for (int i = 0; i < kMixerRows; ++i) {
        AddItem(col, Cell(output, i));
        if (i + 1 < kMixerRows)
            AddItem(col,
                    FixedHeight(Frame(CellName("box_grap_", output, i), "mixgap"), kMixerGapHeight)
                        .node);
    }
    AddItem(col, Spacer(Indexed("column_bottom_", output), false));
    column.Layout(col);
    return column.node;
}

// ---- DSP memory ---------------------------------------------------------------------------

Node MemoryFields() {
    Widget fields("QWidget", "mem_fields");
    Node grid = GridLayout("mem_grid", {22, 16, 22, 8}, 10, 10);
    AddGridItem(grid, Label("addr_caption", "${mem_address}", "caption").node, 0, 0);
    AddGridItem(grid, Edit("addr_edit", "0x00000000", "value").node, 0, 1);
    AddGridItem(grid, Label("data_caption", "${mem_value}", "caption").node, 1, 0);
    AddGridItem(grid, Edit("data_edit", "0x00000000", "value").node, 1, 1);
    // Refusals are told here, next to the fields they concern.
    AddGridItem(grid, Label("mem_status", "", "message").Prop("wordWrap", Bool(true)).node, 2, 0, 1,
                2);
    grid.Attr("columnstretch", "0,1");
    fields.Layout(grid);
    return fields.node;
}

}  // namespace

std::string MixerLayout() {
    Widget root = Frame("mixer", "popup");
    root.Geometry(0, 0, kMixerLayoutWidth, kMixerLayoutHeight);
    Node layout = BoxLayout("QVBoxLayout", "root_layout", {0, 0, 0, 0}, 0);
    AddItem(layout, PopupTitleBar("mixer_title", "${input_mixer}"));
    Widget grid("QWidget", "mixer_grid");
    grid.Policy("Preferred", "Fixed");
    grid.Layout(OutputsRow("mixer_row", {12, 10, 12, 10}, 6, RowHeaders(), Column));
    AddItem(layout, grid.node);
    // Takes up what the rows leave, so the window can shrink by whole rows.
    AddItem(layout, Spacer("mixer_bottom", false));
    root.Layout(layout);
    return Document("mixer", root.node, {});
}

std::string MemoryLayout() {
    Widget root = Frame("mem_wr", "popup");
    root.Geometry(0, 0, 400, 230);
    Node layout = BoxLayout("QVBoxLayout", "root_layout", {0, 0, 0, 0}, 0);
    AddItem(layout, PopupTitleBar("mem_title", "${mem_title}"));
    AddItem(layout, MemoryFields());
    AddItem(layout, Spacer("mem_spacer", false));
    Node buttons = BoxLayout("QHBoxLayout", "button_row", {22, 0, 22, 18}, 10);
    AddItem(buttons, Spacer("button_spacer", true));
    AddItem(buttons, Button("read_btn", "${mem_read}", "secondary").node);
    AddItem(buttons, Button("write_btn", "${mem_write}", "primary").node);
    AddItem(layout, buttons);
    root.Layout(layout);
    return Document("mem_wr", root.node, {});
}

}  // namespace kavelo::layoutgen
