// The fault switches of the state file.
#include <algorithm>
#include <string>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

using SimFaults = SimTest;

TEST_F(SimFaults, PortsWithoutAScannerOrBusy) {
    struct Case {
        std::string lines;
        int port;
        int expected;
    };
    const std::vector<Case> cases = {
        {"port = none\n", 5, result::no_scanner},   {"port = none\n", 0, result::no_scanner},
        {"busy_ports = 5\n", 5, result::port_busy}, {"busy_ports = 7 9\n", 9, result::port_busy},
        {"busy_ports = 7 9\n", 5, result::ok},      {"busy_ports = 7 9\n", 8, result::no_scanner},
    };
    for (const Case& c : cases) {
        use_state(example_device() + c.lines);
        EXPECT_EQ(load().init(c.port), c.expected) << c.lines << " port " << c.port;
    }
}

TEST_F(SimFaults, DownloadFaults) {
    struct Case {
        std::string lines;
        int status;
        int count;
        std::vector<int> packet_results;  // csp2GetPacket for index 0, 1, ...; 0 stands for any success
    };
    const int ok = 0;
    const std::vector<Case> cases = {
        {"", 0, 6, {ok, ok, ok, ok, ok, ok, result::no_packet}},
        {"system_status = -3\n", -3, 6, {ok, ok, ok, ok, ok, ok, result::no_packet}},
        {"fault_count = -2\n", 0, -2, {result::no_packet}},
        {"fault_count = 9\n", 0, 9, {ok, ok, ok, ok, ok, ok, result::no_packet, result::no_packet}},
        {"fault_count = 40000\n", 0, 40000, {ok, ok, ok, ok, ok, ok, result::no_packet}},
        {"fault_packet_at = 3\n", 0, 6, {ok, ok, result::injected, result::injected, result::injected}},
        {"fault_packet_at = 1\n", 0, 6, {result::injected}},
    };
    for (const Case& c : cases) {
        use_state(example_device() + c.lines);
        SimLibrary& lib = load();
        ASSERT_EQ(lib.init(5), result::ok) << c.lines;
        EXPECT_EQ(lib.system_status(), c.status) << c.lines;
        EXPECT_EQ(lib.read_data(), c.count) << c.lines;
        for (std::size_t i = 0; i < c.packet_results.size(); ++i) {
            char buffer[500];
            const int r = lib.get_packet(buffer, static_cast<int>(i), 500);
            if (c.packet_results[i] == ok) {
                EXPECT_GT(r, 5) << c.lines << " packet " << i;
            } else {
                EXPECT_EQ(r, c.packet_results[i]) << c.lines << " packet " << i;
            }
        }
    }
}

TEST_F(SimFaults, MalformedStampTexts) {
    // The first barcode of the example was scanned at 08:14:03 on 4 December 2026.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"none", "08:14:03   12/04/26"},    {"no_slash", "08:14:03   12-04-26"}, {"one_slash", "08:14:03   12/04-26"},
        {"early_slash", "/04/26 08:14:03"}, {"bad_date", "08:14:03   00/00/26"},
    };
    for (const auto& [mode, text] : cases) {
        use_state(example_device() + "fault_stamp_text = " + mode + "\n");
        SimLibrary& lib = load();
        ASSERT_EQ(lib.init(5), result::ok);
        ASSERT_EQ(lib.read_data(), 6);
        const Packet p = split(lib.packet(0));
        EXPECT_EQ(lib.stamp_text(p.stamp.data()).c_str(), text) << mode;
    }
}

TEST_F(SimFaults, EraseFailsAsOftenAsToldAcrossLoads) {
    use_state(example_device() + "fault_erase_failures = 2\n");
    SimLibrary& first = load();
    ASSERT_EQ(first.init(5), result::ok);
    EXPECT_EQ(first.clear_data(), result::injected);
    EXPECT_EQ(first.read_data(), 6);
    first.restore();

    SimLibrary& second = load();
    ASSERT_EQ(second.init(5), result::ok);
    EXPECT_EQ(second.clear_data(), result::injected);
    EXPECT_EQ(second.clear_data(), result::ok);
    EXPECT_EQ(second.read_data(), 0);
    EXPECT_EQ(state_text().find("fault_erase_failures"), std::string::npos);

    use_state(example_device() + "fault_erase_failures = always\n");
    SimLibrary& third = load();
    ASSERT_EQ(third.init(5), result::ok);
    for (int attempt = 0; attempt < 6; ++attempt) EXPECT_EQ(third.clear_data(), result::injected);
    EXPECT_EQ(third.read_data(), 6);
}

TEST_F(SimFaults, EveryCallCanBeMadeToFail) {
    CallBuffers b;
    for (const auto& [failing, unused] : every_call(load(), b)) {
        use_state(example_device() + "fault_calls = " + failing + "\n");
        SimLibrary& lib = load();
        ASSERT_EQ(lib.init(5), result::ok) << failing;
        const NamedCalls calls = every_call(lib, b);
        for (const auto& [name, call] : calls) {
            if (name == failing || name == "csp2Restore" || name == "csp2ClearData") continue;
            if (name == "csp2GetPacket" && failing == "csp2ReadData") continue;  // nothing was read
            if (name == "csp2GetPacket") lib.read_data();
            EXPECT_GE(call(), 0) << name << " with " << failing << " failing";
        }
        if (failing == "csp2GetPacket") lib.read_data();
        const auto it = std::find_if(calls.begin(), calls.end(),
                                     [&failing = failing](const auto& c) { return c.first == failing; });
        EXPECT_EQ(it->second(), result::injected) << failing;
    }
    use_state(example_device() + "fault_calls = csp2Init\n");
    EXPECT_EQ(load().init(5), result::injected);

    use_state(example_device() + "fault_calls = csp2Restore\n");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_EQ(lib.restore(), result::injected);
    EXPECT_EQ(lib.init(5), result::already_open) << "a failing restore leaves the port open";
}

TEST_F(SimFaults, LostClockReadsAllOnesUntilSet) {
    use_state(example_device() + "clock_lost = yes\n");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    std::uint8_t clock[6] = {};
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_EQ(std::vector<int>(clock, clock + 6), std::vector<int>(6, 255));
    std::uint8_t set[6] = {9, 5, 14, 23, 3, 7};
    ASSERT_EQ(lib.set_time(set), result::ok);
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_EQ(clock[5], 7);
    EXPECT_EQ(state_text().find("clock_lost"), std::string::npos);
}

}  // namespace
}  // namespace harrowtally::sim_test
