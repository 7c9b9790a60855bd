// Conversions of any variant to integers and text: only errors 6, 13 and 94, and results that
// agree with each other.
#include <cmath>

#include "common/conversions.h"
#include "fuzz_input.h"

using namespace harrowtally;

namespace {

Variant variant_of(std::uint8_t kind, const std::u16string& text, const std::uint8_t* data, std::size_t size) {
    std::int64_t bits = 0;
    for (std::size_t i = 0; i < size && i < 8; ++i) bits = (bits << 8) | data[i];
    double real = 0;
    static_assert(sizeof real == sizeof bits);
    __builtin_memcpy(&real, &bits, sizeof real);
    switch (kind % 12) {
        case 0:
            return Variant();
        case 1:
            return Variant::null();
        case 2:
            return Variant::integer(static_cast<std::int16_t>(bits));
        case 3:
            return Variant::long_(static_cast<std::int32_t>(bits));
        case 4:
            return Variant::double_(real);
        case 5:
            return Variant::single(static_cast<float>(real));
        case 6:
            return Variant::currency_scaled(bits);
        case 7:
            return Variant::date(real);
        case 8:
            return Variant::boolean(bits & 1);
        case 9:
            return Variant::long_long(bits);
        case 10:
            return Variant::error(static_cast<std::int32_t>(bits));
        default:
            return Variant::string(text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::u16string text = fuzz::text_of(data + 1, size - 1);
    const Variant value = variant_of(data[0], text, data + 1, size - 1);

    std::optional<long double> number;
    try {
        number = to_number(value);
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 13, 94);
    }
    try {
        const std::int16_t i = to_integer(value);
        // A value that converts has a number, and the integer is that number rounded.
        fuzz::check(number.has_value());
        fuzz::check(std::fabs(static_cast<double>(*number - i)) <= 0.5);
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 6, 13, 94);
        if (e.number() == 6) fuzz::check(number.has_value());
    }
    try {
        const std::int32_t l = to_long(value);
        fuzz::check(number.has_value() && std::fabs(static_cast<double>(*number - l)) <= 0.5);
    } catch (const RuntimeError& e) {
        fuzz::expect_error(e, 6, 13, 94);
    }
    try {
        const std::u16string t = to_text(value);
        if (value.type() == VarType::Integer || value.type() == VarType::Long) {
            // Whole numbers read back to themselves.
            fuzz::check(parse_number(t).value_or(0.5L) == static_cast<long double>(value.as_signed()));
        }
    } catch (const RuntimeError& e) {
        // 5: a date value outside the calendar has no text.
        fuzz::expect_error(e, 5, 13, 94);
        if (e.number() == 5) fuzz::check(value.type() == VarType::Date);
    }
    // Strict reading succeeding means the same number a leading reading finds for plain decimals.
    const auto strict = parse_number(text);
    const long double leading = leading_number(text);
    bool plain = !text.empty();
    for (char16_t c : text) {
        if (!((c >= u'0' && c <= u'9') || c == u'.')) plain = false;
    }
    if (strict && plain) fuzz::check(*strict == leading);
    return 0;
}
