// Connecting the main window to a virtual amplifier with USB-like 1 ms report
// timing, until the "connected" message has been handled, against the bound
// that the read-back's exchanges alone take.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "BenchSupport.h"
#include "app/MainWnd.h"
#include "ui/Prompts.h"
#include "control/ReadBack.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

void BM_ConnectUntilConnected(benchmark::State& state) {
    bench::QuietPrompts prompts;
    PromptOpener* previous = SetPromptOpener(&prompts);
    VirtualAmplifier amp;
    amp.SetReportLatency(std::chrono::milliseconds(1));
    amp.Unplug();
    QTemporaryDir lockDir;
    CMainWnd window(amp, CMainWnd::DetachedOptions(lockDir.path()));
    window.Create(QStringLiteral("Kavelo DSP Audio"));
    EqualizerManager& controller = window.Controller();
    amp.Plug();

    double totalMs = 0.0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        controller.ConnectDevice(false);
        while (!controller.IsConnected()) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            if (clock.elapsed() > 60000) {
                state.SkipWithError("no connection within 60 s");
                break;
            }
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
        state.PauseTiming();
        controller.DisconnectDevice();
        controller.WaitForWorkers(10000);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    const double roundTrip = bench::RoundTripMs(std::chrono::milliseconds(1));
    const double bound = ReadBackExchangeCount() * roundTrip;
    const double mean = totalMs / static_cast<double>(state.iterations());
    state.counters["exchanges"] = ReadBackExchangeCount();
    state.counters["round_trip_ms"] = roundTrip;
    state.counters["bound_ms"] = bound;
    state.counters["connect_ms"] = mean;
    state.counters["ratio"] = mean / bound;
    SetPromptOpener(previous);
}
BENCHMARK(BM_ConnectUntilConnected)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace kavelo
