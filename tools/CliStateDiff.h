#pragma once

#include <string>
#include <vector>

#include "control/DspRecords.h"
#include "control/ProfileFiles.h"

// Comparing what a profile asked for with what the amplifier reports after
// it was written.
namespace kavelo::cli {

// `written` as the amplifier reports it back when it stored every value:
// EQ gain, Q, delay and the main volume pass through their wire encodings,
// filters through the model's validating setters, and a zero mix level of a
// routed input reads as 100.
DspState AsReportedBack(const DspState& written);

// One line per field the amplifier keeps that differs, each starting with
// `where` ("live", "scene 3"). Fields a profile write does not send (sub
// volume, link, lock) and those only the application shows (current channel,
// shown curves) are not compared; `withMain` adds the main volume and mute.
void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<std::string>& out);

// One line per field the file sets that a profile write does not send (link
// mode, lock) where the amplifier holds another value: worth knowing, not a
// failure, as the application writes profiles the same way.
void NoteUnwritten(const std::string& where, const DspState& file, const DspState& device,
                   std::vector<std::string>& out);

// Names of slots 1 ... 10 that differ.
void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<std::string>& out);

}  // namespace kavelo::cli
