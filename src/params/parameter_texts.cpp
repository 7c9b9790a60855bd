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

// The number of a field of two digits; nullopt for anything else.
std::optional<int> two_digits(std::u16string_view text, std::size_t at) {
    if (at + parameter_field_width > text.size()) return std::nullopt;
    const char16_t tens = text[at], ones = text[at + 1];
    if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9') return std::nullopt;
    return (tens - u'0') * 10 + (ones - u'0');
}

// A two-digit count, then exactly that many entries of `fields` two-digit fields each.
std::optional<std::vector<std::vector<int>>> plain_entries(std::u16string_view text, std::size_t fields) {
    const std::optional<int> count = two_digits(text, 0);
    const std::size_t entry_width = fields * parameter_field_width;
    if (!count || text.size() != parameter_field_width + static_cast<std::size_t>(*count) * entry_width) {
        return std::nullopt;
    }
    std::vector<std::vector<int>> entries;
    for (std::size_t at = parameter_field_width; at < text.size(); at += entry_width) {
        std::vector<int> entry;
        for (std::size_t f = 0; f < fields; ++f) {
            const std::optional<int> field = two_digits(text, at + f * parameter_field_width);
            if (!field) return std::nullopt;
            entry.push_back(*field);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace

std::optional<std::vector<ParameterEntry>> plain_parameter_set(std::u16string_view text) {
    const auto entries = plain_entries(text, 2);
    if (!entries) return std::nullopt;
    std::vector<ParameterEntry> set;
    for (const auto& entry : *entries) set.push_back({static_cast<std::int16_t>(entry[0]), entry[1]});
    return set;
}

std::optional<std::vector<std::int16_t>> plain_parameter_list(std::u16string_view text) {
    const auto entries = plain_entries(text, 1);
    if (!entries) return std::nullopt;
    std::vector<std::int16_t> list;
    for (const auto& entry : *entries) list.push_back(static_cast<std::int16_t>(entry[0]));
    return list;
}

std::u16string parameter_list_text(const std::vector<std::int16_t>& numbers) {
    std::u16string text = two_digit_text(static_cast<long long>(numbers.size()));
    for (const std::int16_t number : numbers) text += two_digit_text(number);
    return text;
}

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
