// fw check and fw flash: upgrade files checked offline and written to the
// amplifier through the device link's upgrade engine.
#include "CliArgs.h"
#include "CliCommands.h"
#include "CliSession.h"
#include "base/BuildConstants.h"
#include "firmware/UpgradeImage.h"
#include "firmware/UpgradeTransfer.h"

namespace kavelo::cli {

namespace {

const char* KindText(UpgradeFileKind kind) {
    switch (kind) {
        case UpgradeFileKind::Bootloader:
            return "bootloader image";
        case UpgradeFileKind::DspFlash:
            return "DSP flash image";
        case UpgradeFileKind::Mcu:
            return "MCU application image";
        case UpgradeFileKind::Combined:
            return "combined MCU and DSP file";
        case UpgradeFileKind::Unknown:
            break;
    }
    return "unknown";
}

// Every check the upgrade would make before sending anything, without an
// amplifier: the parser the name selects, run as if one were connected.
int CheckFile(const std::string& path, UpgradeFileKind kind, UpgradeImages& images) {
    UpgradeParseContext ctx;
    ctx.modelId = static_cast<std::uint8_t>(MODEL_ID);
    ctx.deviceOpen = true;
    return ParseUpgradeFile(kind, images, ctx, path);
}

std::string RefusalText(const std::string& path, UpgradeFileKind kind, int result) {
    if (kind == UpgradeFileKind::Unknown) {
        return path +
               ": not an upgrade file name (one containing BL_UPG.BIN, FLASH_UPG.BIN, "
               "MCU_UPG.BIN or UPG_FW.bin)";
    }
    if (result == UPG_FILE_OPEN_FAIL) return path + ": cannot be opened";
    return path + ": " + KindText(kind) +
           " refused (size, kind, model or checksum does not match this amplifier)";
}

int Check(CliContext& ctx, const std::string& path) {
    const UpgradeFileKind kind = RecogniseUpgradeFile(path);
    UpgradeImages images;
    const int result = CheckFile(path, kind, images);
    if (result != UPG_FILE_VALID) {
        Fail(ctx.err, result, RefusalText(path, kind, result));
        return result;
    }
    ctx.out << path << ": valid " << KindText(kind);
    if (images.HasMcuImage()) ctx.out << ", MCU image " << images.mcuImage.size() << " bytes";
    if (images.HasDspImage()) ctx.out << ", DSP image " << images.dspImage.size() << " bytes";
    ctx.out << '\n';
    return UPG_FILE_VALID;
}

int Flash(CliContext& ctx, const std::string& path) {
    // Refuse a bad file before the amplifier is touched.
    const UpgradeFileKind kind = RecogniseUpgradeFile(path);
    UpgradeImages images;
    const int checked = CheckFile(path, kind, images);
    if (checked != UPG_FILE_VALID)
        return Fail(ctx.err, kExitInput, RefusalText(path, kind, checked));

    CliSession s(ctx.options, ctx.env, ctx.err);
    const int connected = s.Connect(CliSession::Need::AnyMode);
    if (connected != kExitOk) return connected;
    DeviceLink& link = s.Link();
    const int started = link.UpgradeStart(path);
    switch (started) {
        case UPG_FILE_VALID:
            break;
        case UPG_FILE_OPEN_FAIL:
        case UPG_FILE_INVALID:
            return Fail(ctx.err, kExitInput, RefusalText(path, kind, started));
        case UPG_CONNECT_FAIL:
            return Fail(ctx.err, kExitDevice, "the amplifier did not come back in upgrade mode");
        default:
            return Fail(ctx.err, kExitRefused, "the amplifier refused to start the upgrade");
    }
    for (;;) {
        const std::uint8_t step = link.UpgradeStep();
        if (step == kUpgradeStepDone) break;
        if (step == kUpgradeStepFailed) {
            s.ProgressDone();
            if (!link.IsDeviceOpen()) {
                return Fail(ctx.err, kExitDevice, "the amplifier went away during the upgrade");
            }
            return Fail(ctx.err, kExitRefused, "the amplifier did not accept the upgrade");
        }
        s.Progress("flashing", step, 100);
    }
    s.Progress("flashing", 100, 100);
    s.ProgressDone();
    ctx.out << "firmware upgrade complete (" << KindText(kind) << "); the amplifier restarts\n";
    return kExitOk;
}

}  // namespace

int RunFirmware(CliContext& ctx, const std::vector<std::string>& args) {
    CommandArgs a;
    std::string error;
    if (!ParseCommandArgs(args, {}, {}, 2, 2, a, error) ||
        (a.positional[0] != "check" && a.positional[0] != "flash")) {
        if (error.empty()) error = "the action is check or flash";
        return Fail(ctx.err, kExitUsage, "fw: " + error + " (see kavelo-cli --help)");
    }
    return a.positional[0] == "check" ? Check(ctx, a.positional[1]) : Flash(ctx, a.positional[1]);
}

}  // namespace kavelo::cli
