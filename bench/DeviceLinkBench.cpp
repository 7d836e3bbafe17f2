#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "device/DeviceLink.h"
#include "sim/VirtualAmplifier.h"

namespace kavelo {
namespace {

// Opens the virtual amplifier; without it the benchmark is skipped.
bool OpenOrSkip(DeviceLink& link, benchmark::State& state) {
    link.OpenHIDDevice();
    if (link.IsDeviceOpen()) return true;
    state.SkipWithError("virtual amplifier did not open");
    return false;
}

// Parser throughput: a stream of handshake replies, each a full report.
void BM_PacketProcess(benchmark::State& state) {
    VirtualAmplifier amp;
    DeviceLink link(amp);
    std::vector<std::uint8_t> stream;
    const std::uint8_t payload[] = {0x00, 0x57, 0x01, 0x12};
    for (int i = 0; i < 64; ++i) {
        std::uint8_t report[kInputReportSize] = {};
        FramePacket(CMD_MCU, MCU_HANDSHAKE, OP_UPDATE, payload, sizeof payload, report,
                    sizeof report);
        stream.insert(stream.end(), report, report + sizeof report);
    }
    for (auto _ : state) {
        for (std::uint8_t byte : stream) link.packet_process(byte);
    }
    benchmark::DoNotOptimize(link.DeviceModel.load());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_PacketProcess);

// Queued commands through the worker to an amplifier that answers at once.
void BM_QueuedCommands(benchmark::State& state) {
    VirtualAmplifier amp;
    DeviceLink link(amp);
    if (!OpenOrSkip(link, state)) return;
    link.EnableCmdQueue();
    constexpr int kBatch = 256;
    std::size_t sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            link.EnqueueCommand(CMD_MCU, MCU_HANDSHAKE, OP_SET, nullptr, 0);
        }
        sent += kBatch;
        if (!amp.WaitForWrites(sent, std::chrono::seconds(60))) {
            state.SkipWithError("queued commands were not written");
            break;
        }
        amp.ClearWrittenReports();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(sent));
    link.DisableCmdQueue();
    link.CloseHIDDevice(false);
}
BENCHMARK(BM_QueuedCommands)->UseRealTime();

// A read on the handle of an unplugged amplifier fails at once and is retried
// until its time-out: the wall time is the time-out, the CPU time must stay a
// small fraction of it (the retries pause instead of spinning).
void BM_DeadHandleRead(benchmark::State& state) {
    VirtualAmplifier amp;
    DeviceLink link(amp);
    if (!OpenOrSkip(link, state)) return;
    amp.Unplug();
    const int timeoutMs = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(link.ReadHIDData(link.ReceiveBuffer(), timeoutMs));
    }
    link.CloseHIDDevice(false);
}
BENCHMARK(BM_DeadHandleRead)->Arg(200)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavelo
