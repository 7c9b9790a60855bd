#include "common/conversions.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"

namespace harrowtally {
namespace {

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0;
}
bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int hex_digit(char16_t c) {
    if (is_digit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads "&H..." or "&O..." at pos; returns false when the text has no such prefix with digits.
bool read_radix_number(std::u16string_view s, std::size_t& pos, long double& value) {
    if (pos + 1 >= s.size() || s[pos] != u'&') return false;
    const char16_t kind = s[pos + 1];
    const int radix = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
    if (radix == 0) return false;
    std::size_t i = pos + 2;
    long double v = 0;
    const std::size_t start = i;
    while (i < s.size()) {
        const int d = hex_digit(s[i]);
        if (d < 0 || d >= radix) break;
        v = v * radix + d;
        ++i;
    }
    if (i == start) return false;
    pos = i;
    value = v;
    return true;
}

bool is_exponent_marker(char16_t c) {
    return c == u'e' || c == u'E' || c == u'd' || c == u'D';
}

// The exponent after its marker: an optional sign and digits from `pos`, which moves past them.
// nullopt, with `pos` unmoved, when no digit follows. Large exponents stop growing at 100000, which
// already overflows or underflows any value.
std::optional<int> read_exponent(std::u16string_view s, std::size_t& pos) {
    std::size_t j = pos;
    bool negative = false;
    if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) negative = s[j++] == u'-';
    const std::size_t start = j;
    long value = 0;
    while (j < s.size() && is_digit(s[j])) {
        if (value < 100000) value = value * 10 + (s[j] - u'0');
        ++j;
    }
    if (j == start) return std::nullopt;
    pos = j;
    return static_cast<int>(negative ? -value : value);
}

long double exact_decimal(std::u16string_view digits, int exponent) {
    // Builds the value from its digit string once so that "0.1" is the double nearest 0.1.
    std::string text(digits.begin(), digits.end());
    text += 'e';
    text += std::to_string(exponent);
    return std::strtold(text.c_str(), nullptr);
}

long double checked_integral(long double v, long double lo, long double hi) {
    if (!std::isfinite(static_cast<double>(v))) throw RuntimeError(err::overflow);
    const long double r = round_half_even(v);
    if (r < lo || r > hi) throw RuntimeError(err::overflow);
    return r;
}

std::u16string format_integer(long long v) {
    return ascii(std::to_string(v));
}

std::u16string format_currency(std::int64_t scaled, const NumberFormat& fmt) {
    const bool negative = scaled < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string text = std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::u16string out = ascii((negative ? "-" : "") + text);
    if (!fraction.empty()) out += fmt.decimal_point + ascii(fraction);
    return out;
}

std::u16string format_decimal(const DecimalValue& d, const NumberFormat& fmt) {
    // Exact digits of the 96-bit mantissa by repeated division.
    std::uint64_t hi = d.hi32, lo = d.lo64;
    std::string digits;
    while (hi != 0 || lo != 0) {
        // Divide the 96-bit value (hi:lo) by 10 using 32-bit limbs.
        std::uint64_t limbs[3] = {hi, lo >> 32, lo & 0xFFFFFFFFu};
        std::uint64_t rem = 0;
        for (auto& limb : limbs) {
            const std::uint64_t cur = (rem << 32) | limb;
            limb = cur / 10;
            rem = cur % 10;
        }
        hi = limbs[0];
        lo = (limbs[1] << 32) | limbs[2];
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    if (digits.empty()) digits.assign(1, '0');
    while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
    std::string whole = digits.substr(0, digits.size() - d.scale);
    std::string fraction = digits.substr(digits.size() - d.scale);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    const bool zero = whole == "0" && fraction.empty();
    std::u16string out = ascii((d.negative && !zero ? "-" : "") + whole);
    if (!fraction.empty()) out += fmt.decimal_point + ascii(fraction);
    return out;
}

std::u16string format_date(double value) {
    if (!is_valid_date_value(value)) throw RuntimeError(err::invalid_call);
    const DateTimeParts p = split_date(value);
    const double whole = std::trunc(value);
    const bool has_time = std::fabs(value - whole) > 0;
    std::string out;
    char buf[64];
    if (whole != 0) {
        std::snprintf(buf, sizeof buf, "%d/%d/%d", p.month, p.day, p.year);
        out = buf;
    }
    if (has_time || whole == 0) {
        const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return ascii(out);
}

}  // namespace

long double round_half_even(long double v) {
    const long double floor_v = std::floor(v);
    const long double diff = v - floor_v;
    if (diff > 0.5L) return floor_v + 1;
    if (diff < 0.5L) return floor_v;
    return std::fmod(floor_v, 2.0L) == 0 ? floor_v : floor_v + 1;
}

std::optional<long double> parse_number(std::u16string_view s, const NumberFormat& fmt) {
    s = s.substr(0, s.find(u'\0'));
    bool plus = false, minus = false, parenthesised = false, currency = false;
    const auto is_currency = [&](char16_t c) { return fmt.currency_symbol != 0 && c == fmt.currency_symbol; };
    // A plus and a minus may each stand once, before or after the digits: "+-3", "3-" and "3 -$"
    // are -3, "-3-" is no number.
    const auto take_sign = [&](char16_t c) {
        if (c != u'+' && c != u'-') return false;
        bool& seen = c == u'+' ? plus : minus;
        if (seen) return false;
        seen = true;
        return true;
    };
    // Before the digits: blanks, the signs, one opening parenthesis and one currency symbol, in any order.
    std::size_t i = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (is_blank(c) || take_sign(c)) continue;
        if (c == u'(' && !parenthesised) {
            parenthesised = true;
        } else if (is_currency(c) && !currency) {
            currency = true;
        } else {
            break;
        }
    }
    long double value = 0;
    if (read_radix_number(s, i, value)) {
        // "&H" and "&O" texts carry no sign, fraction or exponent.
    } else {
        std::u16string digits;
        int exponent = 0;
        bool any_digit = false;
        bool seen_point = false;
        for (; i < s.size(); ++i) {
            const char16_t c = s[i];
            if (is_digit(c)) {
                digits.push_back(c);
                any_digit = true;
                if (seen_point) --exponent;
            } else if (c == fmt.decimal_point && !seen_point) {
                seen_point = true;
            } else if (c == fmt.group_separator && !seen_point && any_digit &&
                       fmt.group_separator != fmt.decimal_point) {
                // Group separators are accepted between the digits of the whole part.
            } else {
                break;
            }
        }
        if (!any_digit) return std::nullopt;
        // Only "E" marks an exponent here: the platform reads "1d1" as no number, unlike Val.
        if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
            ++i;
            const auto e = read_exponent(s, i);
            if (!e) return std::nullopt;
            exponent += *e;
        }
        value = exact_decimal(digits, exponent);
    }
    // After them: blanks, the closing parenthesis, and the signs and currency symbol not yet seen.
    bool closed = false;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (is_blank(c) || take_sign(c)) continue;
        if (c == u')' && parenthesised && !closed) {
            closed = true;
        } else if (is_currency(c) && !currency) {
            currency = true;
        } else {
            return std::nullopt;
        }
    }
    if (parenthesised != closed) return std::nullopt;
    // Parentheses and a minus together still give one negative number: "(-3)" is -3.
    return minus || parenthesised ? -value : value;
}

