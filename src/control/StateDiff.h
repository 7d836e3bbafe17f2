#pragma once

#include "control/DspCommand.h"
#include "control/DspRecords.h"

// The difference between two tunings as the commands that turn one into the
// other on the amplifier, and the settings a tuning is made of. Undo, redo and
// the A/B comparison send these instead of a whole profile.
namespace kavelo {

// The commands that change the amplifier's live settings from `from` into
// `to`: only what differs, grouped as the editing handlers send them (source,
// main volume and mute, amplifier power, lock and link, then per output its
// role, crossover, bands and EQ bypass; the gains and delays of the outputs
// that changed in one command each; mutes, phases; routing and mix levels).
// A band is compared as the amplifier holds it: a disabled band is a flat one.
DspCommands DiffStates(const DspState& from, const DspState& to);

// `current` with the settings the amplifier holds taken from `settings`; what
// only the window keeps (current output, shown curves, synchronisation, the
// amplifier's identity) stays as in `current`.
DspState WithSettingsOf(DspState current, const DspState& settings);

}  // namespace kavelo
