// The real settling pause: its wall time and the processor time it costs while it waits.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "common/clock.h"

namespace {

double process_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_SettlingPause(benchmark::State& state) {
    harrowtally::SleepingPump pump;
    harrowtally::SettlingPause pause(pump);
    double wall_total = 0;
    double cpu_total = 0;
    for (auto _ : state) {
        const auto wall_start = std::chrono::steady_clock::now();
        const double cpu_start = process_cpu_seconds();
        pause.scanner_pause();
        cpu_total += process_cpu_seconds() - cpu_start;
        wall_total += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["wall_ms"] = 1000.0 * wall_total / n;
    state.counters["cpu_ms"] = 1000.0 * cpu_total / n;
    state.counters["cpu_share_pct"] = 100.0 * cpu_total / wall_total;
}
BENCHMARK(BM_SettlingPause)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
