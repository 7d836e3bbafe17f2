// info, scene, source, volume and mem: short exchanges with the amplifier.
#include <cstdio>
#include <optional>
#include <variant>

#include "CliArgs.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSession.h"
#include "base/BuildConstants.h"
#include "control/Conversions.h"
#include "control/SpeakerRoles.h"
#include "control/ParseNumber.h"

namespace kavelo::cli {

namespace {

constexpr int kStoredScenes = 10;

// The first message with this id (and, when given, wParam) among `messages`.
const DeviceMessage* FindMessage(const std::vector<DeviceMessage>& messages, int id,
                                 std::optional<std::uintptr_t> wParam = std::nullopt) {
    for (const DeviceMessage& m : messages) {
        if (m.id == id && (!wParam || m.wParam == *wParam)) return &m;
    }
    return nullptr;
}

// A copy of the first such message's record: the messages are usually a
// temporary taken from a sink.
template <typename T>
std::optional<T> FindRecord(const std::vector<DeviceMessage>& messages, int id,
                            std::optional<std::uintptr_t> wParam = std::nullopt) {
    if (const DeviceMessage* m = FindMessage(messages, id, wParam)) {
        if (const T* record = std::get_if<T>(&m->lParam)) return *record;
    }
    return std::nullopt;
}

int UsageError(CliContext& ctx, const std::string& message) {
    return Fail(ctx.err, kExitUsage, message + " (see kavelo-cli --help)");
}

int NoAnswer(CliContext& ctx, const std::string& what) {
    return Fail(ctx.err, kExitDevice, "the amplifier did not answer " + what);
}

// The valid-scene set, or nothing when the amplifier does not answer. Bit
// k - 1 stands for stored scene k.
std::optional<int> ReadValidScenes(CliSession& s) {
    s.Main().Take();
    if (!s.Link().Get_Scene_Valid()) return std::nullopt;
    const auto valid = FindRecord<SceneValidRecord>(s.Main().Take(), WM_READ_SCENE_VALUE, 15);
    if (!valid) return std::nullopt;
    return valid->valid;
}

}  // namespace

int RunInfo(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 0, 0, a, error)) return UsageError(ctx, "info: " + error);
    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::AnyMode);
    if (connected != kExitOk) return connected;

    DeviceLink& link = s.Link();
    const auto connectMessages = s.Main().Take();
    const auto hand = FindRecord<McuHandshakeRecord>(connectMessages, WM_READ_MCU_VALUE, 8);
    const bool loader = !link.McuNormalMode;
    ctx.out << "model: " << (loader ? std::string("unknown") : std::to_string(link.DeviceModel))
            << " (" << MODEL_NAME << " is " << MODEL_ID << ")\n";
    if (hand) {
        ctx.out << "firmware: " << hand->masterVersion << '.' << hand->slaveVersion
                << " (this tool expects " << INNER_FW.major << '.' << INNER_FW.minor << ")\n";
    } else {
        ctx.out << "firmware: not reported\n";
    }
    if (const auto flash =
            FindRecord<McuFlashVersionRecord>(connectMessages, WM_READ_MCU_VALUE, 11)) {
        char text[32];
        std::snprintf(text, sizeof text, "%02d%02d%02d%02d", flash->version[0], flash->version[1],
                      flash->version[2], flash->version[3]);
        ctx.out << "dsp flash version: " << text << '\n';
    }
    ctx.out << "loader mode: " << (loader ? "yes" : "no") << '\n';
    if (loader) return kExitOk;  // the loader answers nothing else

    const std::optional<int> valid = ReadValidScenes(s);
    if (!valid) return NoAnswer(ctx, "the valid-scene request");
    s.Scenes().Take();
    if (link.Get_Scene_ID()) {
        if (const auto id = FindRecord<std::int64_t>(s.Scenes().Take(), WM_SCENE_ID)) {
            ctx.out << "current scene: " << *id << '\n';
        }
    }
    std::string list;
    for (int k = 1; k <= kStoredScenes; ++k) {
        if (*valid & (1 << (k - 1))) list += (list.empty() ? "" : " ") + std::to_string(k);
    }
    ctx.out << "valid scenes: " << (list.empty() ? "none" : list) << '\n';
    for (int k = 1; k <= kStoredScenes; ++k) {
        if (!link.Get_Scene_Name(static_cast<std::uint8_t>(k))) {
            return NoAnswer(ctx, "the name request of scene " + std::to_string(k));
        }
        const auto name = FindRecord<SceneNameRecord>(s.Main().Take(), WM_READ_SCENE_VALUE, 11);
        const std::string text = name ? DeviceNameText(name->name, sizeof name->name) : "";
        ctx.out << "scene " << k << ": " << ((*valid & (1 << (k - 1))) ? "stored" : "empty")
                << (text.empty() ? "" : ", \"" + text + "\"") << '\n';
    }
    return kExitOk;
}