long double leading_number(std::u16string_view s) {
    // Blanks are ignored wherever they stand, as the runtime's Val does.
    std::u16string compact;
    compact.reserve(s.size());
    for (char16_t c : s) {
        if (!is_blank(c)) compact.push_back(c);
    }
    std::size_t i = 0;
    long double radix_value = 0;
    if (read_radix_number(compact, i, radix_value)) return radix_value;
    bool negative = false;
    if (i < compact.size() && (compact[i] == u'+' || compact[i] == u'-')) negative = compact[i++] == u'-';
    std::u16string digits;
    int exponent = 0;
    bool seen_point = false;
    for (; i < compact.size(); ++i) {
        const char16_t c = compact[i];
        if (is_digit(c)) {
            digits.push_back(c);
            if (seen_point) --exponent;
        } else if (c == u'.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    if (digits.empty()) return 0;
    // An exponent without digits is not part of the number.
    if (i < compact.size() && is_exponent_marker(compact[i])) {
        ++i;
        if (const auto e = read_exponent(compact, i)) exponent += *e;
    }
    const long double value = exact_decimal(digits, exponent);
    return negative ? -value : value;
}

long double to_number(const Variant& v, const NumberFormat& fmt) {
    switch (v.type()) {
        case VarType::Empty:
            return 0;
        case VarType::Null:
            throw RuntimeError(err::invalid_null);
        case VarType::Integer:
        case VarType::Long:
        case VarType::LongLong:
        case VarType::SByte:
            return static_cast<long double>(v.as_signed());
        case VarType::Boolean:
            return v.as_bool() ? -1 : 0;
        case VarType::Byte:
        case VarType::UInteger:
        case VarType::ULong:
        case VarType::ULongLong:
            return static_cast<long double>(v.as_unsigned());
        case VarType::Single:
        case VarType::Double:
        case VarType::Date:
            return v.as_real();
        case VarType::Currency:
            return static_cast<long double>(v.as_signed()) / 10000.0L;
        case VarType::Decimal:
            return v.as_decimal().to_long_double();
        case VarType::String: {
            auto n = parse_number(v.as_string(), fmt);
            if (!n) throw RuntimeError(err::type_mismatch);
            return *n;
        }
        case VarType::Object:
            if (!v.as_object()) throw RuntimeError(err::type_mismatch);
            return to_number(v.as_object()->default_value(), fmt);
        case VarType::Error:
        case VarType::Array:
            break;
    }
    throw RuntimeError(err::type_mismatch);
}

std::int16_t round_to_integer(long double v) {
    return static_cast<std::int16_t>(
        checked_integral(v, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t round_to_long(long double v) {
    return static_cast<std::int32_t>(
        checked_integral(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Between an unsigned type and the signed type of the same width the runtime keeps the bits and does
// not check the range: an unsigned 16-bit 65535 becomes the Integer -1.
std::int16_t to_integer(const Variant& v, const NumberFormat& fmt) {
    if (v.type() == VarType::UInteger) return static_cast<std::int16_t>(static_cast<std::uint16_t>(v.as_unsigned()));
    return round_to_integer(to_number(v, fmt));
}

std::int32_t to_long(const Variant& v, const NumberFormat& fmt) {
    if (v.type() == VarType::ULong) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v.as_unsigned()));
    return round_to_long(to_number(v, fmt));
}

std::u16string format_double(double v, int significant_digits, const NumberFormat& fmt) {
    if (v == 0) v = 0;  // a negative zero is written "0"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", significant_digits, v);
    std::u16string out = ascii(buf);
    for (auto& c : out) {
        if (c == u'.') c = fmt.decimal_point;
    }
    return out;
}

std::u16string to_text(const Variant& v, const NumberFormat& fmt) {
    switch (v.type()) {
        case VarType::Empty:
            return {};
        case VarType::Null:
            throw RuntimeError(err::invalid_null);
        case VarType::Integer:
        case VarType::Long:
        case VarType::LongLong:
        case VarType::SByte:
            return format_integer(v.as_signed());
        case VarType::Byte:
        case VarType::UInteger:
        case VarType::ULong:
        case VarType::ULongLong:
            return ascii(std::to_string(v.as_unsigned()));
        case VarType::Boolean:
            return v.as_bool() ? u"True" : u"False";
        case VarType::Single:
            return format_double(v.as_real(), 7, fmt);
        case VarType::Double:
            return format_double(v.as_real(), 15, fmt);
        case VarType::Currency:
            return format_currency(v.as_signed(), fmt);
        case VarType::Decimal:
            return format_decimal(v.as_decimal(), fmt);
        case VarType::Date:
            return format_date(v.as_real());
        case VarType::String:
            return v.as_string();
        case VarType::Object:
            if (!v.as_object()) throw RuntimeError(err::type_mismatch);
            return to_text(v.as_object()->default_value(), fmt);
        case VarType::Error:
        case VarType::Array:
            break;
    }
    throw RuntimeError(err::type_mismatch);
}

}  // namespace harrowtally
