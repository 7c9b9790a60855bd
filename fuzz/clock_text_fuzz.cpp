// The clock text a host assigns: converts pair by pair or fails with error 5, and the snapshot of
// any clock buffer is twelve digits with flag H or L.
#include <cmath>

#include "common/clock_text.h"
#include "common/conversions.h"
#include "fuzz_input.h"

using namespace harrowtally;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzz::text_of(data, size);
    try {
        const ClockBuffer buffer = clock_buffer_from_text(text);
        for (std::size_t k = 0; k < 6; ++k) {
            const std::u16string pair = 2 * k < text.size() ? text.substr(2 * k, 2) : std::u16string();
            fuzz::check(static_cast<long double>(buffer[k]) == round_half_even(leading_number(pair)));
        }
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 5);
    }
    if (size >= 6) {
        ClockBuffer raw{};
        for (std::size_t k = 0; k < 6; ++k) raw[k] = data[k];
        const ClockSnapshot snap = clock_snapshot(raw);
        fuzz::check(snap.text.size() == 12);
        for (char16_t c : snap.text) fuzz::check(c >= u'0' && c <= u'9');
        fuzz::check(snap.flag == (raw[0] == 255 ? u'L' : u'H'));
    }
    return 0;
}
