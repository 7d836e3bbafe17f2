// Time of a whole firmware transfer against the exchange bound: every block
// is one exchange (a report written, its acknowledgement read) and the
// amplifier answers a frame (1 ms) later, so blocks x round trip is the least
// a transfer can take. What the host adds on top (engine, link, framing,
// logging) is its overhead. The virtual amplifier stands in for the device.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "TempDir.h"
#include "UpgradeFiles.h"
#include "base/Log.h"
#include "device/DeviceLink.h"
#include "firmware/UpgradeEngine.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

constexpr auto kReportLatency = std::chrono::milliseconds(1);

// Whole transfers through DeviceLink to the virtual amplifier, restart into
// the loader included. The amplifier's restart wait is skipped (a clock that
// does not sleep): it is the amplifier's time, not the host's.
class NoSleepClock : public LinkClock {
public:
    std::int64_t NowMs() override { return mReal.NowMs(); }
    void SleepMs(std::int64_t) override {}
    // The pause between read retries stays real, so a dead handle does not spin.
    bool WaitMs(std::int64_t ms, LinkWake& wake) override { return mReal.WaitMs(ms, wake); }

private:
    RealLinkClock mReal;
};

// Latency models of the amplifier: 0 paces its reports one USB frame apart
// (host work shorter than a frame is hidden, as on the bus); 1 makes every
// reply readable only a frame after its command (host work adds up in full).
// Logging 1 writes the full diagnostic log to a file, as with "savelog.ini".
void RunAmplifierTransfer(benchmark::State& state, bool dsp, std::size_t length) {
    const bool replyDelay = state.range(0) != 0;
    const bool logging = state.range(1) != 0;
    TempDir dir;
    ContainerParts parts;
    parts.kind = dsp ? 2 : 1;
    parts.data = PatternBytes(length, 3);
    const auto path = dir.path() / (dsp ? "FLASH_UPG.BIN" : "MCU_UPG.BIN");
    WriteBytes(path, MakeContainer(parts));
    const std::size_t blockSize = dsp ? kDspBlockSize : kMcuBlockSize;
    const std::size_t blocks = (length + blockSize - 1) / blockSize;
    if (logging && !InitConsoleWindow((dir.path() / "save.log").string())) {
        state.SkipWithError("log file");
        return;
    }

#ifdef __linux__
    // The amplifier's reports become readable at timed wake-ups; the default
    // 50 us timer slack would be counted as the host's overhead on every block.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
#endif

    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        VirtualAmplifier amp;
        NoSleepClock clock;
        DeviceLink link(amp, clock);
        link.SetLinkConfig(87, 8, 6, 0, 0);
        link.OpenHIDDevice();
        if (!link.Hand_Connect()) {
            state.SkipWithError("no handshake");
            break;
        }
        if (replyDelay) {
            amp.SetReplyDelay(kReportLatency);
        } else {
            amp.SetReportLatency(kReportLatency);
        }
        const auto begin = std::chrono::steady_clock::now();
        const std::clock_t cpuBegin = std::clock();
        if (link.UpgradeStart(path.string()) != UPG_FILE_VALID) {
            state.SkipWithError("start failed");
            break;
        }
        std::uint8_t result = 0;
        do {
            result = link.UpgradeStep();
        } while (result <= 100);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        cpuSeconds = static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
        if (result != kUpgradeStepDone || amp.UpgradeBlocks().size() != blocks) {
            state.SkipWithError("transfer failed");
            break;
        }
        link.CloseHIDDevice(false);
    }
    if (logging) LogShutdown();
    // One reply per block, plus the enter and start replies (and for the DSP
    // the finish acknowledgement read with the reboot): the least time the
    // exchanges can take at one report per frame.
    const double exchanges = static_cast<double>(blocks + (dsp ? 3 : 2));
    const double bound = exchanges * std::chrono::duration<double>(kReportLatency).count();
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["bound_s"] = bound;
    state.counters["transfer_s"] = seconds;
    state.counters["overhead_pct"] = (seconds - bound) * 100 / bound;
    // Processor time of the whole process (engine, link and amplifier) against
    // the bound: what the host spends, free of the machine's scheduling delays.
    state.counters["cpu_pct_of_bound"] = cpuSeconds * 100 / bound;
}

void BM_UpgradeDsp256KiB(benchmark::State& state) { RunAmplifierTransfer(state, true, 256 * 1024); }
void BM_UpgradeMcu64KiB(benchmark::State& state) { RunAmplifierTransfer(state, false, 64 * 1024); }

BENCHMARK(BM_UpgradeDsp256KiB)
    ->ArgNames({"reply_delay", "log"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_UpgradeMcu64KiB)
    ->ArgNames({"reply_delay", "log"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
}  // namespace kavelo
