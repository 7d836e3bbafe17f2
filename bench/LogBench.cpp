#include <benchmark/benchmark.h>

#include "base/Log.h"

namespace {

// The device link logs every received byte; with logging off that must cost
// next to nothing.
void BM_LogPrintAOff(benchmark::State& state) {
    kavelo::LogShutdown();
    for (auto _ : state) benchmark::DoNotOptimize(kavelo::LogPrintA("packet_byte(0x%08x)\n", 0xAA));
}
BENCHMARK(BM_LogPrintAOff);

void BM_LogPrintAOn(benchmark::State& state) {
    kavelo::InitConsoleWindow("/dev/null");
    std::FILE* saved = stdout;
    for (auto _ : state) benchmark::DoNotOptimize(kavelo::LogPrintA("packet_byte(0x%08x)\n", 0xAA));
    (void)saved;
    kavelo::LogShutdown();
}
BENCHMARK(BM_LogPrintAOn);

}  // namespace
