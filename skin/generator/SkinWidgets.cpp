#include "SkinWidgets.h"

#include "control/DspRecords.h"

namespace kavelo::layoutgen {

std::string Indexed(const std::string& prefix, int index) { return prefix + std::to_string(index); }

Widget Label(const std::string& name, const std::string& text, const std::string& role) {
    Widget w("QLabel", name);
    w.Text(text).Role(role);
    return w;
}

Widget Button(const std::string& name, const std::string& text, const std::string& role) {
    Widget w("QPushButton", name);
    w.Text(text).Role(role).Prop("cursor", Cursor("PointingHandCursor"));
    w.Prop("focusPolicy", Enum("Qt::NoFocus"));
    return w;
}

Widget Option(const std::string& name, const std::string& text, const std::string& role) {
    Widget w = Button(name, text, role);
    w.Checkable();
    return w;
}

Widget Edit(const std::string& name, const std::string& text, const std::string& role) {
    Widget w("QLineEdit", name);
    w.Text(text).Role(role).Align("Qt::AlignCenter");
    return w;
}

Widget Slider(const std::string& name, bool horizontal, int min, int max, int value, int page,
              const std::string& focus) {
    Widget w("QSlider", name);
    w.Prop("orientation", Enum(horizontal ? "Qt::Horizontal" : "Qt::Vertical"))
        .Prop("minimum", Number(min))
        .Prop("maximum", Number(max))
        .Prop("singleStep", Number(1))
        .Prop("pageStep", Number(page))
        .Prop("value", Number(value))
        .Prop("focusPolicy", Enum(focus));
    return w;
}

Widget Combo(const std::string& name, const std::string& role) {
    Widget w("QComboBox", name);
    w.Role(role).Prop("focusPolicy", Enum("Qt::NoFocus"));
    return w;
}

Widget Frame(const std::string& name, const std::string& role) {
    Widget w("QFrame", name);
    w.Role(role);
    return w;
}

Node OutputsRow(const std::string& name, Margins margins, int spacing, Node head,
                const std::function<Node(int output)>& item) {
    Node row = BoxLayout("QHBoxLayout", name, margins, spacing);
    AddItem(row, std::move(head));
    std::string stretch = "0";
    for (int n = 0; n < kOutputChannels; ++n) {
        AddItem(row, item(n));
        stretch += ",1";
    }
    SetStretch(row, stretch);
    return row;
}

}  // namespace kavelo::layoutgen
