#pragma once
// The scanner's clock as 6 bytes (seconds, minutes, hours, day, month, year within the century)
// and as 12 decimal digits in the same order.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"

namespace harrowtally {

using ClockBuffer = std::array<std::uint8_t, 6>;

struct ClockSnapshot {
    std::u16string text;  // 12 characters
    char16_t flag;        // 'H', or 'L' when the first byte was 255
};

// The snapshot of a clock buffer: each byte as its first two decimal digits (7 -> 07, 123 -> 12);
// a first byte of 255 gives flag L and "00".
ClockSnapshot clock_snapshot(const ClockBuffer& buffer);

// A clock text read pair by pair, leading-number reading, halves to even; missing pairs give 0.
// A value outside 0 to 255 throws RuntimeError(5).
ClockBuffer clock_buffer_from_text(std::u16string_view text);

// The buffer for a local date and time, year modulo 100.
ClockBuffer clock_buffer_from(const LocalDateTime& t);

// The date value a clock text states: exactly 12 digits of a real date and time (years 00 to 99
// are 2000 to 2099); nullopt for any other text, a lost clock's included.
std::optional<double> clock_text_date_value(std::u16string_view text);

// The clock text of a date value from 2000 to 2099, as a snapshot of a clock holding it shows it.
std::u16string clock_text_of(double date_value);

}  // namespace harrowtally
