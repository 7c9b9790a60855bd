// The connection rules and the data layout of the simulated scanner, through its exported functions.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

const std::string kDevice =
    "port = 5\n"
    "device_id = 01 AB 00 FF 10 20 30 40\n"
    "sw_version = V1.2\n"
    "protocol = 2\n"
    "ascii_mode = 0\n"
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
    std::vector<char> buffer(500, '\x55');
    std::uint8_t clock[6] = {5, 17, 10, 6, 12, 26};
    const std::vector<std::pair<const char*, std::function<int()>>> calls = {
        {"WakeUp", [&] { return lib.wake_up(); }},
        {"Interrogate", [&] { return lib.interrogate(); }},
        {"PowerDown", [&] { return lib.power_down(); }},
        {"ReadData", [&] { return lib.read_data(); }},
        {"GetPacket", [&] { return lib.get_packet(buffer.data(), 0, 500); }},
        {"GetDeviceId", [&] { return lib.device_id(buffer.data(), 9); }},
        {"GetSystemStatus", [&] { return lib.system_status(); }},
        {"ClearData", [&] { return lib.clear_data(); }},
        {"GetTime", [&] { return lib.get_time(clock); }},
        {"SetTime", [&] { return lib.set_time(clock); }},
        {"SetDefaults", [&] { return lib.set_defaults(); }},
        {"GetParam", [&] { return lib.get_param(7, buffer.data(), 10); }},
        {"SetParam", [&] { return lib.set_param(7, buffer.data(), 2); }},
        {"GetProtocol", [&] { return lib.protocol(); }},
        {"GetASCIIMode", [&] { return lib.ascii_mode(); }},
        {"GetRTCMode", [&] { return lib.rtc_mode(); }},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, call] : calls) EXPECT_EQ(call(), result::not_open) << name << " round " << round;
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), '\x55'), 500);
        EXPECT_EQ(clock[0], 5);
        // Open and close once: closing takes the permission away again.
        ASSERT_EQ(lib.init(5), result::ok);
        ASSERT_EQ(lib.read_data(), 3);
        ASSERT_EQ(lib.restore(), result::ok);
    }
    EXPECT_NE(state_text().find("4006381333931"), std::string::npos) << "nothing was erased";

    // The version and the stamp conversion need no port.
    char version[10] = {};
    EXPECT_EQ(lib.sw_version(version, 10), result::ok);
    EXPECT_STREQ(version, "V1.2");
}

TEST_F(SimDevice, ReadDataLoadsThePacketsThatGetPacketReturns) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_TRUE(lib.packet(0).empty()) << "no packets before csp2ReadData";
    ASSERT_EQ(lib.read_data(), 3);

    struct Expected {
        int type;
        std::string text;
        std::string stamp;
    };
    const std::vector<Expected> expected = {
        {13, "4006381333931", "08:05:07   03/09/26"},
        {39, "LOT 2026/11Z", "23:59:59   12/31/63"},
        {200, "", "00:00:00   01/01/00"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Packet p = split(lib.packet(static_cast<int>(i)));
        EXPECT_EQ(p.type, expected[i].type) << i;
        EXPECT_EQ(p.text, expected[i].text) << i;
        const std::string text = lib.stamp_text(p.stamp.data());
        EXPECT_EQ(text.substr(0, 20), expected[i].stamp + '\0') << i;
        EXPECT_EQ(text.find_first_not_of('\0', 20), std::string::npos) << "the rest of the buffer is untouched";
    }
    EXPECT_TRUE(lib.packet(3).empty());
    EXPECT_TRUE(lib.packet(-1).empty());

    // A buffer too short for the packet gets nothing.
    char small[8];
    std::memset(small, '\x55', sizeof small);
    EXPECT_EQ(lib.get_packet(small, 0, 8), result::bad_argument);
    EXPECT_EQ(small[0], '\x55');

    // Closing the port drops the packets.
    lib.restore();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_TRUE(lib.packet(0).empty());
}

