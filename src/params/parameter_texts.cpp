#include "params/parameter_texts.h"

#include "common/runtime_error.h"
#include "common/trace_text.h"

namespace harrowtally {
namespace {

// The field of two characters starting at the 0-based position; shorter or empty at the end.
std::u16string_view field_at(std::u16string_view text, std::size_t position) {
    if (position >= text.size()) return {};
    return text.substr(position, parameter_field_width);
}

std::int16_t strict_integer(std::u16string_view field, const ValueConversions& conversions) {
    return conversions.to_integer(Variant::string(std::u16string(field)));
}

}  // namespace

std::u16string_view parameter_count_text(std::u16string_view text) {
    return field_at(text, 0);
}

std::int16_t read_parameter_count(std::u16string_view text, const ValueConversions& conversions) {
    return strict_integer(parameter_count_text(text), conversions);
}

ParameterEntry read_set_entry(std::u16string_view text, int k) {
    const std::size_t start = parameter_field_width + static_cast<std::size_t>(k - 1) * parameter_set_entry_width;
    ParameterEntry entry;
    entry.number = round_to_integer(leading_number(field_at(text, start)));
    entry.value = round_to_long(leading_number(field_at(text, start + parameter_field_width)));
    return entry;
}

int complete_set_entries(std::u16string_view text) {
    if (text.size() < parameter_field_width) return 0;
    return static_cast<int>((text.size() - parameter_field_width) / parameter_set_entry_width);
}

std::vector<ParameterEntry> checked_parameter_set(std::u16string_view text, const ValueConversions& conversions) {
    const int count = read_parameter_count(text, conversions);
    if (count > complete_set_entries(text)) throw RuntimeError(err::invalid_call);
    std::vector<ParameterEntry> entries;
    for (int k = 1; k <= count; ++k) {
        const ParameterEntry entry = read_set_entry(text, k);
        if (entry.value < 0 || entry.value > 255) throw RuntimeError(err::invalid_call);
        entries.push_back(entry);
    }
    return entries;
}

std::int16_t read_list_entry(std::u16string_view text, int k, const ValueConversions& conversions) {
    return strict_integer(field_at(text, static_cast<std::size_t>(k) * parameter_field_width), conversions);
}

}  // namespace harrowtally
