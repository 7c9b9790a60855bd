#include "host/output/name_pattern.h"

#include <cstdio>

namespace harrowtally::host {
namespace {

constexpr std::string_view date_field = "{date}";
constexpr std::string_view time_field = "{time}";

std::string two_digits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

}  // namespace

std::string expanded_output_name(std::string_view pattern, const LocalDateTime& now) {
    char year[8];
    std::snprintf(year, sizeof year, "%04d", now.year);
    const std::string date = std::string(year) + "-" + two_digits(now.month) + "-" + two_digits(now.day);
    const std::string time = two_digits(now.hour) + two_digits(now.minute) + two_digits(now.second);
    std::string name;
    name.reserve(pattern.size() + 8);
    while (!pattern.empty()) {
        if (pattern.starts_with(date_field)) {
            name += date;
            pattern.remove_prefix(date_field.size());
        } else if (pattern.starts_with(time_field)) {
            name += time;
            pattern.remove_prefix(time_field.size());
        } else {
            name += pattern.front();
            pattern.remove_prefix(1);
        }
    }
    return name;
}

}  // namespace harrowtally::host
