// The built-in device that answers when no state file is named.
#include <ctime>
#include <set>
#include <string>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

using SimDemoDevice = SimTest;

TEST_F(SimDemoDevice, HoldsALastWorkingDayOfValidBarcodesOnPort3) {
    use_builtin_device();
    SimLibrary& lib = load();
    for (int port = 0; port < 16; ++port) {
        if (port != 3) {
            EXPECT_EQ(lib.init(port), result::no_scanner) << port;
        }
    }
    ASSERT_EQ(lib.init(3), result::ok);
    EXPECT_EQ(lib.system_status(), 0);
    const int count = lib.read_data();
    EXPECT_GE(count, 24);
    EXPECT_LE(count, 36);

    std::set<int> types;
    std::set<std::string> days;
    std::string previous_time;
    for (int i = 0; i < count; ++i) {
        const Packet p = split(lib.packet(i));
        types.insert(p.type);
        EXPECT_TRUE(valid_check_character(p.type, p.text)) << i << " type " << p.type << ' ' << p.text;
        const std::string stamp = lib.stamp_text(p.stamp.data());
        days.insert(stamp.substr(11, 8));
        const std::string time = stamp.substr(0, 8);
        EXPECT_GE(time, "07:00:00");
        EXPECT_LE(time, "18:00:00");
        EXPECT_LT(previous_time, time) << "scanned in order";
        previous_time = time;
    }
    EXPECT_EQ(types, (std::set<int>{12, 13, 39, 128}));
    ASSERT_EQ(days.size(), 1u) << "one day's work";

    // That day is a weekday before today, with only weekend days between it and today.
    const std::string day = *days.begin();
    std::tm tm{};
    tm.tm_mon = std::stoi(day.substr(0, 2)) - 1;
    tm.tm_mday = std::stoi(day.substr(3, 2));
    tm.tm_year = 100 + std::stoi(day.substr(6, 2));
    tm.tm_hour = 12;
    const std::time_t scanned = timegm(&tm);
    ASSERT_NE(scanned, static_cast<std::time_t>(-1));
    std::tm scanned_tm{};
    gmtime_r(&scanned, &scanned_tm);
    EXPECT_GE(scanned_tm.tm_wday, 1);
    EXPECT_LE(scanned_tm.tm_wday, 5);

    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    today.tm_hour = 12;
    today.tm_min = today.tm_sec = 0;
    const long days_back = static_cast<long>((timegm(&today) - scanned) / 86400);
    EXPECT_EQ(days_back, today.tm_wday == 1 ? 3 : today.tm_wday == 0 ? 2 : 1);

    char id[9] = {};
    EXPECT_EQ(lib.device_id(id, 9), result::ok);
    char version[10] = {};
    EXPECT_EQ(lib.sw_version(version, 10), result::ok);
    EXPECT_GT(std::string(version).size(), 0u);
}

}  // namespace
}  // namespace harrowtally::sim_test
