#include <benchmark/benchmark.h>

#include "ReferenceResponse.h"
#include "control/DspOperations.h"
#include "graph/ResponseCurve.h"

namespace kavelo {
namespace {

// A 31-band channel with high-pass and low-pass at slope 8 of the given type.
ChannelState HeavyChannel(int type) {
    DspState state;
    ChannelState ch = state.channels[0];
    ch.bypass = 0;
    for (int j = 0; j < kEqBands; ++j) {
        ch.bands[j].eqGain = static_cast<float>((j % 7) - 3);
        ch.bands[j].eqFactor = 1.0f + 0.2f * (j % 5);
    }
    for (CrossoverFilter* f : {&ch.crossover.hp, &ch.crossover.lp}) {
        SetFilterType(*f, type);
        SetFilterSlope(*f, 8);
    }
    SetFilterFs(ch.crossover.hp, 80);
    SetFilterFs(ch.crossover.lp, 8000);
    return ch;
}

void BM_ChannelResponseFast(benchmark::State& st) {
    const ChannelState ch = HeavyChannel(static_cast<int>(st.range(0)));
    ResponseCurve curve;
    for (auto _ : st) {
        ComputeChannelResponse(ch, curve);
        benchmark::DoNotOptimize(curve);
    }
}

void BM_ChannelResponseReference(benchmark::State& st) {
    const ChannelState ch = HeavyChannel(static_cast<int>(st.range(0)));
    ResponseCurve curve;
    for (auto _ : st) {
        reference::ChannelResponse(ch, curve);
        benchmark::DoNotOptimize(curve);
    }
}

BENCHMARK(BM_ChannelResponseFast)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChannelResponseReference)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kavelo
