// The parameter set and list texts a host assigns, as reset_params and showparams read them:
// a set is accepted whole or refused with 13 or 5, an accepted set re-serialises to what was read,
// and a list entry is a number or error 13.
#include "fuzz_input.h"
#include "params/parameter_texts.h"
#include "support/parameter_set_text.h"

using namespace harrowtally;
using harrowtally::testing::parameter_set_text;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzz::text_of(data, size);
    try {
        const std::vector<ParameterEntry> entries = checked_parameter_set(text);
        fuzz::check(static_cast<int>(entries.size()) <= complete_set_entries(text));
        for (std::size_t k = 0; k < entries.size(); ++k) {
            fuzz::check(entries[k].value >= 0 && entries[k].value <= 255);
            fuzz::check(entries[k] == read_set_entry(text, static_cast<int>(k + 1)));
        }
        // Written back and read again, a set whose numbers fit two digits is the same set.
        bool two_digit_numbers = true;
        for (const auto& e : entries) two_digit_numbers = two_digit_numbers && e.number >= 0 && e.number <= 99;
        const std::u16string written = parameter_set_text(entries);
        if (two_digit_numbers) fuzz::check(checked_parameter_set(written) == entries);
        // A text that is already in the canonical form is written back unchanged.
        bool canonical = text.size() == 2 + 4 * entries.size() && !entries.empty();
        for (char16_t c : text) canonical = canonical && c >= u'0' && c <= u'9';
        if (canonical) fuzz::check(written == text);
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 5, 13);
    }
    try {
        const std::int16_t count = read_parameter_count(text);
        for (int k = 1; k <= count && k <= 64; ++k) {
            try {
                read_list_entry(text, k);
                fuzz::check(text.size() >= static_cast<std::size_t>(2 + 2 * k - 1));
            } catch (const RuntimeError& e) {
                fuzz::expect_error(e, 6, 13);
            }
        }
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 6, 13);
    }
    return 0;
}
