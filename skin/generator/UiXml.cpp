#include "UiXml.h"

#include <cstdio>
#include <sstream>

namespace kavelo::layoutgen {

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Leaf elements stay on one line; containers indent their children by one space per
// level, which keeps the files small and their diffs readable.
void Print(std::ostringstream& out, const Node& n, int depth) {
    out << std::string(static_cast<size_t>(depth), ' ') << '<' << n.tag;
    for (const auto& [k, v] : n.attrs) out << ' ' << k << "=\"" << Escape(v) << '"';
    if (n.kids.empty() && n.text.empty()) {
        out << "/>\n";
        return;
    }
    if (n.kids.empty()) {
        out << '>' << Escape(n.text) << "</" << n.tag << ">\n";
        return;
    }
    // Property values print inline: <property name="x"><number>1</number></property>.
    const bool inlineKids = n.tag == "property" || n.tag == "rect" || n.tag == "size" ||
                            n.tag == "sizepolicy" || n.tag == "string";
    if (inlineKids) {
        out << '>';
        for (const Node& k : n.kids) {
            std::ostringstream inner;
            Print(inner, k, 0);
            std::string s = inner.str();
            while (!s.empty() && s.back() == '\n') s.pop_back();
            // Nested leaves were printed with their own newlines; join them.
            std::string joined;
            for (char c : s)
                if (c != '\n') joined += c;
            out << joined;
        }
        out << "</" << n.tag << ">\n";
        return;
    }
    out << ">\n";
    for (const Node& k : n.kids) Print(out, k, depth + 1);
    out << std::string(static_cast<size_t>(depth), ' ') << "</" << n.tag << ">\n";
}

std::string FormatDouble(double d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", d);
    return buf;
}

}  // namespace

Node& Node::Attr(const std::string& key, const std::string& value) {
    attrs.emplace_back(key, value);
    return *this;
}

Node& Node::Add(Node child) {
    kids.push_back(std::move(child));
    return kids.back();
}

Node Element(const std::string& tag, const std::string& text) {
    Node n;
    n.tag = tag;
    n.text = text;
    return n;
}

Node String(const std::string& s) { return Element("string", s); }
Node Number(int n) { return Element("number", std::to_string(n)); }
Node Double(double d) { return Element("double", FormatDouble(d)); }
Node Bool(bool b) { return Element("bool", b ? "true" : "false"); }
Node Enum(const std::string& e) { return Element("enum", e); }
Node Set(const std::string& s) { return Element("set", s); }
Node Cursor(const std::string& shape) { return Element("cursorShape", shape); }

Node Rect(int x, int y, int w, int h) {
    Node r = Element("rect");
    r.Add(Element("x", std::to_string(x)));
    r.Add(Element("y", std::to_string(y)));
    r.Add(Element("width", std::to_string(w)));
    r.Add(Element("height", std::to_string(h)));
    return r;
}

Node Size(int w, int h) {
    Node s = Element("size");
    s.Add(Element("width", std::to_string(w)));
    s.Add(Element("height", std::to_string(h)));
    return s;
}

Node SizePolicy(const std::string& h, const std::string& v, int hStretch, int vStretch) {
    Node p = Element("sizepolicy");
    p.Attr("hsizetype", h).Attr("vsizetype", v);
    p.Add(Element("horstretch", std::to_string(hStretch)));
    p.Add(Element("verstretch", std::to_string(vStretch)));
    return p;
}

Widget::Widget(const std::string& cls, const std::string& name) {
    node.tag = "widget";
    node.Attr("class", cls).Attr("name", name);
}

Widget& Widget::Prop(const std::string& name, Node value) {
    Node p = Element("property");
    p.Attr("name", name);
    p.Add(std::move(value));
    node.Add(std::move(p));
    return *this;
}

Widget& Widget::Dyn(const std::string& name, const std::string& value) {
    Node p = Element("property");
    p.Attr("name", name).Attr("stdset", "0");
    p.Add(String(value));
    node.Add(std::move(p));
    return *this;
}