TEST_F(SimDevice, TextResultsRespectTheBufferLength) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    ASSERT_EQ(lib.read_data(), 3);
    const Packet p = split(lib.packet(0));

    struct Case {
        const char* what;
        std::function<int(char*, int)> call;
        int max_length;
        std::string written;  // the bytes the call may write, NUL included
        int result;
    };
    const std::vector<Case> cases = {
        {"id", [&](char* b, int n) { return lib.device_id(b, n); }, 9,
         std::string("\x01\xAB\x00\xFF\x10\x20\x30\x40\0", 9), result::ok},
        {"id", [&](char* b, int n) { return lib.device_id(b, n); }, 8,
         std::string("\x01\xAB\x00\xFF\x10\x20\x30\x40", 8), result::ok},
        {"id", [&](char* b, int n) { return lib.device_id(b, n); }, 3, std::string("\x01\xAB\x00", 3),
         result::bad_argument},
        {"version", [&](char* b, int n) { return lib.sw_version(b, n); }, 10, std::string("V1.2\0", 5), result::ok},
        {"version", [&](char* b, int n) { return lib.sw_version(b, n); }, 3, std::string("V1\0", 3),
         result::bad_argument},
        {"stamp", [&](char* b, int n) { return lib.stamp_to_text(const_cast<std::uint8_t*>(p.stamp.data()), b, n); },
         30, std::string("08:05:07   03/09/26\0", 20), result::ok},
        {"stamp", [&](char* b, int n) { return lib.stamp_to_text(const_cast<std::uint8_t*>(p.stamp.data()), b, n); },
         12, std::string("08:05:07   \0", 12), result::bad_argument},
    };
    for (const Case& c : cases) {
        std::string buffer(40, '\x55');
        EXPECT_EQ(c.call(buffer.data(), c.max_length), c.result) << c.what << ' ' << c.max_length;
        EXPECT_EQ(buffer.substr(0, c.written.size()), c.written) << c.what << ' ' << c.max_length;
        EXPECT_EQ(buffer.find_first_not_of('\x55', c.written.size()), std::string::npos)
            << c.what << " wrote past " << c.written.size();
    }
}

TEST_F(SimDevice, ParametersHaveDefaultsAndAreWritten) {
    use_state(kDevice);
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_EQ(lib.param(0), 0);
    EXPECT_EQ(lib.param(3), 3);
    EXPECT_EQ(lib.param(99), 3);
    EXPECT_EQ(lib.param(20), 9);
    EXPECT_EQ(lib.param(7), 200);
    EXPECT_EQ(lib.param(100), -1);
    EXPECT_EQ(lib.param(-1), -1);
    EXPECT_EQ(lib.protocol(), 2);
    EXPECT_EQ(lib.ascii_mode(), 0);
    EXPECT_EQ(lib.rtc_mode(), 1);

    char value[10] = {'\xFF', 0, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    EXPECT_EQ(lib.set_param(42, value, 2), result::ok);
    EXPECT_EQ(lib.param(42), 255);
    EXPECT_EQ(lib.set_param(100, value, 2), result::bad_argument);
    EXPECT_EQ(lib.set_param(1, value, 0), result::bad_argument);
    EXPECT_EQ(lib.set_defaults(), result::ok);
    for (int n : {7, 20, 42}) EXPECT_EQ(lib.param(n), n == 20 ? 9 : n % 4) << n;
}

// Seconds between two clock buffers read as dates of this century.
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
    const long long local_now = static_cast<long long>(timegm(&local));
    EXPECT_NEAR(clock_seconds(clock) - local_now, 3600, 2);

    std::uint8_t set[6] = {9, 5, 14, 23, 3, 7};  // 14:05:09 on 23 March 2007
    ASSERT_EQ(lib.set_time(set), result::ok);
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_NEAR(clock_seconds(clock) - clock_seconds(set), 0, 2);

    // Invalid clock values are refused and change nothing.
    for (std::array<std::uint8_t, 6> bad : {std::array<std::uint8_t, 6>{60, 0, 0, 1, 1, 7},
                                            {0, 0, 24, 1, 1, 7},
                                            {0, 0, 0, 29, 2, 7},
                                            {0, 0, 0, 1, 13, 7},
                                            {0, 0, 0, 0, 1, 7}}) {
        EXPECT_EQ(lib.set_time(bad.data()), result::bad_argument);
    }
    ASSERT_EQ(lib.get_time(clock), result::ok);
    EXPECT_EQ(clock[5], 7);
    EXPECT_EQ(clock[4], 3);
}

}  // namespace
}  // namespace harrowtally::sim_test
