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

// Whether a stamp's own text, masked in a buffer of its own, gives the date value `date`: the
// component reads the whole buffer, where a shorter stamp leaves the end of the one before it, so a
// date found only there is not this stamp's.
bool stamp_text_gives(std::u16string_view stamp_text, double date);

// The date and time a stamp text states exactly, for checking a copy that keeps only the scan time:
// the whole text is a time of day with seconds (h:mm:ss, hours 0-23, or 1-12 followed by AM or PM)
// and a date MM/DD/YY (month and day of one or two digits, a year of two: 2000-2099), blanks
// around and between them and nothing else. nullopt for any other text, a masked one included:
// such a stamp states no time the component's scan time can be checked against.
std::optional<double> stamp_exact_time(std::u16string_view text);

}  // namespace harrowtally
