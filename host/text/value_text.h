#pragma once
// How `invoke` prints a value: numbers in decimal with "." as the decimal point, Boolean as True
// or False, Date as yyyy-mm-dd hh:mm:ss, Empty as nothing, Null as Null. Typed: TypeName:value,
// with every character of a text below U+0020 and the backslash written as \xNN.
#include <string>

#include "common/variant.h"

namespace harrowtally::host {

std::string value_text(const Variant& value);
std::string format_value(const Variant& value, bool typed);

}  // namespace harrowtally::host
