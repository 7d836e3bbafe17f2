// The DSP class: replies to setting queries and acknowledgements of setters.
#include "app/Log.h"
#include "device/DeviceLink.h"

namespace kavelo {

void DeviceLink::dsp_ack_process(std::uint8_t length, const std::uint8_t* body) {
    // The DSP reply decoders arrive with the DSP command catalogue; until then
    // a DSP reply is framed and logged by the parser but changes nothing.
    (void)length;
    (void)body;
}

}  // namespace kavelo
