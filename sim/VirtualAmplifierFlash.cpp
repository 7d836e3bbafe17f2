// The amplifier's flash: stored scenes and the DSP flash upgrade.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

void VirtualAmplifier::HandleFlash(const Packet& packet) {
    switch (packet.body[0]) {
        case FLASH_UPG_START:
        case FLASH_UPG_DATA:
        case FLASH_UPG_FINISH:
            HandleUpgrade(packet);
            return;
        default:
            // Stored scenes are not modelled in this first cut; scene commands
            // are accepted and not answered.
            return;
    }
}

}  // namespace kavelo
