#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "control/DspRecords.h"
#include "control/ProfileFiles.h"
#include "device/DeviceMessage.h"

// Reading the amplifier's live state after connecting, and applying every value
// the link reports to the model. Qt-free: the main window and the command-line
// tool share it; the window only updates the controls named by the result.
namespace kavelo {

class DeviceLink;

// Everything a read-back and the later reports write: the live state, the ten
// scene slots with their names (8 UTF-16 code units, little-endian, zero-padded)
// and the valid-scene set.
struct ControllerModel : WholeProfile {
    int validScenes = 0;
};

// --- the request sequence ---

struct ReadBackHooks {
    // Runs right after the host announced itself, before the handshake (the
    // window restarts its status timer here).
    std::function<void()> afterPcConnect;
    // Polled between requests; true ends the sequence (the owner is going away).
    std::function<bool()> stopRequested;
    // After the handshake and after each query: exchanges done of the
    // read-back's total (ReadBackExchangeCount).
    std::function<void(int done, int total)> progress;
};

// Requests after an answered handshake are given up after this many
// unanswered requests in a row: the amplifier has stopped talking and waiting
// out the rest would keep the user staring at the loading window for minutes.
inline constexpr int kReadBackMaxMissedReplies = 3;

// Handshake, then every query of the live state in the amplifier's order;
// replies reach the link's receivers as posted messages. Returns -1 when the
// handshake got no reply, the amplifier stopped answering, the link closed or
// a stop was requested; 0 otherwise (also for a foreign model or a device in
// loader mode, which are not read: the handshake record tells the caller).
int RunStatusInit(DeviceLink& link, const ReadBackHooks& hooks = {});

// Number of request/reply exchanges of a full read-back (handshake included).
int ReadBackExchangeCount();

// --- applying reported values ---

// Which controls a reported value concerns. Live values name their channel
// (output) and band; values for a scene slot change no control (kind None
// with `scene` set).
enum class UpdateKind {
    None,
    SourceSelector,  // select item model.live.inputSource
    MainVolume,      // stop the volume timer; slider and edit take mainVolume
    MainMute,
    Filter,  // the crossover editors of `channel`, when it is the current one
    EqBand,  // `band` of `channel`
    Delay,
    Trim,
    ChannelMute,
    Phase,
    Mix,    // options in1..in6 of `channel` (output); `source` given
    Roles,  // all output buttons and speaker marks
    Link,   // link and lock buttons, output buttons; reselect the current channel
    Lock,   // likewise; `unlinked` when the lock ended link mode
    EqBypass,
    AmpPower,
    DspStatus,  // disconnect; value 0 means the DSP is off
    Handshake,  // `modelMismatch` asks for the "not match" message
    FlashVersion,
    SceneName,
    SceneValid,
    Logged,  // logged or stored only; nothing to show
};

struct ValueUpdate {
    UpdateKind kind = UpdateKind::None;
    int scene = 0;  // 0 live, 1 ... 10 scene slot
    int channel = -1;
    int band = -1;
    int source = -1;
    int value = 0;
    bool unlinked = false;       // Lock: link mode ended; CH_Link_Ctrl(0, 0, no pairs) is due
    bool modelMismatch = false;  // Handshake: foreign model in normal mode
    bool live() const { return scene == 0 && kind != UpdateKind::None; }
};

// The model part of the three value callbacks. Each logs the callback line,
// writes what the report says into `model` and tells what changed. Reports
// with an unexpected payload or an index outside the model are ignored (kind
// None) rather than written out of bounds.
ValueUpdate ApplyDspValue(ControllerModel& model, int code, const Payload& value);
ValueUpdate ApplyMcuValue(ControllerModel& model, int code, const Payload& value,
                          bool mcuNormalMode);
ValueUpdate ApplySceneValue(ControllerModel& model, int code, const Payload& value);

// A stored scene name (up to 16 bytes, UTF-8, not necessarily zero-terminated)
// as the slot's UTF-16 code units; never more than 8 and a surrogate pair is
// never cut in half.
SceneName SceneNameFromDeviceBytes(const std::uint8_t* bytes, int size);
// The code units of a slot up to the first zero, as UTF-8 (for display and logs).
std::string SceneNameToUtf8(const SceneName& name);

// The firmware check after a read-back: true when a model-87 amplifier in
// normal mode runs firmware older than the one this software expects.
bool NeedsForcedUpdate(const DspState& live, bool mcuNormalMode);

}  // namespace kavelo
