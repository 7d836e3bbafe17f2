// The whole-configuration file operations from the main window against a
// virtual amplifier with USB-like 1 ms report timing, each against the bound
// its own exchanges take (exchanges written x one round trip): writing a .wpf
// into the amplifier, and saving one (ten scene reads and the read-back).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

#include "BenchSupport.h"
#include "app/MainWnd.h"
#include "control/ProfileFiles.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

void RunFileOperation(benchmark::State& state, bool write) {
    bench::QuietPrompts prompts;
    PromptOpener* previous = SetPromptOpener(&prompts);
    QTemporaryDir dir;
    prompts.file = dir.filePath(QStringLiteral("car.wpf"));
    VirtualAmplifier amp;
    amp.SetReportLatency(std::chrono::milliseconds(1));
    CMainWnd window(amp, CMainWnd::DetachedOptions(dir.path()));
    window.Create(QStringLiteral("Kavelo DSP Audio"));
    EqualizerManager& controller = window.Controller();
    const auto settled = [&] {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        return controller.WaitForWorkers(0) && !window.LoadingWindowOpen();
    };
    QElapsedTimer wait;
    wait.start();
    while (!controller.IsConnected() && wait.elapsed() < 60000) settled();
    if (write) WriteWholeProfile(controller.Model(), prompts.file.toStdString());

    double totalMs = 0.0;
    std::size_t exchanges = 0;
    for (auto _ : state) {
        const std::size_t before = amp.WriteCount();
        QElapsedTimer clock;
        clock.start();
        if (write)
            controller.LoadWholeConfigFromFile();
        else
            controller.SaveWholeConfigToFile();
        while (!settled()) {
            if (clock.elapsed() > 120000) {
                state.SkipWithError("not finished within 120 s");
                break;
            }
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
        exchanges = amp.WriteCount() - before;
    }
    const double roundTrip = bench::RoundTripMs(std::chrono::milliseconds(1));
    const double bound = static_cast<double>(exchanges) * roundTrip;
    const double mean = totalMs / static_cast<double>(state.iterations());
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["round_trip_ms"] = roundTrip;
    state.counters["bound_ms"] = bound;
    state.counters["operation_ms"] = mean;
    state.counters["ratio"] = mean / bound;
    SetPromptOpener(previous);
}

void BM_WholeConfigurationWrite(benchmark::State& state) { RunFileOperation(state, true); }
void BM_WholeConfigurationSave(benchmark::State& state) { RunFileOperation(state, false); }

BENCHMARK(BM_WholeConfigurationWrite)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_WholeConfigurationSave)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kavelo
