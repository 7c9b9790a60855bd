#pragma once
// The set text of parameter entries, for checks that a set read back is the set written.
#include <string>
#include <vector>

#include "common/trace_text.h"
#include "params/parameter_texts.h"

namespace harrowtally::testing {

// The count and each number and value with at least two digits. For a well-formed set (numbers
// and values 0 to 99) it is the text that was read.
inline std::u16string parameter_set_text(const std::vector<ParameterEntry>& entries) {
    std::u16string text = two_digit_text(static_cast<long long>(entries.size()));
    for (const auto& entry : entries) {
        text += two_digit_text(entry.number);
        text += two_digit_text(entry.value);
    }
    return text;
}

}  // namespace harrowtally::testing
