#pragma once
// Conversions of variants and texts as the platform's automation runtime does them: numbers round
// half to even, text is read as a number, null gives 94, what cannot convert gives 13, a value that
// does not fit gives 6.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/variant.h"

namespace harrowtally {

// The separators and currency symbol of the user's locale; the core defaults to those of en-US, the
// Windows layer passes the user's (no currency symbol when the locale's has more than one character).
struct NumberFormat {
    char16_t decimal_point = u'.';
    char16_t group_separator = u',';
    char16_t currency_symbol = u'$';
};

long double round_half_even(long double v);

// The numeric value of a variant (Empty is 0, Boolean -1/0, Date its day count, text read strictly).
long double to_number(const Variant& v, const NumberFormat& fmt = {});
std::int16_t to_integer(const Variant& v, const NumberFormat& fmt = {});
std::int32_t to_long(const Variant& v, const NumberFormat& fmt = {});
// Rounds half to even and checks the 16-bit and 32-bit ranges (error 6).
std::int16_t round_to_integer(long double v);
std::int32_t round_to_long(long double v);

// The platform's standard conversion to text: Empty is "", numbers in decimal with the locale's
// decimal point, Boolean True/False, dates in the short date and long time form.
std::u16string to_text(const Variant& v, const NumberFormat& fmt = {});

// Strict reading: the whole text (blanks around it allowed) must be one number, which may carry the
// currency symbol and a plus and a minus sign before or after it and stand in parentheses for a
// negative number ("$3", "3-", "+-3", "(3)"); an exponent is marked with "E" only. A text ends at
// its first null character, as the platform reads it.
std::optional<long double> parse_number(std::u16string_view text, const NumberFormat& fmt = {});

// Leading-number reading: blanks are skipped, a number is read up to the first character that cannot
// continue it, and a text that does not begin with a number reads as 0.
long double leading_number(std::u16string_view text);

// Text of a double with up to 15 significant digits, as the runtime writes it ("0.5", "1E+20").
std::u16string format_double(double v, int significant_digits, const NumberFormat& fmt = {});

}  // namespace harrowtally
