// The amplifier's DSP settings.
#include "sim/VirtualAmplifier.h"

namespace kavelo {

void VirtualAmplifier::HandleDsp(const Packet& packet) {
    // The DSP model (live settings, queries, calibration) is not in this
    // first cut: a DSP command is accepted and not answered, like an amplifier
    // whose DSP is off.
    (void)packet;
}

}  // namespace kavelo
