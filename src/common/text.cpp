#include "common/text.h"

namespace harrowtally {
namespace unicode {
namespace {

struct SecondByte {
    unsigned char low, high;
};

// The bytes a well-formed sequence may continue with after its lead: narrower than 80..BF after
// E0 (no overlong form), ED (no surrogate), F0 (no overlong form) and F4 (nothing past U+10FFFF).
SecondByte second_byte_after(unsigned char lead) {
    switch (lead) {
        case 0xE0:
            return {0xA0, 0xBF};
        case 0xED:
            return {0x80, 0x9F};
        case 0xF0:
            return {0x90, 0xBF};
        case 0xF4:
            return {0x80, 0x8F};
        default:
            return {0x80, 0xBF};
    }
}

// The length of the sequence a lead byte starts; 0 for a byte no sequence starts with
// (continuations, C0 and C1 which only start overlong forms, F5 to FF).
std::size_t sequence_length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

constexpr Decoded ill_formed(std::size_t length) {
    return {kReplacement, length, false};
}

}  // namespace

Decoded decode_utf8(std::string_view utf8) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1, true};
    const std::size_t length = sequence_length(lead);
    if (length == 0) return ill_formed(1);
    char32_t code_point = lead & (0xFFu >> (length + 1));
    const SecondByte second = second_byte_after(lead);
    for (std::size_t k = 1; k < length; ++k) {
        // What came so far is the maximal subpart: one U+FFFD for all of it.
        if (k == utf8.size()) return ill_formed(k);
        const unsigned char low = k == 1 ? second.low : 0x80, high = k == 1 ? second.high : 0xBF;
        if (byte(k) < low || byte(k) > high) return ill_formed(k);
        code_point = (code_point << 6) | (byte(k) & 0x3Fu);
    }
    return {code_point, length, true};
}

Decoded decode_utf16(std::u16string_view utf16) {
    const char16_t unit = utf16[0];
    if (!is_surrogate(unit)) return {unit, 1, true};
    if (is_high_surrogate(unit) && utf16.size() > 1 && is_low_surrogate(utf16[1])) {
        return {0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[1] - 0xDC00), 2, true};
    }
    return ill_formed(1);
}

void append_utf8(std::string& out, char32_t scalar) {
    if (scalar < 0x80) {
        out += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        out += static_cast<char>(0xC0 | (scalar >> 6));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        out += static_cast<char>(0xE0 | (scalar >> 12));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (scalar >> 18));
        out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    }
}

void append_utf16(std::u16string& out, char32_t scalar) {
    if (scalar < 0x10000) {
        out += static_cast<char16_t>(scalar);
        return;
    }
    scalar -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (scalar >> 10));
    out += static_cast<char16_t>(0xDC00 + (scalar & 0x3FF));
}

std::size_t utf8_cut_short(std::string_view utf8) {
    for (std::size_t back = 1; back <= 3 && back <= utf8.size(); ++back) {
        const std::string_view tail = utf8.substr(utf8.size() - back);
        const auto first = static_cast<unsigned char>(tail[0]);
        if ((first & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        // Cut short: longer than what is left, and well-formed up to the end (the decoder took it all).
        return sequence_length(first) > back && decode_utf8(tail).length == back ? back : 0;
    }
    return 0;
}

}  // namespace unicode

namespace {

// Decodes or encodes all of `in`; false at the first ill-formed part when `strict`.
template <typename Out, typename In, typename Decode, typename Append>
bool convert(Out& out, In in, bool strict, Decode decode, Append append) {
    out.reserve(in.size());
    while (!in.empty()) {
        const unicode::Decoded decoded = decode(in);
        if (!decoded.valid && strict) return false;
        append(out, decoded.code_point);
        in.remove_prefix(decoded.length);
    }
    return true;
}

}  // namespace

std::u16string from_utf8(std::string_view utf8) {
    std::u16string out;
    convert(out, utf8, false, unicode::decode_utf8, unicode::append_utf16);
    return out;
}

std::string to_utf8(std::u16string_view utf16) {
    std::string out;
    convert(out, utf16, false, unicode::decode_utf16, unicode::append_utf8);
    return out;
}

std::optional<std::u16string> from_utf8_strictly(std::string_view utf8) {
    std::u16string out;
    if (!convert(out, utf8, true, unicode::decode_utf8, unicode::append_utf16)) return std::nullopt;
    return out;
}

std::optional<std::string> to_utf8_strictly(std::u16string_view utf16) {
    std::string out;
    if (!convert(out, utf16, true, unicode::decode_utf16, unicode::append_utf8)) return std::nullopt;
    return out;
}

std::u16string ascii(std::string_view s) {
    return std::u16string(s.begin(), s.end());
}

}  // namespace harrowtally
