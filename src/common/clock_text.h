#pragma once
// The scanner's clock as 6 bytes (seconds, minutes, hours, day, month, year within the century)
// and as 12 decimal digits in the same order.
#include <array>
#include <cstdint>
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

}  // namespace harrowtally
