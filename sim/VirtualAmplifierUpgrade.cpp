// The amplifier's firmware upgrade side: MCU and bootloader upgrade (MCU class
// 0x01..0x04, 0xA0..0xA3), the reboot command (0x8F) and the DSP flash upgrade
// (FLASH class 0x03..0x05).
//
// How this amplifier behaves (our own model; the real image contents are opaque):
// - MCU application and DSP flash images are written by the loader. Entering
//   upgrade mode (0x01) from the application is acknowledged, and once the
//   host has read that acknowledgement the amplifier restarts into its loader
//   (the host's handle dies; it must open the interface again). In the loader
//   the enter command is acknowledged without a restart, and the handshake
//   reports loader mode.
// - The bootloader is written by the application: entering bootloader upgrade
//   mode (0xA0) and its start are refused in the loader, which cannot replace
//   itself. Nothing restarts after a bootloader upgrade.
// - Start commands open an upgrade session for their kind; starting the MCU or
//   DSP kind outside the loader, or while the start fault is on, is refused
//   with ACK_NOT_READY.
// - MCU and bootloader blocks arrive from the end of the image: the first at
//   the highest offset, each next one 32 bytes lower, the last at offset 0.
//   DSP blocks arrive from the start, each where the previous one ended, with
//   1..50 bytes. A block that breaks its order, or comes outside a session of
//   its kind, is answered ACK_NOT_READY and spoils the session.
// - Finish installs a complete, unspoiled image; otherwise it is answered
//   ACK_NOT_READY and nothing changes. The version an image carries:
//     MCU application: byte 8 of the image is the master version, byte 9 the
//       slave version;
//     DSP flash: bytes 8..11 of the image are the flash version;
//     bootloader: byte 8 of the image is the bootloader version.
//   An image too short to hold them leaves the version as it was.
// - After the MCU finish the amplifier starts its new application at once (it
//   re-enumerates; the host never reads that finish acknowledgement, which is
//   lost with the old handle). A bootloader finish is acknowledged. A DSP
//   finish is acknowledged; the new flash version takes effect with the reboot
//   command, which restarts the amplifier into its application once the host
//   has read what was already sent (the finish acknowledgement is read by the
//   reboot's exchange).
#include <algorithm>

#include "sim/VirtualAmplifier.h"

