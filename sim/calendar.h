#pragma once
// Calendar arithmetic, the packed 4-byte scan time and the check characters of the symbologies the
// simulated scanner stores.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace harrowtally::sim {

struct DateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool valid(const DateTime& t);
int days_in_month(int year, int month);

// Seconds since 1 January 2000 00:00:00 of a calendar date and time (no time zone), and back.
std::int64_t to_seconds(const DateTime& t);
DateTime from_seconds(std::int64_t seconds);

// The computer's local date and time, whole seconds.
DateTime local_now();

// Monday is 0, Sunday is 6.
int weekday(const DateTime& t);

// "YYYY-MM-DD HH:MM:SS"; parsing is strict about the layout and requires a real date and time.
std::string format_date_time(const DateTime& t);
bool parse_date_time(std::string_view text, DateTime& out);

// The scan time packed into 4 bytes, least significant first: seconds in bits 0-5, minutes 6-11,
// hours 12-16, day 17-21, month 22-25, year - 2000 in 26-31. Years 2000 to 2063 fit.
using Stamp = std::array<std::uint8_t, 4>;
bool packable(const DateTime& t);
Stamp pack_stamp(const DateTime& t);
DateTime unpack_stamp(const std::uint8_t* stamp);

// Check characters: the modulo-10 digit of the GS1 family (EAN-8, EAN-13, UPC-A, GTIN-14, SSCC)
// over the digits given, and the modulo-43 character of Code 39 over its data characters. Both
// return '\0' when the data holds a character the scheme does not know.
char gs1_check_digit(std::string_view digits);
char code39_check_char(std::string_view data);

}  // namespace harrowtally::sim
