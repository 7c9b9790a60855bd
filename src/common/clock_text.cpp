#include "common/clock_text.h"

#include <string>

#include "common/conversions.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"

namespace harrowtally {

ClockSnapshot clock_snapshot(const ClockBuffer& buffer) {
    ClockSnapshot snap{std::u16string(12, u'0'), u'H'};
    for (std::size_t k = 0; k < buffer.size(); ++k) {
        const unsigned v = buffer[k];
        if (k == 0 && v == 255) {
            snap.flag = u'L';
            snap.text[0] = u'0';
            snap.text[1] = u'0';
            continue;
        }
        std::string digits = std::to_string(v);
        if (digits.size() < 2) digits.insert(digits.begin(), '0');
        snap.text[2 * k] = static_cast<char16_t>(digits[0]);
        snap.text[2 * k + 1] = static_cast<char16_t>(digits[1]);
    }
    return snap;
}

ClockBuffer clock_buffer_from_text(std::u16string_view text) {
    ClockBuffer buffer{};
    for (std::size_t k = 0; k < buffer.size(); ++k) {
        const std::size_t pos = 2 * k;
        const std::u16string_view pair = pos < text.size() ? text.substr(pos, 2) : std::u16string_view{};
        const long double v = round_half_even(leading_number(pair));
        if (v < 0 || v > 255) throw RuntimeError(err::invalid_call);
        buffer[k] = static_cast<std::uint8_t>(v);
    }
    return buffer;
}

ClockBuffer clock_buffer_from(const LocalDateTime& t) {
    return {static_cast<std::uint8_t>(t.second), static_cast<std::uint8_t>(t.minute),
            static_cast<std::uint8_t>(t.hour),   static_cast<std::uint8_t>(t.day),
            static_cast<std::uint8_t>(t.month),  static_cast<std::uint8_t>(((t.year % 100) + 100) % 100)};
}

std::optional<double> clock_text_date_value(std::u16string_view text) {
    if (text.size() != 12) return std::nullopt;
    int field[6] = {};
    for (std::size_t k = 0; k < 6; ++k) {
        const char16_t tens = text[2 * k], ones = text[2 * k + 1];
        if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9') return std::nullopt;
        field[k] = (tens - u'0') * 10 + (ones - u'0');
    }
    const int year = expand_two_digit_year(field[5]);
    if (!is_valid_date(year, field[4], field[3]) || !is_valid_time(field[2], field[1], field[0])) return std::nullopt;
    return date_serial(year, field[4], field[3]) + time_serial(field[2], field[1], field[0]);
}

std::u16string clock_text_of(double date_value) {
    const DateTimeParts p = split_date(date_value);
    return clock_snapshot(clock_buffer_from(LocalDateTime{p.year, p.month, p.day, p.hour, p.minute, p.second})).text;
}

}  // namespace harrowtally
