#include "BenchSupport.h"

#include <QElapsedTimer>

#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo::bench {

double RoundTripMs(std::chrono::milliseconds latency) {
    VirtualAmplifier amp;
    amp.SetReportLatency(latency);
    DeviceLink link(amp);
    link.OpenHIDDevice();
    constexpr int kExchanges = 200;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kExchanges; ++i) link.Get_Source();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6 / kExchanges;
    link.CloseHIDDevice(false);
    return ms;
}

}  // namespace kavelo::bench
