// The scanner library file loaded and its functions looked up once, when the first calls of
// several threads overlap.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "scanner/csp2_abi.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally {
namespace {

std::int32_t CSP2_CALL version_seven(char* buffer, std::int32_t) {
    buffer[0] = '7';
    return 0;
}

// Slow to open and to look up, so that first calls made together overlap inside the load.
class SlowLibrary : public DynamicLibrary {
public:
    explicit SlowLibrary(std::atomic<int>& lookups) : lookups_(lookups) {}
    void* find(const char*) override {
        ++lookups_;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return reinterpret_cast<void*>(&version_seven);
    }

private:
    std::atomic<int>& lookups_;
};

class SlowOpener : public LibraryOpener {
public:
    std::atomic<int> opens{0};
    std::atomic<int> lookups{0};
    std::unique_ptr<DynamicLibrary> open() override {
        ++opens;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return std::make_unique<SlowLibrary>(lookups);
    }
};

TEST(LoadedCSP2, FirstCallsFromManyThreadsLoadAndResolveOnce) {
    constexpr int threads = 8;
    auto opener = std::make_unique<SlowOpener>();
    SlowOpener& counts = *opener;
    LoadedCSP2 library(std::move(opener));
    std::latch start(threads);
    std::atomic<int> answered{0};
    std::vector<std::thread> callers;
    callers.reserve(threads);
    for (int t = 0; t < threads; ++t) {
        callers.emplace_back([&] {
            std::uint8_t version[csp2_size::version] = {};
            start.arrive_and_wait();
            if (library.csp2GetSwVersion(version, csp2_size::version) == 0 && version[0] == '7') ++answered;
        });
    }
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(counts.opens, 1);
    EXPECT_EQ(counts.lookups, 1);
    EXPECT_EQ(answered, threads);
}

}  // namespace
}  // namespace harrowtally
