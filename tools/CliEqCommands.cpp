// eq import and eq export: one output's EQ from and to the filter lists of REW
// and Equalizer APO, on the amplifier's live settings.
#include <algorithm>
#include <variant>

#include "CliArgs.h"
#include "CliCommands.h"
#include "CliReadBack.h"
#include "CliSession.h"
#include "CliStateDiff.h"
#include "base/BuildConstants.h"
#include "control/AtomicFile.h"
#include "control/EqOperations.h"
#include "control/FilterText.h"
#include "control/TextLines.h"

namespace kavelo::cli {

namespace {

// Filter lists are a few kilobytes; anything near this is not one.
constexpr std::size_t kMaxFilterFileBytes = 1u << 20;

int Usage(CliContext& ctx, const std::string& error) {
    return Fail(ctx.err, kExitUsage, "eq: " + error + " (see kavelo-cli --help)");
}

bool ReadChannel(const CommandArgs& a, int& channel) {
    const std::string* text = a.Value("--channel");
    return text && ParseIntInRange(*text, 1, kOutputChannels, channel);
}

std::string OutputTitle(int channel) {
    return std::string(MODEL_NAME) + " output " + std::to_string(channel);
}

// What the amplifier reports after `commands` when it reported `before`: the
// bands and bypass flags sent, as their wire encodings carry them back.
DspState ExpectedAfter(const DspState& before, const DspCommands& commands) {
    DspState sent = before;
    for (const DspCommand& c : commands) {
        if (const auto* eq = std::get_if<EqCmd>(&c)) {
            sent.channels[eq->channel].bands[eq->band] = {eq->gain, eq->q, eq->freq, 1};
        } else if (const auto* p = std::get_if<PeqBypassCmd>(&c)) {
            sent.channels[p->channel].bypass = static_cast<std::uint8_t>(p->bypass);
        }
    }
    const DspState reported = AsReportedBack(sent);
    DspState expected = before;
    for (const DspCommand& c : commands) {
        if (const auto* eq = std::get_if<EqCmd>(&c)) {
            expected.channels[eq->channel].bands[eq->band] =
                reported.channels[eq->channel].bands[eq->band];
        } else if (const auto* p = std::get_if<PeqBypassCmd>(&c)) {
            expected.channels[p->channel].bypass = reported.channels[p->channel].bypass;
        }
    }
    return expected;
}

int Import(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    int channel = 0;
    if (!ParseCommandArgs(args, {"--channel"}, {}, 1, 1, a, error)) return Usage(ctx, error);
    if (!ReadChannel(a, channel)) return Usage(ctx, "--channel N with an output 1 ... 8 is needed");
    const std::string& path = a.positional[0];
    std::string text;
    if (!ReadFileCapped(path, kMaxFilterFileBytes, text)) {
        return Fail(ctx.err, kExitInput, path + ": cannot be read as a filter list");
    }

    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    ModelReceiver receiver(s.Link());
    const int read = ReadLive(s, "reading");
    if (read != kExitOk) return read;
    const DspState before = receiver.Model().live;
    DspState live = before;
    live.currChannel = channel - 1;

    FilterLimits limits;
    limits.bands = std::clamp(live.channels[channel - 1].eqSize, 0, kEqBands);
    const FilterImport parsed = ParseFilterText(text, limits);
    for (const FilterMessage& m : parsed.messages)
        ctx.out << path << ": " << DescribeFilterMessage(m, limits) << '\n';
    if (parsed.filters.empty()) {
        return Fail(ctx.err, kExitInput, path + ": no filter the amplifier can take; nothing sent");
    }
    std::vector<EqBand> bands;
    for (const ImportedFilter& f : parsed.filters) bands.push_back({f.gain, f.q, f.freq, 1});
    const OutputEdit edit = ReplaceBands(live, bands);

    const int missedBefore = s.MissedReplies();
    int unsent = 0;
    for (const DspCommand& c : edit.commands) unsent += SendDspCommand(s.Link(), c, true) ? 0 : 1;
    const int missed = s.MissedReplies() - missedBefore;
    if (unsent + missed > 0) {
        return Fail(ctx.err, kExitDevice,
                    std::to_string(unsent + missed) + " of " +
                        std::to_string(edit.commands.size()) +
                        " commands got no reply; the output holds part of the filters");
    }
    const int checked = ReadLive(s, "checking");
    if (checked != kExitOk) return checked;
    std::vector<std::string> differences;
    CompareStates("live", ExpectedAfter(before, edit.commands), receiver.Model().live, false,
                  differences);
    for (const std::string& line : differences) ctx.out << line << '\n';
    if (!differences.empty()) {
        return Fail(ctx.err, kExitRefused,
                    std::to_string(differences.size()) + " field(s) differ after the import");
    }
    ctx.out << "imported " << parsed.filters.size() << " filter(s) into output " << channel
            << " (" << edit.commands.size() << " commands)\n";
    return kExitOk;
}

int Export(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    int channel = 0;
    if (!ParseCommandArgs(args, {"--channel", "-o", "--format"}, {}, 0, 0, a, error))
        return Usage(ctx, error);
    if (!ReadChannel(a, channel)) return Usage(ctx, "--channel N with an output 1 ... 8 is needed");
    FilterTextFormat format = FilterTextFormat::Rew;
    if (const std::string* f = a.Value("--format")) {
        if (*f == "apo") {
            format = FilterTextFormat::Apo;
        } else if (*f != "rew") {
            return Usage(ctx, "--format is rew or apo");
        }
    }

    ControllerModel model;
    const int read = ReadAmplifierSettings(ctx, false, model);
    if (read != kExitOk) return read;
    const std::string text =
        WriteFilterText(model.live.channels[channel - 1], format, OutputTitle(channel));
    const std::string* path = a.Value("-o");
    if (!path || *path == "-") {
        ctx.out << text;
        return kExitOk;
    }
    if (!WriteFileAtomically(*path, text)) return Fail(ctx.err, kExitInput, *path + ": cannot be written");
    return kExitOk;
}

}  // namespace

int RunEq(CliContext& ctx, const std::vector<std::string>& args) {
    if (args.empty()) return Usage(ctx, "import or export is needed");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "import") return Import(ctx, rest);
    if (args[0] == "export") return Export(ctx, rest);
    return Usage(ctx, "unknown action " + args[0]);
}

}  // namespace kavelo::cli
