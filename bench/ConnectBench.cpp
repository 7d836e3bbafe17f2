// Connecting the main window to a virtual amplifier with USB-like 1 ms report
// timing, until the "connected" message has been handled, against the bound
// that the read-back's exchanges alone take.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "app/MainWnd.h"
#include "ui/Prompts.h"
#include "control/ReadBack.h"
#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

class QuietPrompts : public PromptOpener {
public:
    int Message(QWidget*, const QString&, const QString&, const QString[3], int) override {
        return 1;
    }
};

// Mean time of one request/reply exchange with the given report latency.
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

void BM_ConnectUntilConnected(benchmark::State& state) {
    QuietPrompts prompts;
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
    const double roundTrip = RoundTripMs(std::chrono::milliseconds(1));
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
