#include "ToolLayouts.h"

#include <functional>
#include <vector>

#include "SkinWidgets.h"
#include "UiXml.h"
#include "control/AutoCalibration.h"
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

// A pop-up's layout file: its frame at the design size holding one column that starts
// with the title bar; `fill` adds the rest of the column.
std::string PopupDocument(const std::string& name, int width, int height,
                          const std::string& titleName, const std::string& title,
                          const std::function<void(Node& column)>& fill,
                          const std::vector<CustomClass>& customs = {}) {
    Widget root = Frame(name, "popup");
    root.Geometry(0, 0, width, height);
    Node layout = BoxLayout("QVBoxLayout", "root_layout", {0, 0, 0, 0}, 0);
    AddItem(layout, PopupTitleBar(titleName, title));
    fill(layout);
    root.Layout(layout);
    return Document(name, root.node, customs);
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

// ---- automatic calibration ---------------------------------------------------------------

// The graph takes what the side panel leaves; it is the window's reason to exist.
Node CalibrationGraph() {
    Widget card = Frame("graph_card", "card");
    card.Policy("Expanding", "Expanding", 1, 1);
    Node box = BoxLayout("QVBoxLayout", "graph_box", {2, 2, 2, 2}, 0);
    Widget graph("CurveAc", "equalizer_ac");
    graph.Role("curve").Policy("Expanding", "Expanding").MinSize(720, 400);
    AddItem(box, graph.node);
    card.Layout(box);
    return card.node;
}

// Which curve sets are drawn, and the scale the graph itself does not write.
Node DisplayRow() {
    Node row = BoxLayout("QHBoxLayout", "display_row", {0, 0, 0, 0}, 8);
    AddItem(row, Label("display_caption", "${irc_display}", "caption").node);
    // The measurement and the EQ computed from it are what a run is for: drawn from the start.
    const struct {
        const char* name;
        const char* text;
        bool on;
    } options[] = {{"display_spk", "${irc_display_spk}", true},
                   {"display_eq", "${irc_display_eq}", true},
                   {"display_target", "${irc_display_target}", false}};
    for (const auto& o : options) {
        // The selected look keeps the text's weight, so the text never outgrows the button.
        Widget option = Option(o.name, o.text, "action");
        if (o.on) option.Prop("checked", Bool(true));
        AddItem(row, option.node);
    }
    AddItem(row, Spacer("display_spacer", true));
    AddItem(row, Label("graph_scale", "${irc_graph_scale}", "caption").node);
    return row;
}

// The outputs to calibrate and draw, each with its measured distance underneath (shown
// once the amplifier reports it).
Node ChannelGrid() {
    Node grid = GridLayout("channel_grid", {0, 0, 0, 0}, 6, 4);
    AddGridItem(grid, Label("channel_caption", "${irc_channels}", "caption").node, 0, 0);
    AddGridItem(grid, Label("distance_caption", "${irc_distance}", "caption").node, 1, 0);
    for (int c = 0; c < kOutputChannels; ++c) {
        Widget option = Option(Indexed("ch_checkbox_", c), "CH" + std::to_string(c + 1), "input");
        option.User(c).Policy("Ignored", "Fixed");
        // The window starts with the first output chosen and the others cleared.
        if (c == 0) option.Prop("checked", Bool(true));
        AddGridItem(grid, option.node, 0, c + 1);
        AddGridItem(grid,
                    Label("ch_" + std::to_string(c) + ": ", "", "value")
                        .Align("Qt::AlignCenter")
                        .Hidden()
                        .node,
                    1, c + 1);
    }
    std::string stretch = "0";
    for (int c = 0; c < kOutputChannels; ++c) stretch += ",1";
    grid.Attr("columnstretch", stretch);
    return grid;
}

// A titled group of options on the side panel.
Widget OptionCard(const std::string& name, const std::string& title, Node options) {
    Widget card = Frame(name, "card");
    card.Policy("Preferred", "Fixed");
    Node box = BoxLayout("QVBoxLayout", name + "_layout", {10, 8, 10, 10}, 6);
    AddItem(box, Label(name + "_title", title, "cardtitle").node);
    AddItem(box, std::move(options));
    card.Layout(box);
    return card;
}

Node ModuleOptions() {
    Node row = BoxLayout("QVBoxLayout", "module_options", {0, 0, 0, 0}, 4);
    AddItem(row, Option("irc_eq", "${irc_option_eq}", "toggle").node);
    AddItem(row, Option("irc_delay", "${irc_option_delay}", "toggle").node);
    AddItem(row, Option("irc_phase", "${irc_option_phase}", "toggle").node);
    return row;
}

// One target preset at a time: the amplifier knows them by number, the first is flat.
Node TargetOptions() {
    Widget holder("QWidget", "target_options");
    Node grid = GridLayout("target_grid", {0, 0, 0, 0}, 4, 4);
    for (int t = 0; t < kCalibrationTargets; ++t) {
        const std::string text = t == 0 ? "${irc_target_flat}" : std::to_string(t);
        AddGridItem(grid,
                    Option(Indexed("audio_effect_", t), text, "toggle")
                        .Prop("autoExclusive", Bool(true))
                        .Policy("Ignored", "Fixed")
                        .node,
                    t / 3, t % 3);
    }
    holder.Layout(grid);
    return holder.node;
}

Node SidePanel() {
    Widget panel("QWidget", "side_panel");
    panel.Policy("Fixed", "Preferred").MinSize(300, 0).MaxSize(300, 16777215);
    Node col = BoxLayout("QVBoxLayout", "side_layout", {0, 0, 0, 0}, 10);
    AddItem(col, OptionCard("module_card", "${irc_modules}", ModuleOptions()).node);
    AddItem(col, OptionCard("target_card", "${irc_targets}", TargetOptions()).node);
    AddItem(col, Spacer("side_spacer", false));
    AddItem(col, Label("tips", "", "message")
                     .Prop("wordWrap", Bool(true))
                     .MinSize(0, 64)
                     .Align("Qt::AlignLeft|Qt::AlignTop")
                     .node);
    Widget progress("QProgressBar", "progress");
    progress.Prop("maximum", Number(100)).Prop("value", Number(0)).Prop("textVisible", Bool(false));
    AddItem(col, progress.node);
    AddItem(col, Button("start_auto_cal", "${start_irc}", "primary").node);
    Node result = BoxLayout("QHBoxLayout", "result_row", {0, 0, 0, 0}, 8);
    AddItem(result, Button("irc_save_data", "${irc_save}", "secondary").node);
    AddItem(result, Button("irc_cancel_data", "${irc_discard}", "secondary").node);
    AddItem(col, result);
    panel.Layout(col);
    return panel.node;
}

// The graph with its options on the left, what is calibrated and the run on the right.
Node CalibrationBody() {
    Widget body("QWidget", "auto_cal_body");
    Node row = BoxLayout("QHBoxLayout", "body_row", {14, 12, 14, 14}, 14);
    Node left = BoxLayout("QVBoxLayout", "graph_column", {0, 0, 0, 0}, 10);
    AddItem(left, CalibrationGraph());
    AddItem(left, DisplayRow());
    AddItem(left, ChannelGrid());
    SetStretch(left, "1,0,0");
    AddItem(row, left);
    AddItem(row, SidePanel());
    SetStretch(row, "1,0");
    body.Layout(row);
    return body.node;
}

}  // namespace

