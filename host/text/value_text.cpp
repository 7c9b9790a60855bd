#include "host/text/value_text.h"

#include <cstdio>

#include "common/clock_text.h"
#include "common/conversions.h"
#include "common/date_value.h"
#include "common/text.h"
#include "host/text/terminal_text.h"

namespace harrowtally::host {
namespace {

std::string type_label(const Variant& value) {
    if (value.type() == VarType::Object && !value.as_object()) return "Nothing";
    return type_name(value.type());
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string value_text(const Variant& value) {
    switch (value.type()) {
        case VarType::Empty:
            return {};
        case VarType::Null:
            return "Null";
        case VarType::Date:
            return date_value_text(value.as_real());
        case VarType::Object:
            return value.as_object() ? "Object" : "Nothing";
        case VarType::Error:
            return "Error " + std::to_string(value.as_signed());
        case VarType::Array: {
            const auto* items = dynamic_cast<const VariantArray*>(value.as_array().get());
            std::string out = "(";
            if (items != nullptr) {
                for (std::size_t i = 0; i < items->items().size(); ++i) {
                    if (i > 0) out += ", ";
                    out += value_text(items->items()[i]);
                }
            }
            return out + ")";
        }
        default:
            // Numbers, Boolean and text; the default number format writes "." as the decimal point.
            return to_utf8(to_text(value));
    }
}

std::string format_value(const Variant& value, bool typed) {
    if (!typed) return value_text(value);
    const std::string text =
        value.type() == VarType::String ? terminal_text(value.as_string(), {.backslash = true}) : value_text(value);
    return type_label(value) + ":" + text;
}

std::string date_value_text(double value) {
    const DateTimeParts p = split_date(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

std::optional<std::string> clock_text_time(std::u16string_view clock_text) {
    const auto value = clock_text_date_value(clock_text);
    if (!value) return std::nullopt;
    return date_value_text(*value);
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace harrowtally::host