Widget& Widget::DynDouble(const std::string& name, double value) {
    Node p = Element("property");
    p.Attr("name", name).Attr("stdset", "0");
    p.Add(Double(value));
    node.Add(std::move(p));
    return *this;
}

Widget& Widget::Item(const std::string& text) {
    Node item = Element("item");
    Node p = Element("property");
    p.Attr("name", "text");
    p.Add(String(text));
    item.Add(std::move(p));
    node.Add(std::move(item));
    return *this;
}

Widget& Widget::Child(Node child) {
    node.Add(std::move(child));
    return *this;
}

Widget& Widget::Layout(Node layout) {
    node.Add(std::move(layout));
    return *this;
}

Node BoxLayout(const std::string& cls, const std::string& name, Margins m, int spacing) {
    Node l = Element("layout");
    l.Attr("class", cls).Attr("name", name);
    auto prop = [&l](const char* key, int v) {
        Node p = Element("property");
        p.Attr("name", key);
        p.Add(Number(v));
        l.Add(std::move(p));
    };
    prop("spacing", spacing);
    prop("leftMargin", m.l);
    prop("topMargin", m.t);
    prop("rightMargin", m.r);
    prop("bottomMargin", m.b);
    return l;
}

Node GridLayout(const std::string& name, Margins m, int hSpacing, int vSpacing) {
    Node l = Element("layout");
    l.Attr("class", "QGridLayout").Attr("name", name);
    auto prop = [&l](const char* key, int v) {
        Node p = Element("property");
        p.Attr("name", key);
        p.Add(Number(v));
        l.Add(std::move(p));
    };
    prop("leftMargin", m.l);
    prop("topMargin", m.t);
    prop("rightMargin", m.r);
    prop("bottomMargin", m.b);
    prop("horizontalSpacing", hSpacing);
    prop("verticalSpacing", vSpacing);
    return l;
}

Node& AddItem(Node& layout, Node widgetOrLayout) {
    Node item = Element("item");
    item.Add(std::move(widgetOrLayout));
    return layout.Add(std::move(item));
}

Node& AddGridItem(Node& layout, Node widgetOrLayout, int row, int col, int rowSpan, int colSpan) {
    Node item = Element("item");
    item.Attr("row", std::to_string(row)).Attr("column", std::to_string(col));
    if (rowSpan != 1) item.Attr("rowspan", std::to_string(rowSpan));
    if (colSpan != 1) item.Attr("colspan", std::to_string(colSpan));
    item.Add(std::move(widgetOrLayout));
    return layout.Add(std::move(item));
}

Node Spacer(const std::string& name, bool horizontal, int w, int h, const std::string& policy) {
    Node s = Element("spacer");
    s.Attr("name", name);
    Node o = Element("property");
    o.Attr("name", "orientation");
    o.Add(Enum(horizontal ? "Qt::Horizontal" : "Qt::Vertical"));
    s.Add(std::move(o));
    Node t = Element("property");
    t.Attr("name", "sizeType");
    t.Add(Enum("QSizePolicy::" + policy));
    s.Add(std::move(t));
    Node hint = Element("property");
    hint.Attr("name", "sizeHint").Attr("stdset", "0");
    hint.Add(Size(w, h));
    s.Add(std::move(hint));
    return s;
}

Node& SetStretch(Node& layout, const std::string& stretch) {
    layout.Attr("stretch", stretch);
    return layout;
}

std::string Document(const std::string& className, const Node& root,
                     const std::vector<CustomClass>& customs) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- Generated by kavelo-layoutgen (skin/generator); edit the generator, not this "
           "file. -->\n";
    Node ui = Element("ui");
    ui.Attr("version", "4.0");
    ui.Add(Element("class", className));
    ui.Add(root);
    if (!customs.empty()) {
        Node list = Element("customwidgets");
        for (const CustomClass& c : customs) {
            Node cw = Element("customwidget");
            cw.Add(Element("class", c.name));
            cw.Add(Element("extends", c.extends));
            list.Add(std::move(cw));
        }
        ui.Add(std::move(list));
    }
    ui.Add(Element("resources"));
    ui.Add(Element("connections"));
    Print(out, ui, 0);
    return out.str();
}

}  // namespace kavelo::layoutgen
