#pragma once

#include <cstdint>
#include <string>

#include "control/Conversions.h"
#include "control/DspCommand.h"
#include "control/DspRecords.h"

// Edits of whole outputs and of the main volume, without a screen: each
// operation changes the model and returns the commands to send, in order, and
// the outputs whose controls must show the model again. The handlers of the
// main window read the controls, call these, send and redraw.
namespace kavelo {

struct OutputEdit {
    DspCommands commands;
    std::uint8_t volumeShown = 0;  // bit n: output n's volume slider and edit
    std::uint8_t delayShown = 0;   // bit n: output n's delay slider and edit
    void Append(const OutputEdit& later);
};

// What the volume controls show: slider positions (gain x 10) and the numbers
// read from the edits ("off" reads as -60). Followers of an edit start from these.
struct VolumeControls {
    PerOutput<int> slider{};
    PerOutput<float> edit{};
    int minimum = -600;
    int maximum = 0;
};

// "%ddB" of the whole dB, or `offText` at the slider minimum.
std::string VolumeText(float gainDb, int sliderMinimum, const std::string& offText);
// The delay in a unit: "%.3f ms", "%.2f cm", "%.2f in".
std::string DelayText(float ms, DelayUnit unit);

// i follows n: both take part in synchronised editing and i is not n.
bool SyncedWith(const DspState& state, int n, int i);
// n's partner in link mode, or -1.
int LinkPartner(const DspState& state, int n);

// The mode rules: link implies lock; while an output is synchronised the link
// button is off limits, while link is on the synchronisation options are, and
// while outputs are locked their role buttons are.
struct ModeControls {
    bool linkEnabled = true;
    bool syncEnabled = true;
    bool roleButtonsEnabled = true;
};
ModeControls ModeControlsOf(const DspState& state);

// Channel buttons shown selected when output n is made current: n, every
// synchronised output and, in link mode, n's partner (bit i = output i).
std::uint8_t SelectedChannelButtons(const DspState& state, int n);
// Car-diagram speakers shown selected for output n (bit r = role r).
std::uint32_t SelectedSpeakers(const DspState& state, int n);

void RememberSyncVolume(DspState& state, int n, bool on, const VolumeControls& controls);

// Output n's gain becomes `gainDb` (already clamped). Followers: every output
// synchronised with n that remembered a volume, and the link partner, move by
// the same difference, starting from their edits (`fromEdit`) or their sliders.
OutputEdit ChangeChannelVolume(DspState& state, int n, float gainDb, bool fromEdit,
                               VolumeControls controls);

// The three volume handlers: a slider position (gain x 10), a typed number of dB
// (limited to the slider's range; `clamped` tells whether it was), one step up
// or down (nothing at the limit).
OutputEdit SetChVolumeSlider(DspState& state, int n, int position, const VolumeControls& controls);
OutputEdit SetChVolumeEdit(DspState& state, int n, int typedDb, const VolumeControls& controls,
                           bool* clamped = nullptr);

// Output n's delay becomes `ms`; synchronised outputs and the partner move by the
// same difference within 0 ... 15 ms; n's own command goes last.
OutputEdit ChangeChannelDelay(DspState& state, int n, float ms);
// The delay slider at `microseconds`: the value is limited, shown in the unit
// (`shown` receives the text) and read back from that text, as the edit shows it.
OutputEdit SetChDelaySlider(DspState& state, int n, int microseconds, DelayUnit unit,
                            std::string* shown = nullptr);
// A number typed in the unit; negatives count as 0, the result is limited to 15 ms.
OutputEdit SetChDelayEdit(DspState& state, int n, double typed, DelayUnit unit);

OutputEdit SetChMute(DspState& state, int n, bool on);
OutputEdit SetChPhase(DspState& state, int n, bool inverted);
OutputEdit SetChSynchronize(DspState& state, int n, bool selected, const VolumeControls& controls);

// Link mode. Refused: no output has a partner. Off: link and lock end. On with
// the copy choice 1 (left to right) or 2 (right to left): lock on, partners
// computed, the chosen side copied and the current output's volume and delay
// re-applied (`controls` and `unit` are what its controls show).
enum class LinkSwitch { Refused, Off, On };
LinkSwitch LinkSwitchFor(const DspState& state);
OutputEdit RefuseOutputLink(DspState& state);
OutputEdit SwitchOutputLinkOff(DspState& state);
OutputEdit SwitchOutputLinkOn(DspState& state, int choice, const VolumeControls& controls,
                              DelayUnit unit);
// Whether the copy choice 1 or 2 copies output i onto its partner j: left roles have
// the lower codes.
bool LinkCopies(const DspState& state, int i, int j, int choice);

// The lock after its question was answered (`confirmed`): toggled when
// confirmed; unlocking ends link mode.
OutputEdit SetOutputLock(DspState& state, bool confirmed);

// Every output gets its default role (result 1) or none (result 2); link and lock
// end; all gains are sent again. Result 0 changes nothing.
OutputEdit SetOutputReset(DspState& state, int result);

OutputEdit SetMainVolume(DspState& state, int position);
OutputEdit SetMainMute(DspState& state, bool on);
// The amplifier on (power 1) or off.
OutputEdit SetAmpPower(DspState& state, int power);

}  // namespace kavelo
