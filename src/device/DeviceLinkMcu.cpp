// The MCU class: host presence, identification, factory reset and the MCU
// reports, including the acknowledgements of the MCU upgrade.
#include "base/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

void DeviceLink::PC_Connect(int connect) {
    LogPrintA("PC_Connect = %d\n", connect);
    const std::uint8_t payload[1] = {static_cast<std::uint8_t>(connect)};
    SendCtrlCommand(CMD_MCU, MCU_PC_CONNECT, OP_SET, payload, 1);
}

bool DeviceLink::Hand_Connect() {
    LogPrintA("Hand_Connect\n");
    return Exchange(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0, kDefaultReplyTimeoutMs);
}

bool DeviceLink::MCU_Factory_Reset_Ctrl() {
    return Exchange(CMD_MCU, MCU_FACTORY_RESET, OP_SET, nullptr, 0, kFactoryResetTimeoutMs);
}

void DeviceLink::mcu_ack_process(std::uint8_t length, const std::uint8_t* body) {
    const std::uint8_t subcmd = body[0];
    const std::uint8_t optype = body[1];
    const std::uint8_t* p = body + 2;
    switch (subcmd) {
        case MCU_HANDSHAKE: {
            LogPrintA("\nMCU_HANDSHAKE\n");
            if (optype != OP_UPDATE) return;
            if (p[0] == MCU_LOADER_MODE) {
                McuNormalMode = false;
                Post(MainReceiver, WM_DEVICE_ABNORMAL, 0, std::int64_t{0});
                return;
            }
            McuNormalMode = true;
            DeviceModel = p[1];
            McuHandshakeRecord record;
            record.model = p[1];
            record.masterVersion = p[2];
            record.slaveVersion = p[3];
            LogPrintA("model = %d, master verion = %d, slave verion = %d\n", record.model,
                      record.masterVersion, record.slaveVersion);
            Post(MainReceiver, WM_READ_MCU_VALUE, MCU_HANDSHAKE, record);
            return;
        }
        case MCU_GET_DSPFLASH_VER: {
            LogPrintA("MCU_GET_DSPFLASH_VER\n");
            if (optype != OP_UPDATE) return;
            McuFlashVersionRecord record;
            for (int i = 0; i < 4; ++i) record.version[i] = p[i];
            LogPrintA("flashver = %02d%02d%02d%02d\n", p[0], p[1], p[2], p[3]);
            Post(MainReceiver, WM_READ_MCU_VALUE, MCU_GET_DSPFLASH_VER, record);
            return;
        }
        case MCU_INIT:
            LogPrintA("MCU INIT\n");
            return;
        case MCU_PING:
            LogPrintA("\nMCU_PING\n");
            LogPrintA("\n post WM_READ_MCU_VALUE + MCU_PING\n");
            if (optype != OP_UPDATE) return;
            McuNormalMode = false;
            Post(MainReceiver, WM_READ_MCU_VALUE, MCU_PING, std::int64_t{0});
            return;
        case MCU_UPG_ENTER:
        case MCU_UPG_START:
        case MCU_UPG_DATA:
        case MCU_UPG_FINISH:
        case MCU_BL_UPG_ENTER:
        case MCU_BL_UPG_START:
        case MCU_BL_UPG_DATA:
        case MCU_BL_UPG_FINISH:
            if (optype == OP_ACK && length >= 4) UpgradeAck(false, subcmd, p[0]);
            return;
        case 0x05:
        case 0x06:
        case 0x07:
        case 0x0A:
        case 0x0C:
        case MCU_PC_CONNECT:
        case MCU_REBOOT:
        case MCU_FACTORY_RESET:
            return;  // acknowledgements of commands whose outcome nobody waits for
        default:
            LogPrintA("!!! NOT SUPPORT MSG\n");
            return;
    }
}

namespace {

// Log texts that differ between the MCU and the DSP flash transfer.
struct UpgradeAckTexts {
    const char* dataReady;
    const char* dataNotReady;
    const char* finishReady;
};
constexpr UpgradeAckTexts kMcuAckTexts{"MCU UPG_WAITING_BIN_DATA_ACK: ACK_READY\n\n",
                                       "MCU !!!!! NOT_READY !!!!!!\n\n",
                                       "MCU UPG_FINISH: ACK_READY\n\n"};
constexpr UpgradeAckTexts kFlashAckTexts{"UPG_WAITING_BIN_DATA_ACK: ACK_READY\n\n",
                                         "!!!!! NOT_READY !!!!!!\n\n", "UPG_FINISH: ACK_READY\n"};

UpgradePhase McuPhase(std::uint8_t subcmd) {
    switch (subcmd) {
        case MCU_UPG_ENTER:
        case MCU_BL_UPG_ENTER:
            return UpgradePhase::Enter;
        case MCU_UPG_START:
        case MCU_BL_UPG_START:
            return UpgradePhase::Start;
        case MCU_UPG_DATA:
        case MCU_BL_UPG_DATA:
            return UpgradePhase::Data;
        default:
            return UpgradePhase::Finish;
    }
}

}  // namespace

static UpgradePhase FlashUpgradePhase(std::uint8_t subcmd) {
    switch (subcmd) {
        case FLASH_UPG_START:
            return UpgradePhase::Start;
        case FLASH_UPG_DATA:
            return UpgradePhase::Data;
        default:
            return UpgradePhase::Finish;
    }
}

// One row of the upgrade acknowledgement table. The MCU and bootloader
// subcommands share rows; the DSP flash transfer differs in its start rule and
// its log texts.
void DeviceLink::UpgradeAck(bool flash, std::uint8_t subcmd, std::uint8_t status) {
    const UpgradePhase phase = flash ? FlashUpgradePhase(subcmd) : McuPhase(subcmd);
    const UpgradeAckTexts& texts = flash ? kFlashAckTexts : kMcuAckTexts;
    const bool ready = status == ACK_READY;
    const bool notReady = status == ACK_NOT_READY;
    const int state = sys_upg_status;
    switch (phase) {
        case UpgradePhase::Enter:
            if (ready) sys_upg_status = UPG_START;
            return;
        case UpgradePhase::Start:
            if (!flash) {
                if (!ready) {
                    LogPrintA("MCU_UPG_START: ACK_NOT_READY\n\n");
                    sys_upg_status = UPG_FAIL;
                } else {
                    LogDateTime();
                    LogPrintA("MCU_UPG_START: ACK_READY\n\n");
                    sys_upg_status = UPG_SEND_BIN_DATA;
                }
            } else if (ready && state == UPG_START) {
                LogDateTime();
                LogPrintA("FLASH UPG_START: ACK_READY\n\n");
                sys_upg_status = UPG_SEND_BIN_DATA;
            } else if (notReady) {
                LogPrintA("FLASH UPG_START: ACK_NOT_READY\n\n");
                sys_upg_status = UPG_FAIL;
            }
            return;
        case UpgradePhase::Data:
            if (state != UPG_WAITING_BIN_DATA_ACK) return;
            if (ready) {
                LogDateTime();
                LogPrintA("%s", texts.dataReady);
                sys_upg_status = UPG_SEND_BIN_DATA;
            } else if (notReady) {
                // The engine reads the acknowledgement again; the block is not resent.
                LogDateTime();
                LogPrintA("%s", texts.dataNotReady);
            }
            return;
        case UpgradePhase::Finish:
            if (ready && state == UPG_FINISH) {
                LogDateTime();
                LogPrintA("%s", texts.finishReady);
            }
            return;
    }
}

}  // namespace kavelo
