// Time of a whole firmware transfer against the exchange bound: every block
// costs one report write and one report read, each held to a fixed latency,
// so blocks x round trip is the least a transfer can take. What the engine
// adds on top (parsing, logging, payload building) is its own overhead.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "FakeUpgradeLink.h"
#include "TempDir.h"
#include "UpgradeFiles.h"

namespace kavelo {
namespace {

constexpr auto kReportLatency = std::chrono::milliseconds(1);

void RunTransfer(benchmark::State& state, bool dsp, std::size_t length) {
    TempDir dir;
    ContainerSpec spec;
    spec.kind = dsp ? 2 : 1;
    spec.data = PatternBytes(length, 3);
    const auto path = dir.path() / (dsp ? "FLASH_UPG.BIN" : "MCU_UPG.BIN");
    WriteBytes(path, MakeContainer(spec));
    const std::size_t blockSize = dsp ? kDspBlockSize : kMcuBlockSize;
    const std::size_t blocks = (length + blockSize - 1) / blockSize;

    double boundSeconds = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        FakeUpgradeLink link;
        link.normalMode = false;  // no restart wait: it is the amplifier's, not ours
        link.latency = kReportLatency;
        UpgradeEngine engine;
        if (engine.Start(link, path.string()) != UPG_FILE_VALID) {
            state.SkipWithError("start failed");
            return;
        }
        std::uint8_t result = 0;
        do {
            result = engine.Step(link);
        } while (result <= 100);
        if (result != kUpgradeStepDone) {
            state.SkipWithError("transfer failed");
            return;
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        // Every write and read the transfer made, enter and start included.
        const double reports = static_cast<double>(link.writes.size() + link.reads);
        boundSeconds = reports * std::chrono::duration<double>(kReportLatency).count();
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["bound_s"] = boundSeconds;
    state.counters["transfer_s"] = seconds;
    state.counters["overhead_pct"] =
        boundSeconds > 0 ? (seconds - boundSeconds) * 100 / boundSeconds : 0;
    state.counters["block_round_trip_bound_s"] =
        static_cast<double>(blocks) * 2 * std::chrono::duration<double>(kReportLatency).count();
}

void BM_UpgradeDsp256KiB(benchmark::State& state) { RunTransfer(state, true, 256 * 1024); }
void BM_UpgradeMcu64KiB(benchmark::State& state) { RunTransfer(state, false, 64 * 1024); }

BENCHMARK(BM_UpgradeDsp256KiB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_UpgradeMcu64KiB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kavelo
