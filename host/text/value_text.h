#pragma once
// Values and dates as the host writes them, and names compared as the automation runtime compares
// them. How `invoke` prints a value: numbers in decimal with "." as the decimal point, Boolean as
// True or False, Date as yyyy-mm-dd hh:mm:ss, Empty as nothing, Null as Null. Typed:
// TypeName:value, with every character of a text below U+0020 and the backslash written as \xNN.
#include <optional>
#include <string>
#include <string_view>

#include "common/variant.h"

namespace harrowtally::host {

std::string value_text(const Variant& value);
std::string format_value(const Variant& value, bool typed);

// A valid date value as "YYYY-MM-DD hh:mm:ss".
std::string date_value_text(double value);

// The scanner's clock text as "YYYY-MM-DD hh:mm:ss"; nullopt when it states no date and time.
std::optional<std::string> clock_text_time(std::u16string_view clock_text);

// ASCII letters without regard to case, as the automation runtime matches names.
bool equals_ignoring_case(std::string_view a, std::string_view b);

}  // namespace harrowtally::host
