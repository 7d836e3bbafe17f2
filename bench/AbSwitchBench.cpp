// Switching between two tunings that differ in one output's crossover and EQ,
// against a virtual amplifier with USB-like 1 ms report timing: the commands
// the difference engine finds, side by side with writing the whole target as
// a scene profile.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <chrono>

#include "control/DspOperations.h"
#include "control/ProfileTransfer.h"
#include "control/StateDiff.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

struct Tunings {
    DspState a;
    DspState b;
    Tunings() {
        ResetToDefaults(a);
        b = a;
        ChannelState& ch = b.channels[2];
        ch.crossover.hp.fs = 80;
        SetFilterSlope(ch.crossover.hp, 4);
        ch.crossover.lp.fs = 3200;
        for (int k : {4, 9, 17}) {
            ch.bands[k].eqGain = -4.5f;
            ch.bands[k].eqFactor = 2.0f;
        }
    }
};

void Run(benchmark::State& state, bool wholeProfile) {
    const Tunings t;
    VirtualAmplifier amp;
    amp.SetReportLatency(std::chrono::milliseconds(1));
    DeviceLink link(amp);
    link.OpenHIDDevice();
    std::size_t exchanges = 0;
    bool toB = true;
    for (auto _ : state) {
        const DspState& from = toB ? t.a : t.b;
        const DspState& to = toB ? t.b : t.a;
        const std::size_t before = amp.WriteCount();
        if (wholeProfile) {
            SetReadCurProfileToMCU(link, to);
        } else {
            for (const DspCommand& c : DiffStates(from, to)) SendDspCommand(link, c, true);
        }
        exchanges = amp.WriteCount() - before;
        toB = !toB;
    }
    link.CloseHIDDevice(false);
    state.counters["exchanges"] = static_cast<double>(exchanges);
}

void BM_AbSwitchByDifference(benchmark::State& state) { Run(state, false); }
void BM_AbSwitchByWholeProfile(benchmark::State& state) { Run(state, true); }

BENCHMARK(BM_AbSwitchByDifference)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AbSwitchByWholeProfile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kavelo
