#include "host/value_format.h"

#include "common/conversions.h"
#include "common/date_value.h"
#include "common/text.h"
#include "host/clock_texts.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

std::string type_label(const Variant& value) {
    if (value.type() == VarType::Object && !value.as_object()) return "Nothing";
    return type_name(value.type());
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

}  // namespace harrowtally::host
