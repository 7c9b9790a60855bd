#pragma once
// The scan time of a barcode, read from the text that the scanner library makes of a packet's
// 4-byte time stamp. The text holds a time of day in its first 11 characters and somewhere after
// it a date written month/day/year with two-digit fields.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally {

// Width of the text buffer handed to csp2TimeStamp2Str.
inline constexpr std::size_t stamp_text_width = 30;

// The library writes "63" or "??" into some fields of the text; each first occurrence that does
// not start the text is overwritten with "00" ("63" first, then "??"). Later occurrences stay.
void mask_stamp_fields(std::u16string& text);

// The date value of a masked stamp text, searched over all its characters:
// - the month is the 2 characters before the first "/", the day lies between the first and the
//   second "/", the year is the 2 characters after the second "/" (00-99 is 2000-2099);
// - each field may carry blanks around 1 or 2 decimal digits and must make a real calendar date,
//   else the value is 1 January 2001 00:00:00;
// - with a valid date, a time of day in the first 11 characters is added: H:MM or H:MM:SS with
//   1- or 2-digit fields, an optional AM/PM, blanks around it; the text is cut at its first NUL.
// Throws RuntimeError(5) when the text has no "/", its first "/" is its first or second
// character, or there is no second "/".
double stamp_date_value(std::u16string_view text);

// The date value 1 January 2001 that stands for a stamp whose date is not a calendar date.
inline constexpr double unreadable_stamp_date = 36892.0;
// As stamp_date_value, with nullopt instead of that date.
std::optional<double> stamp_date(std::u16string_view text);

}  // namespace harrowtally