namespace kavelo {

namespace {

constexpr std::size_t kMcuBlockBytes = 32;
constexpr std::size_t kDspMaxBlockBytes = 50;
constexpr std::size_t kVersionOffset = 8;

std::uint32_t ReadBe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

void VirtualAmplifier::HandleUpgrade(const Packet& packet) {
    const std::uint8_t subcmd = packet.body[0];
    if (packet.body[1] != OP_SET) return;
    const std::uint8_t* p = packet.body.data() + 2;
    const int n = packet.length - 3;
    const std::uint8_t cmd = packet.cmd;
    auto ack = [&](bool ready, bool restartAfter = false) {
        Reply(cmd, subcmd, OP_ACK, {ready ? ACK_READY : ACK_NOT_READY}, restartAfter);
    };
    auto start = [&](UpgradeTarget target, bool allowed) {
        if (mRefuseUpgradeStart || !allowed || n < 4) {
            mUpgrade = UpgradeSession{};
            return ack(false);
        }
        mUpgrade = UpgradeSession{};
        mUpgrade.active = true;
        mUpgrade.target = target;
        std::copy(p, p + 4, mUpgradeStartParam.begin());
        ack(true);
    };

    if (cmd == CMD_FLASH) {
        switch (subcmd) {
            case FLASH_UPG_START:
                return start(UpgradeTarget::DspFlash, mLoaderMode);
            case FLASH_UPG_DATA:
                return UpgradeData(packet, cmd);
            case FLASH_UPG_FINISH:
                return UpgradeFinish(cmd, subcmd);
            default:
                return;
        }
    }
    switch (subcmd) {
        case MCU_UPG_ENTER:
            if (mLoaderMode) return ack(true);
            // Committed to the loader: it restarts once the host has the answer.
            mLoaderMode = true;
            return ack(true, /*restartAfter=*/true);
        case MCU_BL_UPG_ENTER:
            return ack(!mLoaderMode);
        case MCU_UPG_START:
            return start(UpgradeTarget::McuApplication, mLoaderMode);
        case MCU_BL_UPG_START:
            return start(UpgradeTarget::Bootloader, !mLoaderMode);
        case MCU_UPG_DATA:
        case MCU_BL_UPG_DATA:
            return UpgradeData(packet, cmd);
        case MCU_UPG_FINISH:
        case MCU_BL_UPG_FINISH:
            return UpgradeFinish(cmd, subcmd);
        case MCU_REBOOT:
            if (mUpgrade.finished && mUpgrade.target == UpgradeTarget::DspFlash &&
                mUpgrade.image.size() >= kVersionOffset + 4)
                std::copy_n(mUpgrade.image.begin() + kVersionOffset, 4, mFlashVersion.begin());
            mUpgrade = UpgradeSession{};
            mLoaderMode = false;
            // Whatever was already sent is still read on the old handle.
            if (mPending.empty()) {
                Restart();
            } else {
                mPending.back().restartAfter = true;
            }
            return;
        default:
            return;
    }
}

void VirtualAmplifier::UpgradeData(const Packet& packet, std::uint8_t cmd) {
    const std::uint8_t subcmd = packet.body[0];
    const std::uint8_t* p = packet.body.data() + 2;
    const std::size_t n = packet.length >= 3 ? packet.length - 3u : 0u;
    UpgradeBlockRecord block;
    if (cmd == CMD_FLASH) {
        if (n < 5 || p[4] == 0 || p[4] > kDspMaxBlockBytes || n < 5u + p[4]) return;
        block.target = UpgradeTarget::DspFlash;
        block.offset = ReadBe32(p);
        block.bytes.assign(p + 5, p + 5 + p[4]);
    } else {
        if (n < 4 + kMcuBlockBytes) return;
        block.target =
            subcmd == MCU_BL_UPG_DATA ? UpgradeTarget::Bootloader : UpgradeTarget::McuApplication;
        block.offset = ReadBe32(p);
        block.bytes.assign(p + 4, p + 4 + kMcuBlockBytes);
    }
    mUpgradeBlocks.push_back(block);
    if (mUpgradeBlocks.size() == mHoldAtUpgradeBlock) mHoldReplies = true;

    UpgradeSession& s = mUpgrade;
    bool inOrder = s.active && !s.finished && s.target == block.target;
    if (inOrder && block.target == UpgradeTarget::DspFlash) {
        inOrder = block.offset == s.image.size();
        if (inOrder) s.image.insert(s.image.end(), block.bytes.begin(), block.bytes.end());
    } else if (inOrder) {
        // From the end: the first block fixes the image's extent.
        if (s.blocks == 0 && block.offset % kMcuBlockBytes == 0) {
            s.image.assign(block.offset + kMcuBlockBytes, 0);
        } else {
            inOrder =
                s.blocks > 0 && s.next >= 0 && block.offset == static_cast<std::uint32_t>(s.next);
        }
        if (inOrder)
            std::copy(block.bytes.begin(), block.bytes.end(), s.image.begin() + block.offset);
        s.next =
            static_cast<std::int64_t>(block.offset) - static_cast<std::int64_t>(kMcuBlockBytes);
    }
    if (!inOrder) {
        s.intact = false;
        Reply(cmd, subcmd, OP_ACK, {ACK_NOT_READY});
        return;
    }
    ++s.blocks;
    if (mUnplugAtUpgradeBlock > 0 && s.blocks == mUnplugAtUpgradeBlock) {
        // The cable comes out before the acknowledgement leaves.
        mUnplugAtUpgradeBlock = 0;
        s = UpgradeSession{};
        mEnumerationChanges.push_back(false);
        mPlugged = false;
        mHostConnected = false;
        mPending.clear();
        mChanged.notify_all();
        return;
    }
    for (int i = 0; i < mUpgradeNotReadyAcks; ++i) Reply(cmd, subcmd, OP_ACK, {ACK_NOT_READY});
    Reply(cmd, subcmd, OP_ACK, {ACK_READY});
}

void VirtualAmplifier::UpgradeFinish(std::uint8_t cmd, std::uint8_t subcmd) {
    UpgradeSession& s = mUpgrade;
    UpgradeTarget target = UpgradeTarget::DspFlash;
    if (cmd == CMD_MCU)
        target =
            subcmd == MCU_BL_UPG_FINISH ? UpgradeTarget::Bootloader : UpgradeTarget::McuApplication;
    const bool complete = s.active && !s.finished && s.target == target && s.intact &&
                          s.blocks > 0 && (target == UpgradeTarget::DspFlash || s.next < 0);
    if (!complete) {
        s = UpgradeSession{};
        Reply(cmd, subcmd, OP_ACK, {ACK_NOT_READY});
        return;
    }
    const bool holdsVersion = s.image.size() >= kVersionOffset + 2;
    switch (target) {
        case UpgradeTarget::McuApplication:
            if (holdsVersion) {
                mMasterVersion = s.image[kVersionOffset];
                mSlaveVersion = s.image[kVersionOffset + 1];
            }
            s = UpgradeSession{};
            mLoaderMode = false;
            Restart();
            return;
        case UpgradeTarget::Bootloader:
            if (holdsVersion) mBootloaderVersion = s.image[kVersionOffset];
            s = UpgradeSession{};
            Reply(cmd, subcmd, OP_ACK, {ACK_READY});
            return;
        case UpgradeTarget::DspFlash:
            // Kept until the reboot puts the new program to work.
            s.finished = true;
            Reply(cmd, subcmd, OP_ACK, {ACK_READY});
            return;
    }
}

std::vector<VirtualAmplifier::UpgradeBlockRecord> VirtualAmplifier::UpgradeBlocks() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mUpgradeBlocks;
}

std::array<std::uint8_t, 4> VirtualAmplifier::UpgradeStartParameter() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mUpgradeStartParam;
}

int VirtualAmplifier::BootloaderVersion() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mBootloaderVersion;
}

void VirtualAmplifier::SetUpgradeNotReadyAcks(int count) {
    std::lock_guard<std::mutex> lock(mMutex);
    mUpgradeNotReadyAcks = count;
}

void VirtualAmplifier::SetRefuseUpgradeStart(bool refuse) {
    std::lock_guard<std::mutex> lock(mMutex);
    mRefuseUpgradeStart = refuse;
}

void VirtualAmplifier::UnplugAtUpgradeBlock(int n) {
    std::lock_guard<std::mutex> lock(mMutex);
    mUnplugAtUpgradeBlock = n;
}

}  // namespace kavelo
