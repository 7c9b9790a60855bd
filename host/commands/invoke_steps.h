#pragma once
// The steps of `invoke`, read without running anything: NAME reads a property or calls a method,
// NAME=VALUE assigns, VALUE written as a VBScript literal.
#include <optional>
#include <string>
#include <string_view>

#include "common/variant.h"

namespace harrowtally::host {

struct Step {
    std::string name;
    std::optional<Variant> value;  // present for an assignment
};

// Throws UsageError for a malformed step: an empty name, a name that is not an identifier, or a
// value that starts a string or date literal without being one.
Step parse_step(std::string_view text);

// VBScript literal reading: an integer is Integer when it fits 16 bits, else Long, else Double; a
// number with a decimal point or an exponent is Double; "..." is String ("" inside for a quote);
// True, False, Null and Empty in any case; #yyyy-mm-dd hh:mm:ss# is a Date; anything else,
// including nothing at all, is the String as written. Blanks around the value are dropped.
Variant parse_value(std::string_view text);

}  // namespace harrowtally::host
