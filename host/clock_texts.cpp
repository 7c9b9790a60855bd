#include "host/clock_texts.h"

#include <cstdio>

#include "common/clock.h"
#include "common/date_value.h"

namespace harrowtally::host {

std::optional<double> clock_text_value(std::u16string_view clock_text) {
    if (clock_text.size() != 12) return std::nullopt;
    int field[6] = {};
    for (int k = 0; k < 6; ++k) {
        const char16_t tens = clock_text[2 * k], ones = clock_text[2 * k + 1];
        if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9') return std::nullopt;
        field[k] = (tens - u'0') * 10 + (ones - u'0');
    }
    const int year = expand_two_digit_year(field[5]);
    if (!is_valid_date(year, field[4], field[3]) || !is_valid_time(field[2], field[1], field[0])) return std::nullopt;
    return date_serial(year, field[4], field[3]) + time_serial(field[2], field[1], field[0]);
}

std::string date_value_text(double value) {
    const DateTimeParts p = split_date(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

std::optional<std::string> clock_text_time(std::u16string_view clock_text) {
    const auto value = clock_text_value(clock_text);
    if (!value) return std::nullopt;
    return date_value_text(*value);
}

std::u16string local_clock_text(std::chrono::seconds ahead) {
    SystemClock clock;
    const LocalDateTime t = clock.local_now();
    const double value = date_serial(t.year, t.month, t.day) + time_serial(t.hour, t.minute, t.second) +
                         static_cast<double>(ahead.count()) / 86400;
    const DateTimeParts p = split_date(value);
    const int fields[6] = {p.second, p.minute, p.hour, p.day, p.month, p.year % 100};
    std::u16string text;
    for (int field : fields) {
        text += static_cast<char16_t>(u'0' + field / 10);
        text += static_cast<char16_t>(u'0' + field % 10);
    }
    return text;
}

}  // namespace harrowtally::host
