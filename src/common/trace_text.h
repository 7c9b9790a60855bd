#pragma once
// Pieces of the trace text and the clock text.
#include <cstdint>
#include <string>

#include "common/clock.h"

namespace harrowtally {

// Signed decimal: -1, 0, 12.
std::u16string decimal_text(long long v);
// At least two digits, a leading zero where needed; the sign stays in front: 3 -> 03, -3 -> -03.
std::u16string two_digit_text(long long v);
// HHMMSS of a time of day.
std::u16string hhmmss_text(const TimeOfDay& t);
// Upper-case hexadecimal without leading zeros: 0 -> 0, 26 -> 1A.
std::u16string hex_text(std::uint32_t v);

}  // namespace harrowtally
