#pragma once

#include <array>
#include <optional>
#include <string>

#include "control/OutputOperations.h"

// Speaker roles, input routing and the input source, without a screen.
namespace kavelo {

// The role an output-menu item assigns; -1 for a name that is no role item.
int RoleFromMenuItem(const std::string& itemName);

// Output n takes `role` (0 ... 24) with its default crossover; the amplifier gets
// the role, both filters and the gain again.
OutputEdit SetOutputValue(DspState& state, int n, int role);

// The level a routed input starts at when its stored level is 0.
inline constexpr int kRoutedInputLevel = 100;

// Sets or clears the bit of input channel `input` (0 ... 5) in the routing mask of
// `output` under `source`; returns the new mask. Indexes are the caller's to check.
int SetInputRouted(DspState& state, int source, int output, int input, bool routed);

// A routed input at level 0 would stay silent: its level becomes kRoutedInputLevel and
// the command that tells the amplifier is returned. Nothing when the level was not 0.
std::optional<InputMixTrimCmd> RaiseSilentInput(DspState& state, int source, int output, int input);

// Input k (1 ... 6) of output n routed (selected) or not under the current source.
// Routing an input whose level is 0 raises the level to 100.
OutputEdit SetChInput(DspState& state, int n, int k, bool selected);

// The source becomes s; the command is what the amplifier is told when connected.
// Nothing for an index outside the source table.
std::optional<SourceSwitchCmd> SetInputSource(DspState& state, int s);

// How the six routing options of an output look under a source; `changes` is
// false for a source without input channels, which leaves them as they are.
struct InputOptionLook {
    bool enabled = true;
    bool visible = true;
};
struct InputOptionLooks {
    bool changes = false;
    std::array<InputOptionLook, 6> option{};
};
InputOptionLooks InputOptionLooksFor(int source);

}  // namespace kavelo
