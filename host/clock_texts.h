#pragma once
// The scanner's clock text (seconds, minutes, hours, day, month, two-digit year; two digits each)
// and date values, as the commands read and write them.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally::host {

// A clock text as a date value; nullopt when its digits do not form a date and time.
std::optional<double> clock_text_value(std::u16string_view clock_text);
// A valid date value as "YYYY-MM-DD hh:mm:ss".
std::string date_value_text(double value);

// The clock text as "YYYY-MM-DD hh:mm:ss"; nullopt when its digits do not form a date and time.
std::optional<std::string> clock_text_time(std::u16string_view clock_text);

// The clock text of the computer's local time, `ahead` from now.
std::u16string local_clock_text(std::chrono::seconds ahead = std::chrono::seconds(0));

}  // namespace harrowtally::host
