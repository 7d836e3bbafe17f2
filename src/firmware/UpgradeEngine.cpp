#include "firmware/UpgradeEngine.h"

#include <cerrno>

#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

namespace {

void LogReport(const std::vector<std::uint8_t>& report) {
    DeviceLink::LogDateTime();
    LogPrintA("has send out %d dtata... \n", static_cast<int>(report.size()));
    LogPrintA("data return from devices is:\n");
    LogTimestampEnabled = false;
    for (std::uint8_t b : report) LogPrintA("%02X ", b);
    LogPrintA("\n\r");
    LogTimestampEnabled = true;
}

struct KindCommands {
    std::uint8_t cls;
    std::uint8_t start;
    std::uint8_t data;
    std::uint8_t finish;
    const char* startName;
    const char* finishedText;
};

KindCommands CommandsFor(std::uint8_t device) {
    switch (device) {
        case UPG_DEVICE_BOOTLOADER:
            return {kUpgClassMcu,       kMcuSubBLUpgStart, kMcuSubBLUpgData,
                    kMcuSubBLUpgFinish, "MCUUpgBLStart",   "upgrade mcu bootloader finished!\n"};
        case UPG_DEVICE_DSP_FLASH:
            return {kUpgClassFlash,     kFlashSubUpgStart, kFlashSubUpgData,
                    kFlashSubUpgFinish, "FlashUpgStart",   "upgrade dsp finished!\n"};
        default:
            return {kUpgClassMcu,     kMcuSubUpgStart, kMcuSubUpgData,
                    kMcuSubUpgFinish, "MCUUpgStart",   "upgrade mcu finished!\n"};
    }
}

}  // namespace

bool UpgradeEngine::SendAndRead(UpgradeLinkPort& link, std::uint8_t cmd, std::uint8_t subcmd,
                                const std::uint8_t* payload, std::uint8_t len,
                                std::vector<std::uint8_t>& report) {
    bool written = false;
    link.Exchange(cmd, subcmd, payload, len, mTiming.replyReadMs, report, &written);
    return written;
}

void UpgradeEngine::Abandon(UpgradeLinkPort& link) {
    mImages.FreeAll();
    link.SetUpgradeState(UPG_IDLE);
    link.SetAckWait(ACK_WAIT_CLOSED);
}

int UpgradeEngine::Start(UpgradeLinkPort& link, const std::string& path) {
    LogPrintA("UpgradeStart filename\n");
    link.SetAckWait(ACK_WAIT_NONE);
    mSilentReads = 0;
    mUnreadyReports = 0;
    mLastBlock = UpgradeBlock{};

    const UpgradeFileKind kind = RecogniseUpgradeFile(path);
    if (kind == UpgradeFileKind::Unknown) {
        LogPrintA("UpgradeStart UPG_FILE_INVALID\n");
        Abandon(link);
        return UPG_FILE_INVALID;
    }
    UpgradeParseContext ctx;
    ctx.modelId = link.ModelId();
    ctx.deviceOpen = link.IsDeviceOpen();
    ctx.emptyReceiveRing = [&link] { link.EmptyReceiveRing(); };
    const int rc = ParseUpgradeFile(kind, mImages, ctx, path);
    LogPrintA("Parsing return 0x%0x\n", static_cast<unsigned>(rc));
    if (rc != UPG_FILE_VALID) {
        // A refused file must not leave the link believing an upgrade runs.
        Abandon(link);
        return rc;
    }
    link.SetUpgradeState(mImages.statusAfterParse);

    switch (SendEnter(link)) {
        case EnterResult::Sent:
            break;
        case EnterResult::WriteFailed:
            LogPrintA("UpgradeStart enter command could not be written: UPG_CONNECT_FAIL\n");
            Abandon(link);
            return UPG_CONNECT_FAIL;
        case EnterResult::UnknownKind:
            Abandon(link);
            return UPG_REFUSED;
    }
    if (link.UpgradeState() != UPG_START) {
        LogPrintA("UpgradeStart upgrade mode not acknowledged: UPG_REFUSED\n");
        Abandon(link);
        return UPG_REFUSED;
    }
    if (link.IsMcuNormalMode() && mImages.upg_device != UPG_DEVICE_BOOTLOADER) Reconnect(link);

    if (!link.IsDeviceOpen()) {
        LogPrintA("UpgradeStart Device not Connected\n");
        Abandon(link);
        LogPrintA("UpgradeStart UPG_CONNECT_FAIL\n");
        return UPG_CONNECT_FAIL;
    }
    LogPrintA("UpgradeStart Device Connected\n");
    link.EmptyReceiveRing();
    const int result = SendStart(link);
    LogPrintA("UpgradeStart %s return 0x%0x\n", CommandsFor(mImages.upg_device).startName,
              static_cast<unsigned>(result));
    return result;
}

