// dump and apply: the live state (and the stored scenes) read back into a
// profile, and profiles written into the amplifier and checked.
#include "CliArgs.h"
#include "CliCommands.h"
#include "CliProfileInput.h"
#include "CliReadBack.h"
#include "CliSession.h"
#include "CliStateDiff.h"
#include "control/ProfileTransfer.h"
#include "control/ReadBack.h"

namespace kavelo::cli {

namespace {

int Usage(CliContext& ctx, const std::string& command, const std::string& error) {
    return Fail(ctx.err, kExitUsage, command + ": " + error + " (see kavelo-cli --help)");
}

int WriteOutput(CliContext& ctx, const std::string* path, const std::string& text, bool whole,
                const ControllerModel& model) {
    if (!path || *path == "-") {
        ctx.out << text;
        return kExitOk;
    }
    const ProfileResult r =
        whole ? WriteWholeProfile(model, *path) : WriteSceneProfile(model.live, *path);
    if (r != ProfileResult::Ok) return Fail(ctx.err, kExitInput, *path + ": cannot be written");
    return kExitOk;
}

}  // namespace

int RunDump(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {"-o"}, {"--whole"}, 0, 0, a, error)) {
        return Usage(ctx, "dump", error);
    }
    const bool whole = a.Has("--whole");
    ControllerModel model;
    const int read = ReadAmplifierSettings(ctx, whole, model);
    if (read != kExitOk) return read;
    const std::string text = whole ? WholeProfileText(model) : SceneProfileText(model.live);
    return WriteOutput(ctx, a.Value("-o"), text, whole, model);
}

int RunApply(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 1, 1, a, error)) return Usage(ctx, "apply", error);
    const std::string& path = a.positional[0];
    const bool whole = IsWholeProfilePath(path);
    WholeProfile file;
    const int loaded =
        whole ? LoadWholeProfile(path, file, ctx.err) : LoadSceneProfile(path, file.live, ctx.err);
    if (loaded != kExitOk) return loaded;

    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    DeviceLink& link = s.Link();
    s.Scenes().Take();
    const auto progress = [&](int done, int total) { s.Progress("writing", done, total); };
    const TransferResult written = whole ? SetReadWholeProfileToMCU(link, file, progress)
                                         : SetReadCurProfileToMCU(link, file.live, progress);
    s.ProgressDone();
    if (!written.ok()) {
        return Fail(ctx.err, kExitDevice,
                    std::to_string(written.failed) + " of " + std::to_string(written.commands) +
                        " commands got no reply; the amplifier holds part of the profile");
    }
    std::vector<std::string> differences;
    if (whole) {
        int saved = 0;
        for (const DeviceMessage& m : s.Scenes().Take()) saved += m.id == WM_READ_SCENE_VALUE;
        if (saved < kSceneSlots) {
            differences.push_back(std::to_string(kSceneSlots - saved) +
                                  " scene(s) were not stored by the amplifier");
        }
    }

    ModelReceiver receiver(link);
    const int read = whole ? ReadWhole(s, "checking") : ReadLive(s, "checking");
    if (read != kExitOk) return read;
    const ControllerModel device = receiver.Model();
    std::vector<std::string> notes;
    CompareStates("live", AsReportedBack(file.live), device.live, true, differences);
    NoteUnwritten("live", file.live, device.live, notes);
    if (whole) {
        for (int k = 0; k < kSceneSlots; ++k) {
            const std::string where = "scene " + std::to_string(k + 1);
            CompareStates(where, AsReportedBack(file.scenes[k]), device.scenes[k], false,
                          differences);
            NoteUnwritten(where, file.scenes[k], device.scenes[k], notes);
        }
        CompareNames(file, device, differences);
    }
    for (const std::string& line : notes) ctx.out << "note: " << line << '\n';
    for (const std::string& line : differences) ctx.out << line << '\n';
    if (!differences.empty()) {
        return Fail(ctx.err, kExitRefused,
                    std::to_string(differences.size()) +
                        " field(s) differ from the profile after writing it");
    }
    ctx.out << "applied " << path << "; every field reads back as written\n";
    return kExitOk;
}

}  // namespace kavelo::cli
