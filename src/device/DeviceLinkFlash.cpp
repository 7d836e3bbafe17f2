// The FLASH class: scenes stored in the amplifier and the DSP flash upgrade.
#include "app/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

void DeviceLink::flash_ack_process(std::uint8_t length, const std::uint8_t* body) {
    const std::uint8_t subcmd = body[0];
    const std::uint8_t optype = body[1];
    switch (subcmd) {
        case FLASH_UPG_START:
        case FLASH_UPG_DATA:
        case FLASH_UPG_FINISH:
            if (optype == OP_ACK && length >= 4) UpgradeAck(true, subcmd, body[2]);
            return;
        default:
            return;  // scene replies are decoded with the scene commands
    }
}

}  // namespace kavelo
