// The connection rules and the data layout of the simulated scanner, through its exported functions.
#include <algorithm>
#include <ctime>
#include <string>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

const std::string kDevice =
    "port = 5\n"
    "device_id = 01 AB 00 FF 10 20 30 40\n"
    "sw_version = V1.2\n"
    "protocol = 2\n"
    "rtc_mode = 1\n"
    "default 20 = 9\n"
    "param 7 = 200\n"
    "barcode = EAN-13 2026-03-09 08:05:07 4006381333931\n"
    "barcode = Code39 2063-12-31 23:59:59  LOT 2026/11Z \n"
    "barcode = 200 2000-01-01 00:00:00\n";

using SimDevice = SimTest;

TEST_F(SimDevice, OpensOnlyOnItsPortAndOnlyOnceUntilRestored) {
    use_state(kDevice + "port = 999\n");
    SimLibrary& lib = load();
    for (int port : {0, 3, 5, 15, 16, -1, 1000}) EXPECT_EQ(lib.init(port), result::no_scanner) << port;
    ASSERT_EQ(lib.init(999), result::ok);
    EXPECT_EQ(lib.init(999), result::already_open);
    EXPECT_EQ(lib.init(5), result::already_open);
    EXPECT_EQ(lib.restore(), result::ok);
    EXPECT_EQ(lib.init(999), result::ok);
}

TEST_F(SimDevice, PortBoundCallsFailWithoutAnOpenPortAndTouchNoBuffer) {
    use_state(kDevice);
    SimLibrary& lib = load();
    CallBuffers b;
    b.bytes.fill('\x55');
    const CallBuffers untouched = b;
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, call] : every_call(lib, b)) {
            if (name == "csp2Restore" || name == "csp2TimeStamp2Str" || name == "csp2GetSwVersion") continue;
            EXPECT_EQ(call(), result::not_open) << name << " round " << round;
        }
        EXPECT_EQ(b.bytes, untouched.bytes);
        EXPECT_EQ(b.clock, untouched.clock);
        // Opening and closing once gives no lasting permission.
        ASSERT_EQ(lib.init(5), result::ok);
        ASSERT_EQ(lib.read_data(), 3);
        ASSERT_EQ(lib.restore(), result::ok);
    }
    EXPECT_NE(state_text().find("4006381333931"), std::string::npos) << "nothing was erased";
    char version[10] = {};
    EXPECT_EQ(lib.sw_version(version, 10), result::ok) << "the version needs no port";
    EXPECT_STREQ(version, "V1.2");
}

TEST_F(SimDevice, ReadDataLoadsThePacketsThatGetPacketReturns) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_TRUE(lib.packet(0).empty()) << "no packets before csp2ReadData";
    ASSERT_EQ(lib.read_data(), 3);

    const std::vector<Packet> expected = {
        {13, "4006381333931", {}},
        {39, "LOT 2026/11Z", {}},
        {200, "", {}},
    };
    const std::vector<std::string> stamps = {"08:05:07   03/09/26", "23:59:59   12/31/63", "00:00:00   01/01/00"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Packet p = split(lib.packet(static_cast<int>(i)));
        EXPECT_EQ(p.type, expected[i].type) << i;
        EXPECT_EQ(p.text, expected[i].text) << i;
        EXPECT_EQ(lib.stamp_text(p.stamp.data()), stamps[i] + std::string(11, '\0')) << i;
    }
    EXPECT_TRUE(lib.packet(3).empty());
    EXPECT_TRUE(lib.packet(-1).empty());
    char small[8] = {'\x55'};
    EXPECT_EQ(lib.get_packet(small, 0, 8), result::bad_argument);
    EXPECT_EQ(small[0], '\x55');

    lib.restore();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_TRUE(lib.packet(0).empty()) << "closing the port drops the packets";
}

