#pragma once

#include <string>

#include "sim/AmplifierState.h"

// Saving and loading everything the virtual amplifier remembers, so the demo
// amplifier keeps its scenes between runs.
//
// File format (the amplifier's own, not a profile): one JSON object, written
// compactly by cJSON:
//   {"format": "kavelo-virtual-amplifier", "version": 1,
//    "identity": {"model", "masterVersion", "slaveVersion", "loaderMode",
//                 "flashVersion": [4]},
//    "live": {"settings": <scene settings>, "source", "mainVolume", "subVolume",
//             "mute", "ampMute", "speakerConfig", "inputThreshold"},
//    "scenes": [10 x {"settings": <scene settings>, "name": [16], "valid"}],
//    "currentScene": n,
//    "memory": [[address, data], ...]}
// <scene settings> = {"channels": [8 x {"highPass", "lowPass": {"type",
//   "frequency", "slope"}, "bands": [31 x {"frequency", "qInteger",
//   "qFraction", "gainInteger", "gainTenths"}], "delay": [3], "trim", "mute",
//   "phase", "type", "solo", "eqBypass"}], "mix": [9][8], "inputMixTrim":
//   [9][8][8], "linkMode", "linkPairCount", "linkPairs": [8][2], "lock"}.
// Every value is the wire value as a plain number (true/false as 1/0). The
// reader is strict: a missing key, a wrong type, an array of the wrong length
// or a number outside its field's range rejects the whole file.
namespace kavelo {

std::string AmplifierStateText(const AmplifierSnapshot& snapshot);

// Both return an empty text on success, otherwise why they failed. On failure
// `snapshot` is left as it was.
std::string ParseAmplifierState(const std::string& text, AmplifierSnapshot& snapshot);
std::string LoadAmplifierState(const std::string& path, AmplifierSnapshot& snapshot);

// Writes atomically (a temporary file in the same folder, then renamed over
// the old one), creating the folder when it is missing. Returns an empty text
// on success, otherwise why it failed; the old file is then untouched.
std::string SaveAmplifierState(const AmplifierSnapshot& snapshot, const std::string& path);

}  // namespace kavelo
