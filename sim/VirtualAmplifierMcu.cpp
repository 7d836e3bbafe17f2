// The amplifier's microcontroller: host presence, identification, factory
// reset and its unsolicited reports.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

void VirtualAmplifier::HandleMcu(const Packet& packet) {
    const std::uint8_t subcmd = packet.body[0];
    const std::uint8_t* p = packet.body.data() + 2;
    switch (subcmd) {
        case MCU_PC_CONNECT:
            // The host writes this without reading; the amplifier just notes it.
            mHostConnected = packet.length >= 4 && p[0] == 1;
            return;
        case MCU_HANDSHAKE:
            if (mLoaderMode) {
                Reply(CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, {MCU_LOADER_MODE, 0, 0, 0});
            } else {
                Reply(CMD_MCU, MCU_HANDSHAKE, OP_UPDATE,
                      {0, static_cast<std::uint8_t>(mModel),
                       static_cast<std::uint8_t>(mMasterVersion),
                       static_cast<std::uint8_t>(mSlaveVersion)});
            }
            return;
        case MCU_FACTORY_RESET:
            // Factory settings live and in every scene (names erased, none
            // valid); identity and DSP memory stay. The acknowledgement goes
            // out, then the amplifier restarts.
            mLive = FactoryLiveState();
            mScenes = FactorySnapshot().scenes;
            for (int i = 0; i < kAmpScenes; ++i) mSceneEdits[i] = mScenes[i].settings;
            mCurrentScene = 0;
            mCalibration = CalibrationRun{};
            ScenesChanged();
            Reply(CMD_MCU, MCU_FACTORY_RESET, OP_ACK, {ACK_READY}, /*restartAfter=*/true);
            return;
        case MCU_UPG_ENTER:
        case MCU_UPG_START:
        case MCU_UPG_DATA:
        case MCU_UPG_FINISH:
        case MCU_REBOOT:
        case MCU_BL_UPG_ENTER:
        case MCU_BL_UPG_START:
        case MCU_BL_UPG_DATA:
        case MCU_BL_UPG_FINISH:
            HandleUpgrade(packet);
            return;
        default:
            return;  // subcommands the amplifier accepts silently
    }
}

void VirtualAmplifier::SendPing() { SendPacket(CMD_MCU, MCU_PING, OP_UPDATE, {}); }

void VirtualAmplifier::SendVersionReport() {
    std::array<std::uint8_t, 4> version;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        version = mFlashVersion;
    }
    SendPacket(CMD_MCU, MCU_GET_DSPFLASH_VER, OP_UPDATE,
               {version[0], version[1], version[2], version[3]});
}

void VirtualAmplifier::SendInitNotice() { SendPacket(CMD_MCU, MCU_INIT, OP_UPDATE, {}); }

}  // namespace kavelo
