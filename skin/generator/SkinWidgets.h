#pragma once

// The skin's common controls as layout elements: every layout of the skin builds its
// labels, buttons, options, edits, sliders, combo boxes and frames the same way, and the
// style sheet dresses them by role.

#include <functional>
#include <string>

#include "UiXml.h"

namespace kavelo::layoutgen {

// "prefix" followed by the decimal index: the names of repeated controls.
std::string Indexed(const std::string& prefix, int index);

Widget Label(const std::string& name, const std::string& text, const std::string& role);
// A push button that never takes the keyboard focus.
Widget Button(const std::string& name, const std::string& text, const std::string& role);
// An option: a check button that reports "selectchanged" both ways.
Widget Option(const std::string& name, const std::string& text, const std::string& role);
Widget Edit(const std::string& name, const std::string& text, const std::string& role);
// A slider takes the focus when clicked unless told otherwise ("Qt::NoFocus").
Widget Slider(const std::string& name, bool horizontal, int min, int max, int value, int page,
              const std::string& focus = "Qt::ClickFocus");
Widget Combo(const std::string& name, const std::string& role);
Widget Frame(const std::string& name, const std::string& role);

// A row of a head and one item per output channel, the outputs sharing the width equally.
Node OutputsRow(const std::string& name, Margins margins, int spacing, Node head,
                const std::function<Node(int output)>& item);

}  // namespace kavelo::layoutgen
