#pragma once

#include <string>
#include <vector>

#include "control/DspRecords.h"
#include "control/ProfileFiles.h"

// Comparing two sets of settings field by field: what a profile asked for with
// what the amplifier reports after it was written, or any two setups.
namespace kavelo::cli {

// `written` as the amplifier reports it back when it stored every value:
// EQ gain, delay and the main volume pass through their wire encodings (a Q
// is compared as it stands: the model keeps it as the amplifier reports it),
// filters through the model's validating setters, and a zero mix level of a
// routed input reads as 100.
DspState AsReportedBack(const DspState& written);

// One field that differs; values as text.
struct FieldDifference {
    std::string where;  // "live", "scene 3"
    int output = -1;    // 0-based, -1 for a field of no output
    int band = -1;      // 0-based, -1 for a field of no band
    std::string field;  // "gain", "high-pass frequency", "source 5 inputs"
    std::string expected;
    std::string actual;
};

// "output 2 band 5 gain", "main volume".
std::string FieldName(const FieldDifference& d);

// Every field the amplifier keeps that differs. Fields a profile write does
// not send (sub volume, link, lock) and those only the application shows
// (current channel, shown curves) are not compared; `withMain` adds the main
// volume and mute.
void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<FieldDifference>& out);
// The same as lines "<where>: <field>: file <x>, amplifier <y>".
void CompareStates(const std::string& where, const DspState& expected, const DspState& actual,
                   bool withMain, std::vector<std::string>& out);

// The fields a profile write does not send: link mode and lock, and with
// `withSubVolume` the sub volume (which the amplifier does not report).
void CompareUnwritten(const std::string& where, const DspState& expected, const DspState& actual,
                      bool withSubVolume, std::vector<FieldDifference>& out);

// One line per field the file sets that a profile write does not send (link
// mode, lock) where the amplifier holds another value: worth knowing, not a
// failure, as the application writes profiles the same way.
void NoteUnwritten(const std::string& where, const DspState& file, const DspState& device,
                   std::vector<std::string>& out);

// Names of slots 1 ... 10 that differ (where "scene k", field "name").
void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<FieldDifference>& out);
// The same as lines "scene <k> name: file "<x>", amplifier "<y>"".
void CompareNames(const WholeProfile& expected, const WholeProfile& actual,
                  std::vector<std::string>& out);

}  // namespace kavelo::cli