TEST_F(SimDevice, TextResultsRespectTheBufferLength) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    ASSERT_EQ(lib.read_data(), 3);
    Packet p = split(lib.packet(0));
    const auto id = [&](char* b, int n) { return lib.device_id(b, n); };
    const auto version = [&](char* b, int n) { return lib.sw_version(b, n); };
    const auto stamp = [&](char* b, int n) { return lib.stamp_to_text(p.stamp.data(), b, n); };
    struct Case {
        std::function<int(char*, int)> call;
        int max_length;
        std::string written;  // every byte the call may write
        int result;
    };
    const std::vector<Case> cases = {
        {id, 9, std::string("\x01\xAB\x00\xFF\x10\x20\x30\x40\0", 9), result::ok},
        {id, 8, std::string("\x01\xAB\x00\xFF\x10\x20\x30\x40", 8), result::ok},
        {id, 3, std::string("\x01\xAB\x00", 3), result::bad_argument},
        {version, 10, std::string("V1.2\0", 5), result::ok},
        {version, 3, std::string("V1\0", 3), result::bad_argument},
        {stamp, 30, std::string("08:05:07   03/09/26\0", 20), result::ok},
        {stamp, 12, std::string("08:05:07   \0", 12), result::bad_argument},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string buffer(40, '\x55');
        EXPECT_EQ(cases[i].call(buffer.data(), cases[i].max_length), cases[i].result) << i;
        EXPECT_EQ(buffer, cases[i].written + std::string(40 - cases[i].written.size(), '\x55')) << i;
    }
}

TEST_F(SimDevice, ParametersHaveDefaultsAndAreWritten) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    const std::vector<std::pair<int, int>> initial = {{0, 0}, {3, 3}, {99, 3}, {20, 9}, {7, 200}, {100, -1}, {-1, -1}};
    for (const auto& [n, value] : initial) EXPECT_EQ(lib.param(n), value) << n;
    EXPECT_EQ(lib.protocol(), 2);
    EXPECT_EQ(lib.ascii_mode(), 0);
    EXPECT_EQ(lib.rtc_mode(), 1);

    char value[10] = {'\xFF', 0, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    EXPECT_EQ(lib.set_param(42, value, 2), result::ok);
    EXPECT_EQ(lib.param(42), 255);
    EXPECT_EQ(lib.set_param(100, value, 2), result::bad_argument);
    EXPECT_EQ(lib.set_param(1, value, 0), result::bad_argument);
    EXPECT_EQ(lib.set_defaults(), result::ok);
    for (const auto& [n, value] : std::vector<std::pair<int, int>>{{7, 3}, {20, 9}, {42, 2}}) {
        EXPECT_EQ(lib.param(n), value) << n;
    }
}

// A clock buffer as seconds since 1970, read as a date of this century.
long long clock_seconds(const std::uint8_t* c) {
    std::tm tm{};
    tm.tm_sec = c[0];
    tm.tm_min = c[1];
    tm.tm_hour = c[2];
    tm.tm_mday = c[3];
    tm.tm_mon = c[4] - 1;
    tm.tm_year = 100 + c[5];
    return static_cast<long long>(timegm(&tm));
}

TEST_F(SimDevice, ClockRunsOnFromTheTimeSet) {
    use_state(kDevice + "clock_offset = 3600\n");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    std::uint8_t clock[6] = {};
    ASSERT_EQ(lib.get_time(clock), result::ok);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_NEAR(clock_seconds(clock) - static_cast<long long>(timegm(&local)), 3600, 2);

    std::uint8_t set[6] = {9, 5, 14, 23, 3, 7};  // 14:05:09 on 23 March 2007
    ASSERT_EQ(lib.set_time(set), result::ok);
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_NEAR(clock_seconds(clock) - clock_seconds(set), 0, 2);

    for (std::array<std::uint8_t, 6> bad : {std::array<std::uint8_t, 6>{60, 0, 0, 1, 1, 7},
                                            {0, 0, 24, 1, 1, 7},
                                            {0, 0, 0, 29, 2, 7},
                                            {0, 0, 0, 1, 13, 7},
                                            {0, 0, 0, 0, 1, 7}}) {
        EXPECT_EQ(lib.set_time(bad.data()), result::bad_argument);
    }
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_EQ(clock[5], 7) << "refused clock values change nothing";
}

}  // namespace
}  // namespace harrowtally::sim_test
