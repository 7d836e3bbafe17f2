#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "control/DspRecords.h"
#include "control/ProfileFiles.h"
#include "device/DeviceLink.h"

// The command sequences that bring a profile into the amplifier and read its
// stored scenes out again. Qt-free: the scene and profile windows run them on
// their workers, and kavelo-cli runs them directly. Replies travel as posted
// messages to the link's receivers; applying them to a model is the receiver's
// business.
namespace kavelo {

// Called after each command with the number done and the number in the run.
using TransferProgress = std::function<void(int done, int total)>;
// Polled before each command; true ends the run (its owner is going away).
using TransferStop = std::function<bool()>;

// A run is abandoned after this many unanswered commands in a row: the
// amplifier has stopped talking, and waiting out every remaining time-out
// would hold the user for hours.
inline constexpr int kTransferMaxMissedReplies = 3;

// What a sequence did. A command "failed" when it could not be written, no
// reply arrived within its time-out, or it was not sent because the run was
// abandoned (stop requested, link closed, too many misses in a row). An
// isolated miss does not end the run: one lost reply costs one setting, not
// the rest of the profile.
struct TransferResult {
    int commands = 0;
    int failed = 0;
    bool abandoned = false;
    bool ok() const { return failed == 0; }
};

// The pause before a stored scene's settings are read after a ReadScene the
// amplifier did not acknowledge; taken on the link's clock.
inline constexpr int kSceneReadSettleMs = 1000;

// Writes `state` into the amplifier's live settings (scene 0). Every command
// waits for its reply, the mix levels included: a queued command is dropped
// while the queue gate is closed and its loss would not be seen.
TransferResult SetReadCurProfileToMCU(DeviceLink& link, const DspState& state,
                                      const TransferProgress& progress = {},
                                      const TransferStop& stop = {});

// Writes the ten scene slots (each stored with its name) and then the live
// state, every command waiting for its reply.
TransferResult SetReadWholeProfileToMCU(DeviceLink& link, const WholeProfile& whole,
                                        const TransferProgress& progress = {},
                                        const TransferStop& stop = {});

// Asks the amplifier for every setting of stored scene `scene` (1 ... 10) and
// for the scene names. The replies carry the scene number and reach the
// link's main receiver, which stores them into the matching slot.
TransferResult ReadSceneIntoSlot(DeviceLink& link, int scene, const TransferProgress& progress = {},
                                 const TransferStop& stop = {});

// A name slot (UTF-16LE, zero padded) as the amplifier stores it: UTF-8 in a
// zero-filled 16-byte buffer, cut before a character that would not fit whole.
std::array<std::uint8_t, kSceneNameBytes> SceneNameToDeviceBytes(const SceneName& name);

}  // namespace kavelo
