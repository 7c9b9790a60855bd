// The ledger's part of a collection: recording what a full scanner's file holds (32767 barcodes)
// before and after the file takes its name, and reading it back as the next run does. Goal: under
// 100 ms for the two records together, made durable on the disk, as collect makes them.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "host/ledger/ledger.h"

namespace harrowtally::host {
namespace {

Ledger::Saved full_scanner() {
    Ledger::Saved saved{"4A58010C7F0093E2", 3, 32767, 0, false, "4A58010C7F0093E2-2026-12-08-180000.xlsx", {}, {}};
    for (int k = 1; k <= 32767; ++k) {
        saved.barcodes.push_back({k, u"4006381333931", 13, u"14:30:05   12/06/26"});
        saved.scan_times.emplace_back("2026-12-06 14:30:05");
    }
    return saved;
}

void BM_LedgerRecordsAFullScanner(benchmark::State& state) {
    const Ledger::Saved saved = full_scanner();
    for (auto _ : state) {
        state.PauseTiming();
        std::string folder = (std::filesystem::temp_directory_path() / "harrowtally-ledger-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr) state.SkipWithError("no folder");
        Ledger ledger(folder);
        const std::int64_t run = ledger.begin_run("2026-12-08T18:00:00");
        state.ResumeTiming();
        ledger.record_saving(run, saved);
        ledger.record_saved(run);
        benchmark::DoNotOptimize(ledger.saved_since_emptied(saved.serial).size());
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LedgerRecordsAFullScanner)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace harrowtally::host