UpgradeEngine::EnterResult UpgradeEngine::SendEnter(UpgradeLinkPort& link) {
    std::vector<std::uint8_t> report;
    std::uint8_t subcmd = kMcuSubEnterUpg;
    switch (mImages.upg_device) {
        case UPG_DEVICE_BOOTLOADER:
            subcmd = kMcuSubEnterBLUpg;
            break;
        case UPG_DEVICE_MCU:
        case UPG_DEVICE_DSP_FLASH:
            LogPrintA("MCU_Enter_Upg_Mode\n");
            break;
        default:
            LogPrintA("unknown upg_device: 0x%0x\n", static_cast<unsigned>(mImages.upg_device));
            return EnterResult::UnknownKind;
    }
    return SendAndRead(link, kUpgClassMcu, subcmd, nullptr, 0, report) ? EnterResult::Sent
                                                                       : EnterResult::WriteFailed;
}

void UpgradeEngine::Reconnect(UpgradeLinkPort& link) {
    // The amplifier restarts into its loader and enumerates again.
    link.CloseDeviceQuietly();
    link.SleepMs(mTiming.restartWaitMs);
    for (int attempt = 0; attempt < mTiming.reopenAttempts; ++attempt) {
        if (attempt > 0) link.SleepMs(mTiming.reopenIntervalMs);
        link.OpenDevice();
        if (link.IsDeviceOpen()) return;
    }
}

int UpgradeEngine::SendStart(UpgradeLinkPort& link) {
    const KindCommands cmds = CommandsFor(mImages.upg_device);
    const auto& param =
        mImages.upg_device == UPG_DEVICE_DSP_FLASH ? mImages.dspStartParam : mImages.mcuStartParam;
    std::vector<std::uint8_t> report;
    const bool written = SendAndRead(link, cmds.cls, cmds.start, param.data(),
                                     static_cast<std::uint8_t>(param.size()), report);
    if (!written) {
        // The amplifier vanished between reconnecting and starting.
        LogPrintA("UpgradeStart %s could not be written: UPG_CONNECT_FAIL\n", cmds.startName);
        Abandon(link);
        return UPG_CONNECT_FAIL;
    }
    // A start that is neither acknowledged nor refused would leave the
    // transfer waiting for ever: read a few more times, then give up.
    for (int reads = 1; link.UpgradeState() == UPG_START && reads < mTiming.maxAckReadTimeouts &&
                        link.IsDeviceOpen();
         ++reads)
        link.ReadReply(mTiming.replyReadMs, report);

    const std::int32_t state = link.UpgradeState();
    if (state == UPG_SEND_BIN_DATA) {
        link.SetAckWait(ACK_WAIT_NONE);
        return UPG_FILE_VALID;
    }
    if (state != UPG_FAIL) LogPrintA("UpgradeStart %s not acknowledged\n", cmds.startName);
    Abandon(link);
    return UPG_REFUSED;
}

std::uint8_t UpgradeEngine::Step(UpgradeLinkPort& link) {
    if (link.AckWait() == ACK_WAIT_BLOCK_SENT) {
        link.SetAckWait(ACK_WAIT_READING);
        return UpgradeProgress(mImages);
    }
    if (link.AckWait() == ACK_WAIT_READING) {
        ReadAck(link);
        return UpgradeProgress(mImages);
    }
    switch (link.UpgradeState()) {
        case UPG_SEND_BIN_DATA:
            SendNext(link);
            return UpgradeProgress(mImages);
        case UPG_FINISH:
            return End(link, true);
        case UPG_FAIL:
            return End(link, false);
        default:
            return UpgradeProgress(mImages);
    }
}

void UpgradeEngine::ReadAck(UpgradeLinkPort& link) {
    if (!link.IsDeviceOpen()) {
        link.SetAckWait(ACK_WAIT_CLOSED);
        link.SetUpgradeState(UPG_FAIL);
        return;
    }
    DeviceLink::LogDateTime();
    LogPrintA("begain to read data...\n");
    std::vector<std::uint8_t> report;
    if (link.ReadReply(mTiming.replyReadMs, report)) {
        mSilentReads = 0;
        LogReport(report);
        if (link.UpgradeState() != UPG_WAITING_BIN_DATA_ACK) {
            link.SetAckWait(ACK_WAIT_NONE);
            return;
        }
        // ACK_NOT_READY (or an unrelated report) keeps us waiting for this
        // block, but an amplifier that never gets ready must not hold the
        // transfer for ever.
        if (++mUnreadyReports >= mTiming.maxUnreadyReports) {
            LogPrintA(
                "upgrade failed: block at offset 0x%x (%d bytes) not acknowledged after %d "
                "reports\n",
                static_cast<unsigned>(mLastBlock.offset), static_cast<int>(mLastBlock.size),
                mUnreadyReports);
            link.SetAckWait(ACK_WAIT_CLOSED);
            link.SetUpgradeState(UPG_FAIL);
        }
        return;
    }
    DeviceLink::LogDateTime();
    LogPrintA("read data error! %d\n", errno);
    if (link.UpgradeState() != UPG_WAITING_BIN_DATA_ACK) {
        // Another reader took this block's acknowledgement: nothing is late.
        mSilentReads = 0;
        link.SetAckWait(ACK_WAIT_NONE);
        return;
    }
    if (++mSilentReads >= mTiming.maxAckReadTimeouts) {
        LogPrintA(
            "upgrade failed: block at offset 0x%x (%d bytes) not acknowledged after %d "
            "reads\n",
            static_cast<unsigned>(mLastBlock.offset), static_cast<int>(mLastBlock.size),
            mSilentReads);
        link.SetAckWait(ACK_WAIT_CLOSED);
        link.SetUpgradeState(UPG_FAIL);
    }
}

