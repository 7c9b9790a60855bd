#pragma once
// The two texts a host configures the scanner with, read without touching the scanner.
//
// Parameter set text: a two-character count N, then N entries of four characters each: the
// parameter number (two characters) and its value (two characters), no separators: "0205011200"
// sets parameter 5 to 1 and parameter 12 to 0.
// Parameter list text: a two-character count N, then N parameter numbers of two characters each.
//
// The count is read strictly (the two characters must be a number as a whole); the fields of a
// set entry are read by leading-number reading (blanks skipped, reading stops at the first
// character that cannot continue a number, nothing readable gives 0); the entries of a list are
// read strictly. Every number is rounded to the nearest integer, halves to even.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/value_conversions.h"

namespace harrowtally {

struct ParameterEntry {
    std::int16_t number = 0;
    std::int32_t value = 0;
    friend bool operator==(const ParameterEntry&, const ParameterEntry&) = default;
};

// Characters per field and per set entry.
inline constexpr std::size_t parameter_field_width = 2;
inline constexpr std::size_t parameter_set_entry_width = 4;

// The first two characters of a set or list text (fewer when the text is shorter).
std::u16string_view parameter_count_text(std::u16string_view text);

// The count of a set or list text; error 13 when its two characters are not a number.
std::int16_t read_parameter_count(std::u16string_view text,
                                  const ValueConversions& conversions = portable_conversions());

// Entry k (from 1) of a set text by leading-number reading; fields beyond the end read as 0.
ParameterEntry read_set_entry(std::u16string_view text, int k);

// Number of complete four-character entries after the count.
int complete_set_entries(std::u16string_view text);

// The entries a set text asks for, checked as a whole before anything reaches the scanner:
// error 13 when the count is not a number, error 5 when the count exceeds the complete entries
// present or an entry's value is outside 0 to 255. A count of 0 or below gives no entry;
// characters after entry N are ignored.
std::vector<ParameterEntry> checked_parameter_set(std::u16string_view text,
                                                  const ValueConversions& conversions = portable_conversions());

// Entry k (from 1) of a list text, read strictly; error 13 when it is not a number, including an
// entry beyond the end of the text.
std::int16_t read_list_entry(std::u16string_view text, int k,
                             const ValueConversions& conversions = portable_conversions());

// The plain form of a set text, as a host asks for it before anything is sent: a two-digit count,
// then exactly that many entries of a two-digit number and a two-digit value, digits only and
// nothing after them; nullopt for any other text.
std::optional<std::vector<ParameterEntry>> plain_parameter_set(std::u16string_view text);
// The plain form of a list text: a two-digit count, then exactly that many two-digit numbers.
std::optional<std::vector<std::int16_t>> plain_parameter_list(std::u16string_view text);

// The list text of `numbers`: their count, then each number, two digits each.
std::u16string parameter_list_text(const std::vector<std::int16_t>& numbers);

}  // namespace harrowtally
