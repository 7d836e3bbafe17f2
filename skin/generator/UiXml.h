#pragma once

// A small writer for Qt Designer layout files: widgets, layouts and properties as a
// tree that prints itself as the XML QUiLoader reads.

#include <string>
#include <utility>
#include <vector>

namespace kavelo::layoutgen {

struct Node {
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attrs;
    std::string text;
    std::vector<Node> kids;

    Node& Attr(const std::string& key, const std::string& value);
    Node& Add(Node child);
};

Node Element(const std::string& tag, const std::string& text = {});

// Property values.
Node String(const std::string& s);
Node Number(int n);
Node Double(double d);
Node Bool(bool b);
Node Enum(const std::string& e);
Node Set(const std::string& s);
Node Rect(int x, int y, int w, int h);
Node Size(int w, int h);
Node SizePolicy(const std::string& h, const std::string& v, int hStretch = 0, int vStretch = 0);
Node Cursor(const std::string& shape);

// A widget element with a fluent way to set what layouts in this skin use.
class Widget {
public:
    Widget(const std::string& cls, const std::string& name);

    Widget& Prop(const std::string& name, Node value);
    // Dynamic property read by the window layer or the style sheet.
    Widget& Dyn(const std::string& name, const std::string& value);
    Widget& DynDouble(const std::string& name, double value);
    Widget& Text(const std::string& text) { return Prop("text", String(text)); }
    Widget& Role(const std::string& role) { return Dyn("role", role); }
    Widget& User(int index) { return Dyn("userdata", std::to_string(index)); }
    Widget& FontScale(double ratio) { return DynDouble("fontScale", ratio); }
    Widget& Geometry(int x, int y, int w, int h) { return Prop("geometry", Rect(x, y, w, h)); }
    Widget& MinSize(int w, int h) { return Prop("minimumSize", Size(w, h)); }
    Widget& MaxSize(int w, int h) { return Prop("maximumSize", Size(w, h)); }
    Widget& Policy(const std::string& h, const std::string& v, int hs = 0, int vs = 0) {
        return Prop("sizePolicy", SizePolicy(h, v, hs, vs));
    }
    Widget& Hidden() { return Prop("visible", Bool(false)); }
    Widget& Checkable() { return Prop("checkable", Bool(true)); }
    Widget& Tip(const std::string& text) { return Prop("toolTip", String(text)); }
    Widget& Align(const std::string& flags) { return Prop("alignment", Set(flags)); }
    Widget& Item(const std::string& text);  // combo box item
    Widget& Child(Node node);               // a child widget without a layout
    Widget& Layout(Node layout);            // the widget's one layout

    Node node;
};

// Layout elements; margins are left, top, right, bottom.
struct Margins {
    int l, t, r, b;
};
Node BoxLayout(const std::string& cls, const std::string& name, Margins m, int spacing);
Node GridLayout(const std::string& name, Margins m, int hSpacing, int vSpacing);
Node& AddItem(Node& layout, Node widgetOrLayout);
Node& AddGridItem(Node& layout, Node widgetOrLayout, int row, int col, int rowSpan = 1,
                  int colSpan = 1);
Node Spacer(const std::string& name, bool horizontal, int w = 0, int h = 0,
            const std::string& policy = "Expanding");
Node& SetStretch(Node& layout, const std::string& stretch);  // "0,1,0"

// A whole layout file: the root widget plus custom widget declarations so that a
// missing custom class falls back to the base class it extends.
struct CustomClass {
    std::string name;
    std::string extends;
};
std::string Document(const std::string& className, const Node& root,
                     const std::vector<CustomClass>& customs);

}  // namespace kavelo::layoutgen
