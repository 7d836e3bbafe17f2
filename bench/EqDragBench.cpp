// One drag step on the main window's curve with followers: the band update on the
// model, the responses of the outputs it changed, and one paint of the 1200 x 400
// curve control with all eight curves shown; a second case with a measurement and
// its predicted result drawn too.
#include <benchmark/benchmark.h>

#include <QImage>
#include <array>
#include <cmath>
#include <vector>

#include "control/DspOperations.h"
#include "control/EqOperations.h"
#include "graph/Measurement.h"
#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

void DragSteps(benchmark::State& state, bool measurement) {
    DspState s;
    ResetToDefaults(s);
    s.currChannel = 0;
    s.outputs[1] = 12;  // output 0 (front left) and 1 (front right) are partners
    s.linkMode = s.lockMode = 1;
    ComputeLinkPairs(s);
    s.syncFlags[0] = s.syncFlags[3] = 1;  // and output 3 follows as synchronised
    for (ChannelState& ch : s.channels) {
        for (int b = 0; b < kEqBands; ++b) ch.bands[b].eqGain = static_cast<float>(b % 7 - 3);
        ch.bypass = 0;
    }
    std::array<ResponseCurve, kOutputChannels> curves{};
    for (int n = 0; n < kOutputChannels; ++n) ComputeChannelResponse(s.channels[n], curves[n]);
    const std::uint8_t show[kOutputChannels] = {1, 1, 1, 1, 1, 1, 1, 1};

    UIEqualizer eq;
    eq.resize(1200, 400);
    eq.SetCurves(curves.data(), kOutputChannels, 0, show);
    if (measurement) {
        // A 1/48-octave measurement with a room's ripple of three swings per octave.
        std::vector<MeasuredPoint> points;
        for (double f = 15; f < 22000; f *= std::pow(2.0, 1.0 / 48))
            points.push_back({f, 80 + 4 * std::sin(std::log2(f) * 6 * M_PI)});
        const ResponseArray levels = ResampleMeasurement(points);
        const ResponseArray shown = OffsetLevels(levels, AutoMeasurementOffset(levels));
        eq.SetMeasurement(&shown);
    }
    QImage image(1200, 400, QImage::Format_ARGB32_Premultiplied);
    eq.render(&image);

    const EqBand band = s.channels[0].bands[12];
    int step = 0;
    for (auto _ : state) {
        const float gain = static_cast<float>(step++ % 120) / 10.0f - 6.0f;
        const OutputEdit edit = UpdateBand(s, 12, band.freq, band.eqFactor, gain, BandPath::Drag);
        benchmark::DoNotOptimize(edit.commands.data());
        for (int n : {0, 1, 3}) ComputeChannelResponse(s.channels[n], curves[n]);
        eq.SetBands(s.channels[0].bands.data(), kEqBands, 12);
        eq.SetCurves(curves.data(), kOutputChannels, 0, show);
        eq.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
void BM_CurveDragWithFollowers(benchmark::State& state) { DragSteps(state, false); }
BENCHMARK(BM_CurveDragWithFollowers)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

void BM_CurveDragWithMeasurement(benchmark::State& state) { DragSteps(state, true); }
BENCHMARK(BM_CurveDragWithMeasurement)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace kavelo
