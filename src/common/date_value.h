#pragma once
// Date values: days since 30 December 1899 00:00 as a double, the time of day as the fraction.
#include <string>

namespace harrowtally {

struct DateTimeParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

bool is_valid_date(int year, int month, int day);
bool is_valid_time(int hour, int minute, int second);
// Day count of a valid calendar date.
double date_serial(int year, int month, int day);
// Fraction of a day of a valid time of day.
double time_serial(int hour, int minute, int second);
// Date values the calendar can show: 1 January 100 to 31 December 9999.
bool is_valid_date_value(double value);
// A date value split into calendar and clock fields, rounded to the second; only for valid date values.
DateTimeParts split_date(double value);
// A two-digit year of the scanner's clock or time stamps: 00-99 are 2000-2099. No scanner's clock
// or stamp predates the scanner, so no year of the last century is meant.
int expand_two_digit_year(int yy);

}  // namespace harrowtally
