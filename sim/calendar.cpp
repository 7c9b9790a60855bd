#include "calendar.h"

#include <cstdio>
#include <ctime>

namespace harrowtally::sim {
namespace {

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const std::int64_t kEpochDays = days_from_civil(2000, 1, 1);

constexpr std::string_view kCode39Set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

}  // namespace

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool valid(const DateTime& t) {
    return t.year >= 1 && t.year <= 9999 && t.day >= 1 && t.day <= days_in_month(t.year, t.month) && t.hour >= 0 &&
           t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::int64_t to_seconds(const DateTime& t) {
    const std::int64_t days = days_from_civil(t.year, t.month, t.day) - kEpochDays;
    return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

DateTime from_seconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    DateTime t;
    civil_from_days(days + kEpochDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

DateTime local_now() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int weekday(const DateTime& t) {
    // 1 January 1970 was a Thursday (3 counting from Monday).
    const std::int64_t days = days_from_civil(t.year, t.month, t.day);
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

std::string format_date_time(const DateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

bool parse_date_time(std::string_view text, DateTime& out) {
    static constexpr std::string_view kLayout = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kLayout.size()) return false;
    int fields[6] = {};
    int field = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kLayout[i] == 'd') {
            if (text[i] < '0' || text[i] > '9') return false;
            fields[field] = fields[field] * 10 + (text[i] - '0');
        } else {
            if (text[i] != kLayout[i]) return false;
            ++field;
        }
    }
    const DateTime t{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    if (!valid(t)) return false;
    out = t;
    return true;
}

bool packable(const DateTime& t) {
    return valid(t) && t.year >= 2000 && t.year <= 2063;
}

Stamp pack_stamp(const DateTime& t) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(t.second & 0x3F) | static_cast<std::uint32_t>(t.minute & 0x3F) << 6 |
        static_cast<std::uint32_t>(t.hour & 0x1F) << 12 | static_cast<std::uint32_t>(t.day & 0x1F) << 17 |
        static_cast<std::uint32_t>(t.month & 0x0F) << 22 | static_cast<std::uint32_t>((t.year - 2000) & 0x3F) << 26;
    return Stamp{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                 static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

DateTime unpack_stamp(const std::uint8_t* stamp) {
    const std::uint32_t bits = static_cast<std::uint32_t>(stamp[0]) | static_cast<std::uint32_t>(stamp[1]) << 8 |
                               static_cast<std::uint32_t>(stamp[2]) << 16 | static_cast<std::uint32_t>(stamp[3]) << 24;
    DateTime t;
    t.second = static_cast<int>(bits & 0x3F);
    t.minute = static_cast<int>(bits >> 6 & 0x3F);
    t.hour = static_cast<int>(bits >> 12 & 0x1F);
    t.day = static_cast<int>(bits >> 17 & 0x1F);
    t.month = static_cast<int>(bits >> 22 & 0x0F);
    t.year = 2000 + static_cast<int>(bits >> 26 & 0x3F);
    return t;
}

char gs1_check_digit(std::string_view digits) {
    // Weights 3 and 1 alternate from the rightmost data digit, which weighs 3.
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it < '0' || *it > '9') return '\0';
        sum += (*it - '0') * weight;
        weight = 4 - weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

char code39_check_char(std::string_view data) {
    std::size_t sum = 0;
    for (char c : data) {
        const std::size_t value = kCode39Set.find(c);
        if (value == std::string_view::npos) return '\0';
        sum += value;
    }
    return kCode39Set[sum % 43];
}

}  // namespace harrowtally::sim
