// The amplifier's firmware upgrade side: MCU and bootloader upgrade (MCU class
// 0x01..0x04, 0xA0..0xA3), the reboot command (0x8F) and the DSP flash upgrade
// (FLASH class 0x03..0x05).
#include "sim/VirtualAmplifier.h"

namespace kavelo {

void VirtualAmplifier::HandleUpgrade(const Packet& packet) {
    // For now this models an amplifier without the upgrade side: the upgrade
    // commands are accepted and never acknowledged, so an upgrade attempt runs
    // into its time-outs.
    (void)packet;
}

}  // namespace kavelo
