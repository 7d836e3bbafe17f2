#pragma once

#include <string>

namespace kavelo::layoutgen {

// The main window's layout ("XML_MAIN") and the output-channel sub-layout built into
// its "channel_settings" container. Both are pure functions of the code, so the files
// in the skin can be checked against them.
std::string MainLayout();
std::string ChannelSettingsLayout();

// Centre and diameter of each speaker role's button on the car drawing (roles 1 … 24),
// in the drawing's own 180 x 214 units, front of the car at the top. The diagram is
// laid out at kCarViewWidth x kCarViewHeight unscaled pixels.
struct SpeakerSpot {
    int cx, cy, d;
};
SpeakerSpot SpeakerPosition(int role);
// Top-left corner and diameter of a role's speaker button in the laid-out diagram.
struct SpeakerRect {
    int x, y, d;
};
SpeakerRect SpeakerGeometry(int role);
constexpr int kCarDrawingWidth = 180;
constexpr int kCarDrawingHeight = 214;
constexpr int kCarViewWidth = 160;
constexpr int kCarViewHeight = 190;

}  // namespace kavelo::layoutgen
