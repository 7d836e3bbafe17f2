// diff: two setups field by field, each a scene or whole-configuration profile
// or the amplifier's live state, as a table by output and band.
#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>

#include "CliArgs.h"
#include "CliCommands.h"
#include "CliProfileInput.h"
#include "CliReadBack.h"
#include "CliSession.h"
#include "CliStateDiff.h"

namespace kavelo::cli {

namespace {

// diff answers 0 (equal) and 1 (different) like diff(1); trouble is 2 or more,
// so a wrong command line is a refused input here.
int Trouble(CliContext& ctx, const std::string& error) {
    return Fail(ctx.err, kExitInput, "diff: " + error + " (see kavelo-cli --help)");
}

constexpr const char* kAmplifier = "amp";

struct Side {
    std::string name;  // the argument
    bool amplifier = false;
    bool whole = false;  // holds the stored scenes and their names
    WholeProfile settings;
};

int LoadFile(CliContext& ctx, Side& side) {
    side.whole = IsWholeProfilePath(side.name);
    return side.whole ? LoadWholeProfile(side.name, side.settings, ctx.err)
                      : LoadSceneProfile(side.name, side.settings.live, ctx.err);
}

// Reads the amplifier once for every side that names it; the stored scenes
// only when the other side has them to compare with.
int ReadAmplifier(CliContext& ctx, std::array<Side, 2>& sides) {
    const bool whole = std::any_of(sides.begin(), sides.end(),
                                   [](const Side& s) { return !s.amplifier && s.whole; });
    ControllerModel model;
    const int read = ReadAmplifierSettings(ctx, whole, model);
    if (read != kExitOk) return read;
    for (Side& side : sides) {
        if (!side.amplifier) continue;
        side.settings = model;
        side.whole = whole;
    }
    return kExitOk;
}

// A file compared with the amplifier as the amplifier would report it back.
WholeProfile AsReported(const WholeProfile& file) {
    WholeProfile w = file;
    w.live = AsReportedBack(w.live);
    for (DspState& scene : w.scenes) scene = AsReportedBack(scene);
    return w;
}

void Compare(const WholeProfile& a, const WholeProfile& b, bool scenes, bool subVolume,
             std::vector<FieldDifference>& rows) {
    CompareStates("live", a.live, b.live, true, rows);
    CompareUnwritten("live", a.live, b.live, subVolume, rows);
    if (!scenes) return;
    for (int k = 0; k < kSceneSlots; ++k) {
        const std::string where = "scene " + std::to_string(k + 1);
        CompareStates(where, a.scenes[k], b.scenes[k], false, rows);
        CompareUnwritten(where, a.scenes[k], b.scenes[k], false, rows);
    }
    CompareNames(a, b, rows);
}

bool SameField(const FieldDifference& x, const FieldDifference& y) {
    return x.where == y.where && x.output == y.output && x.band == y.band && x.field == y.field;
}

std::string ColumnName(const Side& side, const Side& other) {
    if (side.amplifier) return "amplifier";
    // UTF-8 both ways: a Windows narrow path would pass through the ANSI code page.
    const std::string own = std::filesystem::u8path(side.name).filename().u8string();
    const std::string theirs = std::filesystem::u8path(other.name).filename().u8string();
    return own == theirs || own.empty() ? side.name : own;
}

void PrintTable(std::ostream& out, const std::vector<FieldDifference>& rows,
                const std::array<std::string, 2>& names) {
    auto number = [](int i) { return i < 0 ? std::string("-") : std::to_string(i + 1); };
    std::vector<std::array<std::string, 6>> cells;
    cells.push_back({"settings", "output", "band", "field", names[0], names[1]});
    for (const FieldDifference& d : rows)
        cells.push_back({d.where, number(d.output), number(d.band), d.field, d.expected, d.actual});
    std::array<std::size_t, 6> width{};
    for (const auto& row : cells)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    for (const auto& row : cells) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            std::string cell = row[c];
            if (c + 1 < row.size()) cell.resize(width[c] + 2, ' ');
            line += cell;
        }
        out << line << '\n';
    }
}

}  // namespace

int RunDiff(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 2, 2, a, error)) return Trouble(ctx, error);
    std::array<Side, 2> sides;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        sides[i].name = a.positional[i];
        sides[i].amplifier = sides[i].name == kAmplifier;
        if (sides[i].amplifier) continue;
        const int loaded = LoadFile(ctx, sides[i]);
        if (loaded != kExitOk) return loaded;
    }
    if (sides[0].amplifier || sides[1].amplifier) {
        const int read = ReadAmplifier(ctx, sides);
        if (read != kExitOk) return read;
    }
    const bool withAmplifier = sides[0].amplifier || sides[1].amplifier;
    const bool scenes = sides[0].whole && sides[1].whole;
    std::vector<FieldDifference> rows;
    Compare(sides[0].settings, sides[1].settings, scenes, !withAmplifier, rows);
    if (withAmplifier && !(sides[0].amplifier && sides[1].amplifier)) {
        // A value the amplifier holds as the file's value passes through the
        // wire's encoding (a gain's tenths, a delay's microseconds): it counts as equal
        // either as written or as the amplifier reports a written value back.
        const bool fileFirst = sides[1].amplifier;
        const WholeProfile& file = fileFirst ? sides[0].settings : sides[1].settings;
        const WholeProfile& device = fileFirst ? sides[1].settings : sides[0].settings;
        std::vector<FieldDifference> encoded;
        if (fileFirst) {
            Compare(AsReported(file), device, scenes, false, encoded);
        } else {
            Compare(device, AsReported(file), scenes, false, encoded);
        }
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const FieldDifference& d) {
                                      return std::none_of(
                                          encoded.begin(), encoded.end(),
                                          [&](const FieldDifference& e) { return SameField(d, e); });
                                  }),
                   rows.end());
    }
    if (rows.empty()) return kExitOk;
    PrintTable(ctx.out, rows, {ColumnName(sides[0], sides[1]), ColumnName(sides[1], sides[0])});
    ctx.out << rows.size() << " field(s) differ\n";
    return 1;
}

}  // namespace kavelo::cli
