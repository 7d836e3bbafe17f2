#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "graph/UIEqualizer.h"

namespace kavelo {
namespace {

// Eight different-looking outputs: a tilt and a wobble per slot.
std::vector<ResponseCurve> EightCurves(double shift) {
    std::vector<ResponseCurve> curves(kCurveSlots);
    for (int s = 0; s < kCurveSlots; ++s) {
        ResponseCurve& c = curves[static_cast<size_t>(s)];
        c.freq = ResponseGrid();
        for (int i = 0; i < kResponsePoints; ++i)
            c.db[static_cast<size_t>(i)] =
                (s - 4) * 1.5 + 6.0 * std::sin(i / 40.0 + s + shift) - i / 100.0;
    }
    return curves;
}

std::vector<EqBand> ThirtyOneBands() {
    std::vector<EqBand> bands(kEqMaxBands);
    for (int i = 0; i < kEqMaxBands; ++i) {
        EqBand& b = bands[static_cast<size_t>(i)];
        b.freq = static_cast<int32_t>(20.0 * std::pow(1000.0, i / 30.0));
        b.eqGain = static_cast<float>((i % 9) - 4);
        b.eqFactor = 1.0f + 0.25f * (i % 6);
    }
    return bands;
}

// The curve control at 1200 x 400 with eight shown curves, 31 markers, a selected
// band in drag-all mode and both crossover handles.
struct PaintFixture {
    UIEqualizer eq;
    QImage image{1200, 400, QImage::Format_ARGB32_Premultiplied};
    std::vector<EqBand> bands = ThirtyOneBands();
    std::uint8_t show[kCurveSlots] = {1, 1, 1, 1, 1, 1, 1, 1};

    // `colored`: the curve colours of the main window's layout, which also draw the
    // other outputs 2 px wide instead of the 3 px of the grey fallback.
    explicit PaintFixture(bool colored = false) {
        if (colored)
            eq.SetAttribute("curvecolor",
                            "#FFFF7A1A #FF3FB0D6 #FF9BE15D #FFE05CC8 #FFFFD23F #FF6F8CFF "
                            "#FFFF5C50 #FFB38CFF");
        eq.resize(1200, 400);
        eq.SetDragAllDirection(1);
        eq.SetBands(bands.data(), kEqMaxBands, 12);
        eq.setCurEqHpLp(80, 12000);
        const auto curves = EightCurves(0.0);
        eq.SetCurves(curves.data(), kCurveSlots, 2, show);
    }
    void Paint() {
        eq.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
};

// A repaint while nothing but the selected marker moved.
void BM_EqualizerPaint(benchmark::State& state) {
    PaintFixture f;
    f.Paint();
    for (auto _ : state) f.Paint();
}
BENCHMARK(BM_EqualizerPaint)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();

// One drag step as the owner drives it: the current output's curve moved, all
// eight handed in again, then a paint.
void BM_EqualizerDragStep(benchmark::State& state) {
    PaintFixture f;
    std::vector<ResponseCurve> frames[2] = {EightCurves(0.0), EightCurves(0.0)};
    frames[1][2] = EightCurves(0.5)[2];
    int n = 0;
    for (auto _ : state) {
        f.eq.SetCurves(frames[n++ & 1].data(), kCurveSlots, 2, f.show);
        f.Paint();
    }
}
BENCHMARK(BM_EqualizerDragStep)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

// The worst case: every output's curve changed (a linked group or a new scene), with
// the grey fallback and with the main window's colours.
void BM_EqualizerAllCurvesNew(benchmark::State& state) {
    PaintFixture f(state.range(0) != 0);
    const std::vector<ResponseCurve> frames[2] = {EightCurves(0.0), EightCurves(0.5)};
    int n = 0;
    for (auto _ : state) {
        f.eq.SetCurves(frames[n++ & 1].data(), kCurveSlots, 2, f.show);
        f.Paint();
    }
}
BENCHMARK(BM_EqualizerAllCurvesNew)
    ->ArgName("colored")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace kavelo
