// The export record for a full scanner (32767 barcodes) against a plain copy of as many characters,
// and alldata end to end through the scripted library with the settling pause taken out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "clicker/clicker.h"
#include "clicker/export_record.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "support/scripted_csp2.h"

namespace harrowtally {
namespace {

constexpr std::int16_t full_scanner = 32767;

// A download of n barcodes: EAN-13, EAN-8 and short codes, types below 100.
struct Inputs {
    explicit Inputs(int n) : download(Download(static_cast<std::int16_t>(n))) {
        const double day = date_serial(2026, 12, 6);
        for (int k = 1; k <= n; ++k) {
            const std::u16string digits = u"4006381333931";
            DownloadedBarcode& item = (*download)[static_cast<std::size_t>(k)];
            item.barcode = digits.substr(0, k % 3 == 0 ? 13 : k % 3 == 1 ? 8 : 6);
            item.type = static_cast<std::int16_t>(k % 90);
            item.time = day + time_serial(8 + k % 10, k % 60, k % 59);
        }
        header = {u"1A2B3C4D5E6F7081", u'H', u"051710061226", static_cast<std::int16_t>(n)};
    }
    std::u16string record() const { return build_export_record(header, download); }

    std::optional<Download> download;
    RecordHeader header;
};

void BM_ExportRecord(benchmark::State& state) {
    const Inputs in(full_scanner);
    std::size_t allocations = 0, length = 0;
    for (auto _ : state) {
        const std::size_t before = bench::allocations();
        std::u16string record = in.record();
        allocations += bench::allocations() - before;
        length = record.size();
        benchmark::DoNotOptimize(record.data());
    }
    state.counters["chars"] = static_cast<double>(length);
    state.counters["allocs_per_record"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ExportRecord)->Unit(benchmark::kMicrosecond);

void BM_CopySameLength(benchmark::State& state) {
    const Inputs in(full_scanner);
    const std::u16string source = in.record();
    std::u16string target(source.size(), u' ');
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size() * sizeof(char16_t));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.counters["chars"] = static_cast<double>(source.size());
}
BENCHMARK(BM_CopySameLength)->Unit(benchmark::kMicrosecond);

// Processor time of the calling thread, so that other processes on a shared machine do not count.
std::chrono::nanoseconds thread_cpu_now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// Both in the same iterations, so the ratio is measured under the same conditions.
void BM_ExportRecordOverCopy(benchmark::State& state) {
    const Inputs in(full_scanner);
    const std::u16string source = in.record();
    std::u16string target(source.size(), u' ');
    std::chrono::nanoseconds build{0}, copy{0};
    for (auto _ : state) {
        const auto t0 = thread_cpu_now();
        std::u16string record = in.record();
        benchmark::DoNotOptimize(record.data());
        const auto t1 = thread_cpu_now();
        std::memcpy(target.data(), source.data(), source.size() * sizeof(char16_t));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
        const auto t2 = thread_cpu_now();
        build += t1 - t0;
        copy += t2 - t1;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["build_us"] = static_cast<double>(build.count()) / n / 1000.0;
    state.counters["copy_us"] = static_cast<double>(copy.count()) / n / 1000.0;
    state.counters["ratio"] = static_cast<double>(build.count()) / static_cast<double>(copy.count());
}
BENCHMARK(BM_ExportRecordOverCopy)->Unit(benchmark::kMicrosecond);

void BM_AlldataEndToEnd(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    testing::ScriptedCSP2 lib;
    testing::FakeClock clock;
    testing::CountingPause no_pause;
    lib.init_results[0] = 0;
    lib.read_data_default = n;
    lib.device_id = testing::Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0};
    lib.clock_value = std::array<std::uint8_t, 6>{5, 17, 10, 6, 12, 26};
    const std::string digits = "4006381333931";
    for (int k = 0; k < n; ++k) {
        lib.packets.push_back(
            testing::ScriptedCSP2::packet(static_cast<std::uint8_t>(k % 90), digits.substr(0, k % 2 == 0 ? 13 : 8)));
    }
    ScannerServices services{&lib, &clock, &no_pause};
    Clicker clicker(services);
    try {
        clicker.alldata();
    } catch (const RuntimeError& e) {
        state.SkipWithError(e.what());
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        lib.calls.clear();  // the scripted library's own record of calls, not part of the component
        state.ResumeTiming();
        Variant record = clicker.alldata();
        benchmark::DoNotOptimize(record.as_string().data());
    }
    state.SetComplexityN(n);
    state.counters["barcodes"] = n;
}
BENCHMARK(BM_AlldataEndToEnd)->Arg(1024)->Arg(full_scanner)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
}  // namespace harrowtally
