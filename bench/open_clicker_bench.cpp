// Cost of open_clicker per downloaded barcode, against an in-process library that answers at once
// and a pause that does not wait, and how the cost grows from 1024 to 32767 barcodes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "clicker/clicker.h"

namespace harrowtally {
namespace {

// A scanner on port 0 holding `count` barcodes of 13 digits, each with the same stamp text.
class InstantLibrary : public CSP2 {
public:
    explicit InstantLibrary(std::int32_t count) : count_(count) {}
    std::int32_t csp2Init(std::int32_t port) override { return port == 0 ? 0 : -1; }
    std::int32_t csp2Restore() override { return 0; }
    std::int32_t csp2WakeUp() override { return 0; }
    std::int32_t csp2Interrogate() override { return 0; }
    std::int32_t csp2PowerDown() override { return 0; }
    std::int32_t csp2ReadData() override { return count_; }
    std::int32_t csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t) override {
        if (index < 0 || index >= count_) return -1;
        // L = 18: type, 13 barcode digits, 4 stamp bytes.
        char digits[16];
        std::snprintf(digits, sizeof digits, "%013d", index);
        buffer[0] = 18;
        buffer[1] = 8;
        std::memcpy(buffer + 2, digits, 13);
        std::memset(buffer + 15, 0x11, 4);
        return 19;
    }
    std::int32_t csp2TimeStamp2Str(std::uint8_t*, std::uint8_t* text, std::int32_t) override {
        static constexpr char stamp[] = "14:30:05   12/06/26";
        std::memcpy(text, stamp, sizeof stamp);
        return 0;
    }
    std::int32_t csp2GetDeviceId(std::uint8_t* id, std::int32_t) override {
        std::memset(id, 0x5A, 8);
        return 0;
    }
    std::int32_t csp2GetSystemStatus() override { return 0; }
    std::int32_t csp2ClearData() override { return 0; }
    std::int32_t csp2GetTime(std::uint8_t* clock) override {
        std::memset(clock, 1, 6);
        return 0;
    }
    std::int32_t csp2SetTime(std::uint8_t*) override { return 0; }
    std::int32_t csp2SetDefaults() override { return 0; }
    std::int32_t csp2GetParam(std::int32_t, std::uint8_t*, std::int32_t) override { return 0; }
    std::int32_t csp2SetParam(std::int32_t, std::uint8_t*, std::int32_t) override { return 0; }
    std::int32_t csp2GetProtocol() override { return 0; }
    std::int32_t csp2GetASCIIMode() override { return 0; }
    std::int32_t csp2GetRTCMode() override { return 0; }
    std::int32_t csp2GetSwVersion(std::uint8_t*, std::int32_t) override { return 0; }

private:
    std::int32_t count_;
};

class FixedClock : public Clock {
public:
    TimeOfDay time_of_day() override { return {9, 30, 15}; }
    LocalDateTime local_now() override { return {}; }
};

class NoPause : public Pause {
public:
    void scanner_pause() override {}
};

void open_clicker_download(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    InstantLibrary library(count);
    FixedClock clock;
    NoPause pause;
    Clicker clicker(ScannerServices{&library, &clock, &pause, nullptr});
    for (auto _ : state) {
        clicker.open_clicker();
        benchmark::DoNotOptimize(clicker.num_barcodes());
    }
    if (clicker.num_barcodes() != count || !clicker.open_ok()) state.SkipWithError("download incomplete");
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["per_barcode"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(open_clicker_download)->Arg(1024)->Arg(32767)->Unit(benchmark::kMicrosecond);

// Keeps the console output and remembers the processor time per call of each benchmark and size.
class GrowthReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::string, double>> time_per_call;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            // With repetitions the mean stands for the size.
            const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if ((run.run_type == Run::RT_Iteration || mean) && !run.error_occurred) {
                time_per_call[run.run_name.function_name][run.run_name.args] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace
}  // namespace harrowtally

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    harrowtally::GrowthReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // How each benchmark run at 1024 and 32767 barcodes grows with the count.
    for (const auto& [name, sizes] : reporter.time_per_call) {
        const auto small = sizes.find("1024");
        const auto large = sizes.find("32767");
        if (small == sizes.end() || large == sizes.end()) continue;
        const double ratio = large->second / small->second;
        std::printf("%s 32767/1024 barcodes: CPU time ratio %.1f (linear: %.1f), per-barcode ratio %.2f\n",
                    name.c_str(), ratio, 32767.0 / 1024.0, ratio * 1024.0 / 32767.0);
    }
    benchmark::Shutdown();
    return 0;
}
