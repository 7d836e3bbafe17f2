#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

#include "control/DspRecords.h"
#include "graph/ResponseCurve.h"

// Text forms kavelo-cli prints.
namespace kavelo::cli {

// A scene name as the amplifier reports it (code-page bytes, at most 16, not
// necessarily terminated), as printable text.
std::string DeviceNameText(const std::uint8_t* bytes, std::size_t size);

// A name typed on the command line (UTF-8) in the amplifier's 16-byte form,
// cut before a character that would not fit whole.
std::array<std::uint8_t, kSceneNameBytes> DeviceNameBytes(const std::string& utf8);

// One "frequency dB" line per point: aligned columns, or CSV with a header.
void PrintResponse(std::ostream& out, const ResponseCurve& curve, bool csv);

}  // namespace kavelo::cli
