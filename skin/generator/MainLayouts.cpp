#include "MainLayouts.h"

#include <array>
#include <cstdio>
#include <vector>

#include "SkinWidgets.h"
#include "UiXml.h"
#include "control/DspOperations.h"
#include "control/SpeakerRoles.h"

namespace kavelo::layoutgen {

namespace {

constexpr int kRoles = 24;

// The controls start out showing a fresh model, so the layout looks right before any
// device has answered.
const DspState& Defaults() {
    static const DspState state = [] {
        DspState s;
        ResetToDefaults(s);
        return s;
    }();
    return state;
}

constexpr int kDefaultSource = 5;  // the source the controller selects at start-up

std::string Fixed2(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string Join(int count, const std::string& first, const std::string& rest) {
    std::string out = first;
    for (int i = 1; i < count; ++i) out += "," + rest;
    return out;
}

// A button whose selected look the owner sets; clicks reach the owner as "click". The
// selected look is the button's own (its colours or image), by role.
Widget SelectButton(const std::string& name, const std::string& text, const std::string& role) {
    Widget w("SButton", name);
    w.Text(text).Role(role).Prop("cursor", Cursor("PointingHandCursor"));
    w.Prop("focusPolicy", Enum("Qt::NoFocus"));
    if (role == "speaker") {
        w.Dyn("selectedimage", "image/speaker_on.svg");
    } else if (role == "connect" || role == "amp") {
        w.Dyn("selectedbkcolor", "#FF1F5130");  // text colour comes from the owner
    } else {
        w.Dyn("selectedbkcolor", "#FFFF7A1A").Dyn("selectedtextcolor", "#FF101214");
        w.Dyn("selectedhottextcolor", "#FF000000");
        if (role == "chsel") w.Dyn("selectedfont", "1");
    }
    return w;
}

Node Separator(const std::string& name) {
    Widget w("QFrame", name);
    w.Role("separator").Prop("frameShape", Enum("QFrame::VLine"));
    return w.node;
}

// ---- title bar and tool bar --------------------------------------------------------------

// A bar across the window: a frame of fixed height holding one row of items.
Node Bar(const std::string& name, const std::string& role, const std::string& rowName,
         Margins margins, int spacing, const std::vector<Node>& items) {
    Widget bar = Frame(name, role);
    bar.Policy("Preferred", "Fixed");
    Node row = BoxLayout("QHBoxLayout", rowName, margins, spacing);
    for (const Node& item : items) AddItem(row, item);
    bar.Layout(row);
    return bar.node;
}

Node TitleBar() {
    return Bar(
        "title_bar", "titlebar", "title_row", {14, 3, 4, 3}, 6,
        {
            Label("brand", "KAVELO", "brand").FontScale(1.45).node,
            Label("model_title", "TRQ5.40AMP", "caption").node,
            Separator("title_separator_undo"),
            Button("btn_undo", "↶", "menu").Tip("${ui_undo_tip}").node,
            Button("btn_redo", "↷", "menu").Tip("${ui_redo_tip}").node,
            Separator("title_separator_ab"),
            SelectButton("btn_ab_a", "A", "toggle").MinSize(30, 0).Tip("${ui_ab_tip}").node,
            SelectButton("btn_ab_b", "B", "toggle").MinSize(30, 0).Tip("${ui_ab_tip}").node,
            Button("btn_ab_copy", "${ui_ab_copy_to_b}", "menu").Tip("${ui_ab_copy_tip}").node,
            Spacer("title_spacer", true),
            Button("btn_irc", "${ui_auto_eq}", "menu").node,
            Button("btn_scene", "${ui_scene}", "menu").node,
            Button("btn_advance", "${ui_advance}", "menu").node,
            Button("btn_option", "${ui_option}", "menu").node,
            Button("btn_debug", "${ui_debug}", "menu").Hidden().node,
            Separator("title_separator"),
            Button("minbtn", "—", "window").node,
            Button("maxbtn", "☐", "window").node,
            Button("restorebtn", "❐", "window").Hidden().node,
            Button("closebtn", "✕", "close").node,
        });
}

Node ToolBar() {
    Widget source = Combo("btn_input_source", "source");
    std::string names;
    for (int i = 0; i < kInputSources; ++i) {
        source.Item(InputSource(i)->text);
        names += (names.empty() ? "" : ",") + std::string(InputSource(i)->itemName);
    }
    source.Dyn("itemnames", names).Prop("currentIndex", Number(kDefaultSource));
    source.Policy("Preferred", "Fixed");
    Widget volume = Slider("slider_main_volume", true, 0, 40, 30, 1);
    volume.Role("master").MinSize(150, 0);
    return Bar("tool_bar", "toolbar", "tool_row", {10, 4, 10, 4}, 8,
               {
                   SelectButton("btnConnect", "${btn_disconnected}", "connect").node,
                   SelectButton("btn_amp_onoff", "${amp_on}", "amp").Dyn("selected", "true").node,
                   Separator("tool_separator_1"),
                   Label("source_caption", "${ui_source}", "caption").node,
                   source.node,
                   Separator("tool_separator_2"),
                   Label("volume_caption", "${ui_main_volume}", "caption").node,
                   Option("main_mute", "${ui_mute}", "mastermute").node,
                   volume.node,
                   Edit("edit_main_volume", "30", "master").node,
                   Spacer("tool_spacer", true),
                   Label("model_caption", "${ui_tagline}", "caption").node,
               });
}

// ---- car diagram --------------------------------------------------------------------------

Node CarPanel() {
    Widget card = Frame("car_panel", "card");
    card.Policy("Fixed", "Preferred");
    Node box = BoxLayout("QVBoxLayout", "car_box", {4, 4, 4, 4}, 0);
    Widget car = Frame("car_view", "car");
    car.MinSize(kCarViewWidth, kCarViewHeight).MaxSize(kCarViewWidth, kCarViewHeight);
    for (int role = 1; role <= kRoles; ++role) {
        const SpeakerRect r = SpeakerGeometry(role);
        Widget spk = SelectButton(Indexed("speaker_", role), "", "speaker");
        spk.User(role).Geometry(r.x, r.y, r.d, r.d).Tip(SpeakerRole(role).longText);
        if (!IsRoleUsed(Defaults(), role)) spk.Hidden();
        car.Child(spk.node);
    }
    AddItem(box, Spacer("car_spacer_top", false, 0, 0));
    AddItem(box, car.node);
    AddItem(box, Spacer("car_spacer", false, 0, 0));
    card.Layout(box);
    return card.node;
}

// ---- curve and crossover -----------------------------------------------------------------

Node CurvePanel() {
    Widget card = Frame("curve_panel", "card");
    card.Policy("Expanding", "Preferred", 1);
    Node box = BoxLayout("QVBoxLayout", "curve_box", {2, 2, 2, 2}, 0);
    Widget curve("Curve", "equalizer");
    curve.Role("curve").Policy("Expanding", "Expanding").MinSize(320, 150);
    // One colour per output, in output order; the strips' accents follow the same order.
    curve.Dyn("curvecolor",
              "#FFFF7A1A #FF3FB0D6 #FF9BE15D #FFE05CC8 #FFFFD23F #FF6F8CFF #FFFF5C50 #FFB38CFF");
    AddItem(box, curve.node);
    card.Layout(box);
    return card.node;
}

Widget TypeCombo(const std::string& name, int current) {
    // Index = filter family; item 0 only keeps the indexes aligned and is never offered.
    Widget w = Combo(name, "small");
    w.Item("—").Item("${ui_butterworth}").Item("${ui_linkwitz}").Item("${ui_bessel}");
    w.Dyn("hiddenitems", "0").Prop("currentIndex", Number(current)).FontScale(0.85);
    w.Policy("Ignored", "Fixed");
    return w;
}

Widget SlopeCombo(const std::string& name, int current) {
    Widget w = Combo(name, "small");
    w.Item("${off}");
    for (int n = 1; n <= 8; ++n) w.Item(std::to_string(n * 6) + " dB");
    w.Prop("currentIndex", Number(current)).FontScale(0.85).Policy("Ignored", "Fixed");
    return w;
}

Node CrossoverPanel() {
    Widget card = Frame("crossover_panel", "card");
    card.Policy("Fixed", "Preferred").MinSize(206, 0).MaxSize(206, 16777215);
    Node grid = GridLayout("crossover_grid", {8, 6, 8, 8}, 6, 5);
    AddGridItem(grid, Label("crossover_title", "${ui_crossover}", "cardtitle").node, 0, 0, 1, 2);
    AddGridItem(grid, Label("hp_caption", "${ui_high_pass}", "caption").node, 1, 0);
    const Crossover& xo = Defaults().channels[0].crossover;
    AddGridItem(
        grid, Edit("hp_freq", std::to_string(xo.hp.fs) + "Hz", "value").FontScale(0.92).node, 1, 1);
    AddGridItem(grid, TypeCombo("hp_type", xo.hp.type).node, 2, 0);
    AddGridItem(grid, SlopeCombo("hp_slop", xo.hp.slope).node, 2, 1);
    AddGridItem(grid, Label("lp_caption", "${ui_low_pass}", "caption").node, 3, 0);
    AddGridItem(
        grid, Edit("lp_freq", std::to_string(xo.lp.fs) + "Hz", "value").FontScale(0.92).node, 3, 1);
    AddGridItem(grid, TypeCombo("lp_type", xo.lp.type).node, 4, 0);
    AddGridItem(grid, SlopeCombo("lp_slop", xo.lp.slope).node, 4, 1);
    AddGridItem(grid, Spacer("crossover_spacer", false, 0, 2), 5, 0, 1, 2);
    AddGridItem(grid, Label("eq_title", "${ui_equalizer}", "cardtitle").node, 6, 0, 1, 2);
    AddGridItem(grid, SelectButton("btn_arg_eq", "${geq_mode}", "action").node, 7, 0);
    AddGridItem(grid, Button("btn_bypass", "${bypass_eq}", "action").node, 7, 1);
    AddGridItem(grid, Button("btn_reset_eq", "${ui_reset_eq}", "action").node, 8, 0, 1, 2);
    grid.Attr("columnstretch", "1,1");
    card.Layout(grid);
    return card.node;
}

// ---- band editors -------------------------------------------------------------------------

Node BandPanel() {
    Widget card = Frame("band_panel", "card");
    card.Policy("Preferred", "Expanding", 0, 1);
    Node grid = GridLayout("band_grid", {6, 6, 6, 6}, 2, 3);
    const char* const rowCaptions[] = {"${ui_gain}", "", "${ui_eq_band}", "${ui_freq}", "Q"};
    for (int row = 0; row < 5; ++row) {
        if (row == 1) continue;
        AddGridItem(
            grid,
            Label(Indexed("band_caption_", row), rowCaptions[row], "caption").FontScale(0.78).node,
            row, 0);
    }
    const EqBand* bands = Bands(Defaults(), 0);
    for (int b = 0; b < kEqBands; ++b) {
        const int col = b + 1;
        AddGridItem(grid, Edit(Indexed("eq_gain_", b), "0.0", "band").User(b).FontScale(0.78).node,
                    0, col);
        Widget slider = Slider(Indexed("eq_slider_", b), false, -180, 120, 0, 10);
        slider.User(b).Role("band").Policy("Preferred", "Expanding").MinSize(0, 56);
        AddGridItem(grid, slider.node, 1, col);
        AddGridItem(grid,
                    SelectButton(Indexed("pt_enable_", b), std::to_string(b + 1), "bandbtn")
                        .User(b)
                        .FontScale(0.78)
                        .node,
                    2, col);
        AddGridItem(grid,
                    Edit(Indexed("eq_freq_", b), std::to_string(bands[b].freq), "band")
                        .User(b)
                        .FontScale(0.78)
                        .node,
                    3, col);
        AddGridItem(grid,
                    Edit(Indexed("eq_q_", b), Fixed2(bands[b].eqFactor), "band")
                        .User(b)
                        .FontScale(0.78)
                        .node,
                    4, col);
    }
    grid.Attr("columnstretch", Join(kEqBands + 1, "0", "1"));
    grid.Attr("rowstretch", "0,1,0,0,0");
    card.Layout(grid);
    return card.node;
}

// ---- output strips ------------------------------------------------------------------------

// A strip's value edit: its width is the given share of the row.
Node ValueEdit(const std::string& name, const std::string& text, int channel, int stretch) {
    return Edit(name, text, "value")
        .User(channel)
        .FontScale(0.82)
        .Policy("Ignored", "Fixed", stretch)
        .node;
}

Node OutputStrip(int n) {
    Widget strip = Frame(Indexed("ch_strip_", n), "strip");
    strip.User(n).Policy("Preferred", "Preferred", 1);
    Node box = BoxLayout("QVBoxLayout", Indexed("ch_strip_box_", n), {4, 3, 4, 3}, 2);

    Node head = BoxLayout("QHBoxLayout", Indexed("ch_head_", n), {0, 0, 0, 0}, 3);
    Widget select = SelectButton(Indexed("ch_enable_", n), "CH" + std::to_string(n + 1), "chsel");
    if (n == Defaults().currChannel) select.Dyn("selected", "true");
    AddItem(head, select.User(n).Policy("Expanding", "Fixed").node);
    AddItem(head, Option(Indexed("ch_show_", n), "≈", "show").User(n).Tip("${ui_show_curve}").node);
    AddItem(box, head);

    AddItem(box, Button(Indexed("ch_output_btn_", n), SpeakerRole(Defaults().outputs[n]).longText,
                        "rolebtn")
                     .User(n)
                     .FontScale(0.82)
                     .Policy("Ignored", "Fixed")
                     .node);

    Node flags = BoxLayout("QHBoxLayout", Indexed("ch_flags_", n), {0, 0, 0, 0}, 3);
    const char* const flagOptions[][3] = {{"ch_mute_", "${ui_mute}", "mute"},
                                          {"ch_phase_", "${positive_phase}", "toggle"},
                                          {"ch_synchronize_", "${ui_sync}", "toggle"}};
    for (const auto& [prefix, text, role] : flagOptions) {
        AddItem(flags, Option(Indexed(prefix, n), text, role)
                           .User(n)
                           .FontScale(0.78)
                           .Policy("Ignored", "Fixed")
                           .node);
    }
    AddItem(box, flags);

    Widget volumeBg = Frame(Indexed("ch_volume_bg_", n), "volbg");
    volumeBg.User(n);
    Node vol = BoxLayout("QHBoxLayout", Indexed("ch_volume_row_", n), {0, 0, 0, 0}, 3);
    Widget volSlider = Slider(Indexed("slider_ch_volume_", n), true, -600, 0, 0, 10);
    volSlider.User(n).Prop("singleStep", Number(10)).Policy("Expanding", "Fixed", 3);
    AddItem(vol, volSlider.node);
    AddItem(vol, ValueEdit(Indexed("edit_ch_volume_", n), "0dB", n, 2));
    SetStretch(vol, "3,2");
    volumeBg.Layout(vol);
    AddItem(box, volumeBg.node);

    // The delay slider floats in beside the delay edit while the edit has the focus; the
    // placeholder with the caption holds its place the rest of the time.
    Node delay = BoxLayout("QHBoxLayout", Indexed("ch_delay_row_", n), {0, 0, 0, 0}, 3);
    Widget placeholder = Frame(Indexed("control_empty_", n), "placeholder");
    placeholder.User(n).Policy("Ignored", "Preferred", 1);
    Node holder = BoxLayout("QHBoxLayout", Indexed("control_empty_box_", n), {0, 0, 0, 0}, 0);
    AddItem(
        holder,
        Label(Indexed("delay_lable_", n), "${ui_delay}", "caption").User(n).FontScale(0.78).node);
    placeholder.Layout(holder);
    AddItem(delay, placeholder.node);
    AddItem(delay, Slider(Indexed("slider_ch_delay_", n), true, 0, 15000, 0, 21)
                       .User(n)
                       .Role("delay")
                       .Policy("Ignored", "Fixed", 1)
                       .Hidden()
                       .node);
    AddItem(delay, ValueEdit(Indexed("edit_ch_delay_", n), "0.000 ms", n, 1));
    // Placeholder and slider take the same share of the row, so the edit never moves;
    // the edit's larger share holds the longest delay ("15.000 ms", "519.00 cm").
    SetStretch(delay, "2,2,3");
    AddItem(box, delay);

    Node inputs = BoxLayout("QHBoxLayout", Indexed("ch_inputs_", n), {0, 0, 0, 0}, 2);
    AddItem(inputs,
            Label(Indexed("inputs_caption_", n), "${ui_inputs}", "caption").FontScale(0.72).node);
    for (int k = 1; k <= kMaxInputChannels; ++k) {
        Widget in = Option("option_ch_in" + std::to_string(k) + "_" + std::to_string(n),
                           std::to_string(k), "input");
        in.User(n).FontScale(0.72).Policy("Ignored", "Fixed");
        if (Defaults().inputs[kDefaultSource][n] & (1 << (k - 1))) in.Prop("checked", Bool(true));
        AddItem(inputs, in.node);
    }
    AddItem(box, inputs);

    strip.Layout(box);
    return strip.node;
}

Node OutputsHead() {
    Widget head = Frame("outputs_head", "stripsHead");
    head.Policy("Fixed", "Preferred").MinSize(96, 0).MaxSize(96, 16777215);
    Node box = BoxLayout("QVBoxLayout", "outputs_head_box", {2, 3, 2, 3}, 3);
    AddItem(box, Label("outputs_title", "${ui_outputs}", "cardtitle").node);
    AddItem(box, SelectButton("btn_link_output", "${ui_link}", "action").FontScale(0.85).node);
    AddItem(box, SelectButton("btn_lock_output", "${ui_lock}", "action").FontScale(0.85).node);
    AddItem(box, Button("btn_reset_output", "${ui_reset_output}", "action").FontScale(0.85).node);
    AddItem(box, Spacer("outputs_head_spacer", false));
    Widget unit = Combo("comb_ch_unit", "small");
    unit.Item("ms").Item("cm").Item("in").FontScale(0.85).Policy("Ignored", "Fixed");
    unit.Tip("${ui_delay_unit}");
    AddItem(box, unit.node);
    head.Layout(box);
    return head.node;
}

const std::vector<CustomClass> kCustoms = {{"SButton", "QPushButton"}, {"Curve", "QWidget"}};

}  // namespace

SpeakerSpot SpeakerPosition(int role) {
    // Left side of the car is the left of the drawing; right-hand roles mirror the left.
    static const SpeakerSpot kLeft[] = {
        {0, 0, 0},     {50, 60, 14},  // 1 front left tweeter: dash corner
        {40, 86, 18},                 // 2 front left midrange: upper door
        {40, 110, 22},                // 3 front left woofer: lower door
        {42, 72, 16},                 // 4 front left mid/tweeter: mirror triangle
        {40, 98, 20},                 // 5 front left mid/woofer: door
        {40, 96, 22},                 // 6 front left full range: door
    };
    static const SpeakerSpot kRearLeft[] = {
        {48, 160, 14},  // 13 rear left tweeter: parcel shelf
        {40, 136, 22},  // 14 rear left woofer: rear door
        {40, 142, 22},  // 15 rear left full range: rear door
    };
    static const SpeakerSpot kCentre[] = {
        {90, 50, 14},  // 19 centre tweeter: dash
        {90, 68, 18},  // 20 centre woofer: dash
        {90, 58, 20},  // 21 centre full range: dash
    };
    static const SpeakerSpot kSub[] = {
        {68, 192, 24},   // 22 left subwoofer: boot
        {112, 192, 24},  // 23 right subwoofer: boot
        {90, 190, 28},   // 24 subwoofer: boot
    };
    auto mirror = [](SpeakerSpot s) { return SpeakerSpot{kCarDrawingWidth - s.cx, s.cy, s.d}; };
    if (role >= 1 && role <= 6) return kLeft[role];
    if (role >= 7 && role <= 12) return mirror(kLeft[role - 6]);
    if (role >= 13 && role <= 15) return kRearLeft[role - 13];
    if (role >= 16 && role <= 18) return mirror(kRearLeft[role - 16]);
    if (role >= 19 && role <= 21) return kCentre[role - 19];
    if (role >= 22 && role <= 24) return kSub[role - 22];
    return {0, 0, 0};
}

SpeakerRect SpeakerGeometry(int role) {
    const int group = RolePositionGroup(role);
    // Right-hand speakers are the exact mirror images of their left partners.
    if (group == 1 || group == 3 || role == 23) {
        const SpeakerRect left = SpeakerGeometry(MirrorRole(role));
        return {kCarViewWidth - left.x - left.d, left.y, left.d};
    }
    const SpeakerSpot s = SpeakerPosition(role);
    const int d = s.d * kCarViewWidth / kCarDrawingWidth;
    const int cx = s.cx * kCarViewWidth / kCarDrawingWidth;
    const int cy = s.cy * kCarViewHeight / kCarDrawingHeight;
    // Centre speakers sit exactly on the car's axis.
    const int x = s.cx == kCarDrawingWidth / 2 ? (kCarViewWidth - d) / 2 : cx - d / 2;
    return {x, cy - d / 2, d};
}

std::string MainLayout() {
    Widget main = Frame("main", "mainframe");
    main.Geometry(0, 0, 1230, 650);
    Node root = BoxLayout("QVBoxLayout", "main_layout", {0, 0, 0, 0}, 0);
    AddItem(root, TitleBar());
    AddItem(root, ToolBar());

    Widget body = Frame("main_body", "body");
    Node bodyBox = BoxLayout("QVBoxLayout", "body_layout", {8, 6, 8, 8}, 6);
    Node top = BoxLayout("QHBoxLayout", "top_row", {0, 0, 0, 0}, 6);
    AddItem(top, CarPanel());
    AddItem(top, CurvePanel());
    AddItem(top, CrossoverPanel());
    SetStretch(top, "0,1,0");
    AddItem(bodyBox, top);
    // The output strips come from their own layout file, built in here at start-up.
    Widget settings("QWidget", "channel_settings");
    settings.Policy("Preferred", "Fixed");
    AddItem(bodyBox, settings.node);
    AddItem(bodyBox, BandPanel());
    SetStretch(bodyBox, "3,0,2");
    body.Layout(bodyBox);
    AddItem(root, body.node);
    SetStretch(root, "0,0,1");
    main.Layout(root);
    return Document("main", main.node, kCustoms);
}

std::string ChannelSettingsLayout() {
    Widget panel = Frame("channel_settings_panel", "card");
    panel.Geometry(0, 0, 1214, 176);
    panel.Layout(OutputsRow("channel_settings_row", {4, 4, 4, 4}, 4, OutputsHead(), OutputStrip));
    return Document("channel_settings", panel.node, kCustoms);
}

}  // namespace kavelo::layoutgen