void UpgradeEngine::SendNext(UpgradeLinkPort& link) {
    if (!link.IsDeviceOpen()) {
        link.SetAckWait(ACK_WAIT_CLOSED);
        link.SetUpgradeState(UPG_FAIL);
        return;
    }
    const KindCommands cmds = CommandsFor(mImages.upg_device);
    const bool dsp = mImages.upg_device == UPG_DEVICE_DSP_FLASH;
    UpgradeBlock block;
    if (dsp ? TakeNextDspBlock(mImages, &block) : TakeNextMcuBlock(mImages, &block)) {
        bool written;
        if (dsp) {
            const std::vector<std::uint8_t> payload = DspBlockPayload(block);
            written = link.SendSet(cmds.cls, cmds.data, payload.data(),
                                   static_cast<std::uint8_t>(payload.size()));
            DeviceLink::LogDateTime();
            LogPrintA("Total file len %ld; current read pos: %ld;  has read len %ld.\n",
                      static_cast<long>(mImages.dspImage.size()), static_cast<long>(block.size),
                      static_cast<long>(mImages.dspSent));
        } else {
            const auto payload = McuBlockPayload(block);
            written = link.SendSet(cmds.cls, cmds.data, payload.data(),
                                   static_cast<std::uint8_t>(payload.size()));
        }
        mLastBlock = block;
        mSilentReads = 0;
        mUnreadyReports = 0;
        if (!written) {
            // Waiting for the acknowledgement of a block that never left
            // would only end in time-outs.
            LogPrintA("upgrade failed: block at offset 0x%x (%d bytes) could not be written\n",
                      static_cast<unsigned>(block.offset), static_cast<int>(block.size));
            link.SetAckWait(ACK_WAIT_CLOSED);
            link.SetUpgradeState(UPG_FAIL);
            return;
        }
        link.SetUpgradeState(UPG_WAITING_BIN_DATA_ACK);
        link.SetAckWait(ACK_WAIT_BLOCK_SENT);
        return;
    }
    const bool written = link.SendSet(cmds.cls, cmds.finish, nullptr, 0);
    link.SetAckWait(ACK_WAIT_CLOSED);
    if (!written) {
        LogPrintA("upgrade failed: the finish command could not be written\n");
        link.SetUpgradeState(UPG_FAIL);
        return;
    }
    link.SetUpgradeState(UPG_FINISH);
    DeviceLink::LogDateTime();
    LogPrintA("%s", cmds.finishedText);
}

std::uint8_t UpgradeEngine::End(UpgradeLinkPort& link, bool finished) {
    std::vector<std::uint8_t> report;
    if (mImages.upg_device == UPG_DEVICE_DSP_FLASH) {
        // The DSP takes its new program only after a restart.
        LogPrintA("MCU_Reboot_Ctrl\n");
        if (!SendAndRead(link, kUpgClassMcu, kMcuSubReboot, nullptr, 0, report) && finished) {
            // Without the restart the new program is not running: not a success.
            LogPrintA("upgrade failed: MCU_Reboot_Ctrl could not be written\n");
            finished = false;
        }
    } else if (finished && mImages.upg_device == UPG_DEVICE_BOOTLOADER && link.IsDeviceOpen()) {
        // The application keeps running after a bootloader upgrade, so its
        // acknowledgement of the finish command would otherwise be taken as
        // the reply to the next command anyone sends.
        link.ReadReply(mTiming.replyReadMs, report);
    }
    mImages.FreeAll();
    link.SetUpgradeState(UPG_IDLE);
    link.SetAckWait(ACK_WAIT_CLOSED);
    mSilentReads = 0;
    return finished ? kUpgradeStepDone : kUpgradeStepFailed;
}

}  // namespace kavelo
