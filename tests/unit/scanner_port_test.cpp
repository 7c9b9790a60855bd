#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scanner/scanner_port.h"
#include "support/scripted_csp2.h"

namespace harrowtally {
namespace {

using testing::ScriptedCSP2;

// A library whose csp2Restore fails the way an unloadable library does.
class FailingRestore : public ScriptedCSP2 {
public:
    std::int32_t csp2Restore() override {
        ScriptedCSP2::csp2Restore();
        throw std::runtime_error("restore failed");
    }
};

struct PortCase {
    const char* what;
    std::int32_t init_result;
    std::function<void(ScannerPort&)> use;  // runs after open; may throw
    int restores;                           // csp2Restore calls in all
};

TEST(ScannerPort, ReleasesThePortOnceWhateverEndsTheConnection) {
    const std::vector<PortCase> cases = {
        {"closed on the normal path", 0, [](ScannerPort& p) { p.close(); }, 1},
        {"error while open", 0, [](ScannerPort&) { throw std::runtime_error("member failed"); }, 1},
        {"error after close", 0,
         [](ScannerPort& p) {
             p.close();
             throw std::runtime_error("member failed");
         },
         1},
        {"port that did not open is not released by the destructor", -1,
         [](ScannerPort&) { throw std::runtime_error("member failed"); }, 0},
        {"close after a failed open still releases, as some members do", -1, [](ScannerPort& p) { p.close(); }, 1},
        {"reopened after a close", 0,
         [](ScannerPort& p) {
             p.close();
             p.open(0);
             throw std::runtime_error("member failed");
         },
         2},
    };
    for (const auto& c : cases) {
        ScriptedCSP2 lib;
        lib.init_results[0] = c.init_result;
        try {
            ScannerPort port(&lib);
            EXPECT_EQ(port.open(0), c.init_result) << c.what;
            EXPECT_EQ(port.is_open(), c.init_result == 0) << c.what;
            c.use(port);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(lib.restores, c.restores) << c.what;
    }
}

TEST(ScannerPort, AFailingReleaseInTheDestructorDoesNotReplaceTheMembersError) {
    FailingRestore lib;
    lib.init_results[3] = 0;
    std::string reached;
    try {
        ScannerPort port(&lib);
        port.open(3);
        throw std::runtime_error("member failed");
    } catch (const std::runtime_error& e) {
        reached = e.what();
    }
    EXPECT_EQ(reached, "member failed");
    EXPECT_EQ(lib.restores, 1);
}

TEST(ScannerPort, ClockCallsWakeAndPowerDownAroundTheClock) {
    ScriptedCSP2 lib;
    lib.init_results[0] = 0;
    lib.clock_value = std::array<std::uint8_t, 6>{5, 17, 10, 6, 12, 26};
    ScannerPort port(&lib);
    port.open(0);
    EXPECT_EQ(port.read_clock(), (ClockBuffer{5, 17, 10, 6, 12, 26}));
    port.set_clock(ClockBuffer{1, 2, 3, 4, 5, 6});
    port.close();
    ASSERT_EQ(lib.set_times.size(), 1u);
    EXPECT_EQ(lib.set_times[0], (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
    const std::vector<std::string> names = [&] {
        std::vector<std::string> n;
        for (const auto& call : lib.calls) n.push_back(call.substr(0, call.find('(')));
        return n;
    }();
    EXPECT_EQ(names, (std::vector<std::string>{"csp2Init", "csp2WakeUp", "csp2GetTime", "csp2PowerDown", "csp2WakeUp",
                                               "csp2SetTime", "csp2PowerDown", "csp2Restore"}));
}

}  // namespace
}  // namespace harrowtally