int RunScene(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {"--name"}, {}, 2, 2, a, error)) {
        return UsageError(ctx, "scene: " + error);
    }
    const std::string& action = a.positional[0];
    int scene = 0;
    if (action != "load" && action != "save" && action != "delete") {
        return UsageError(ctx, "scene: the action is load, save or delete, not " + action);
    }
    if (!ParseIntInRange(a.positional[1], 1, kStoredScenes, scene)) {
        return UsageError(ctx, "scene: the scene number is 1 ... 10");
    }
    const std::string* name = a.Value("--name");
    if (name && action != "save") return UsageError(ctx, "scene: --name belongs to save");

    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    DeviceLink& link = s.Link();
    const auto k = static_cast<std::uint8_t>(scene);
    const std::string label = "scene " + std::to_string(scene);

    if (action == "load") {
        const std::optional<int> valid = ReadValidScenes(s);
        if (!valid) return NoAnswer(ctx, "the valid-scene request");
        if (!(*valid & (1 << (scene - 1)))) {
            return Fail(ctx.err, kExitRefused, label + " holds no stored settings");
        }
        if (!link.ReadScene(k, 0)) return NoAnswer(ctx, "the load of " + label);
        ctx.out << "loaded " << label << " into the live settings\n";
        return kExitOk;
    }
    if (action == "save") {
        if (name) {
            const auto bytes = DeviceNameBytes(*name);
            if (!link.SetSceneName(k, std::vector<std::uint8_t>(bytes.begin(), bytes.end()))) {
                return NoAnswer(ctx, "the name of " + label);
            }
        }
        s.Scenes().Take();
        if (!link.SaveScene(k, 0)) return NoAnswer(ctx, "the save of " + label);
        if (!FindMessage(s.Scenes().Take(), WM_READ_SCENE_VALUE)) {
            return Fail(ctx.err, kExitRefused, "the amplifier refused to save " + label);
        }
        ctx.out << "saved the live settings as " << label << '\n';
        return kExitOk;
    }
    s.Scenes().Take();
    if (!link.DeleteScene(k)) return NoAnswer(ctx, "the delete of " + label);
    if (!FindMessage(s.Scenes().Take(), WM_SCENE_DELETED)) {
        return Fail(ctx.err, kExitRefused, "the amplifier refused to delete " + label);
    }
    ctx.out << "deleted " << label << '\n';
    return kExitOk;
}

int RunSource(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 1, 1, a, error)) return UsageError(ctx, "source: " + error);
    int index = 0;
    if (!ParseIntInRange(a.positional[0], 0, 8, index)) {
        return UsageError(ctx, "source: the source number is 0 ... 8");
    }
    const InputSourceInfo* source = InputSource(index);
    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    DeviceLink& link = s.Link();
    if (!link.Source_Switch_Ctrl(static_cast<std::uint8_t>(source->deviceCode), true)) {
        return NoAnswer(ctx, "the source switch");
    }
    // The amplifier's own report tells whether it switched.
    s.Main().Take();
    if (!link.Get_Source()) return NoAnswer(ctx, "the source request");
    const auto code = FindRecord<std::int64_t>(s.Main().Take(), WM_READ_DSP_VALUE, 1);
    if (!code) return NoAnswer(ctx, "the source request");
    if (*code != source->deviceCode) {
        const int now = InputSourceFromDeviceCode(static_cast<int>(*code));
        return Fail(ctx.err, kExitRefused,
                    "the amplifier stayed on source " + std::to_string(now) + " (" +
                        InputSource(now)->itemName + ")");
    }
    ctx.out << "source " << index << " (" << source->itemName << ")\n";
    return kExitOk;
}

int RunVolume(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 1, 1, a, error)) return UsageError(ctx, "volume: " + error);
    int position = 0;
    if (!ParseIntInRange(a.positional[0], 0, kMaxMainVolume, position)) {
        return UsageError(ctx, "volume: the position is 0 ... 40");
    }
    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    if (!s.Link().Main_Volume_Ctrl(static_cast<float>(MainVolumeSent(position)), true)) {
        return NoAnswer(ctx, "the volume change");
    }
    char text[64];
    if (position == 0) {
        std::snprintf(text, sizeof text, "main volume 0 (off)\n");
    } else {
        std::snprintf(text, sizeof text, "main volume %d (%.1f dB)\n", position,
                      MainVolumeDb(position));
    }
    ctx.out << text;
    return kExitOk;
}

int RunMem(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 2, 3, a, error)) return UsageError(ctx, "mem: " + error);
    const std::string& action = a.positional[0];
    const bool write = action == "write";
    if ((action != "read" && !write) || a.positional.size() != (write ? 3u : 2u)) {
        return UsageError(ctx, "mem: use 'mem read ADDR' or 'mem write ADDR VALUE'");
    }
    bool overflow = false;
    const std::uint32_t address = ParseNumber(a.positional[1], &overflow);
    if (overflow) return UsageError(ctx, "mem: the address does not fit 32 bits");
    std::uint32_t value = 0;
    if (write) {
        value = ParseNumber(a.positional[2], &overflow);
        if (overflow) return UsageError(ctx, "mem: the value does not fit 32 bits");
    }

    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::Application);
    if (connected != kExitOk) return connected;
    DeviceLink& link = s.Link();
    if (write && !link.Set_MemData(address, value, true)) return NoAnswer(ctx, "the memory write");
    s.Memory().Take();
    if (!link.Get_MemData(address)) return NoAnswer(ctx, "the memory read");
    const auto word = FindRecord<DspMemRecord>(s.Memory().Take(), WM_READ_MEM_VALUE);
    if (!word || word->address != address) return NoAnswer(ctx, "the memory read");
    char text[64];
    std::snprintf(text, sizeof text, "0x%08x: 0x%08x\n", word->address, word->data);
    if (write && word->data != value) {
        ctx.out << text;
        char why[96];
        std::snprintf(why, sizeof why, "the amplifier kept 0x%08x at 0x%08x instead of 0x%08x",
                      word->data, address, value);
        return Fail(ctx.err, kExitRefused, why);
    }
    ctx.out << text;
    return kExitOk;
}

}  // namespace kavelo::cli