std::string MixerLayout() {
    return PopupDocument(
        "mixer", kMixerLayoutWidth, kMixerLayoutHeight, "mixer_title", "${input_mixer}",
        [](Node& layout) {
            Widget grid("QWidget", "mixer_grid");
            grid.Policy("Preferred", "Fixed");
            grid.Layout(OutputsRow("mixer_row", {12, 10, 12, 10}, 6, RowHeaders(), Column));
            AddItem(layout, grid.node);
            // Takes up what the rows leave, so the window can shrink by whole rows.
            AddItem(layout, Spacer("mixer_bottom", false));
        });
}

std::string MemoryLayout() {
    return PopupDocument("mem_wr", 400, 230, "mem_title", "${mem_title}", [](Node& layout) {
        AddItem(layout, MemoryFields());
        AddItem(layout, Spacer("mem_spacer", false));
        Node buttons = BoxLayout("QHBoxLayout", "button_row", {22, 0, 22, 18}, 10);
        AddItem(buttons, Spacer("button_spacer", true));
        AddItem(buttons, Button("read_btn", "${mem_read}", "secondary").node);
        AddItem(buttons, Button("write_btn", "${mem_write}", "primary").node);
        AddItem(layout, buttons);
    });
}

std::string AutoCalLayout() {
    return PopupDocument("auto_cal", kAutoCalLayoutWidth, kAutoCalLayoutHeight, "auto_cal_title",
                         "${ui_auto_eq}", [](Node& layout) { AddItem(layout, CalibrationBody()); },
                         {{"CurveAc", "QWidget"}});
}

}  // namespace kavelo::layoutgen
