#pragma once
// The one UTF-8 <-> UTF-16 codec of the core, the hosts and the package generator, and ASCII
// literals. Two policies, named for what they do with ill-formed input:
// - strict (`..._strictly`): well-formed input only (no overlong form, no surrogate in UTF-8,
//   nothing past U+10FFFF, no unpaired surrogate in UTF-16), nullopt otherwise. For readers that
//   must refuse a damaged file rather than read something other than what was written.
// - replacing (`from_utf8`, `to_utf8`): every ill-formed part becomes one U+FFFD per maximal
//   subpart (the longest start of a sequence that could still have been well-formed, else one
//   byte), as the WHATWG decoder does, so a bad byte never takes the ASCII after it along; an
//   unpaired surrogate becomes U+FFFD in UTF-8.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally {

std::u16string from_utf8(std::string_view utf8);
std::string to_utf8(std::u16string_view utf16);

std::optional<std::u16string> from_utf8_strictly(std::string_view utf8);
std::optional<std::string> to_utf8_strictly(std::u16string_view utf16);

// A text of ASCII characters only (digits, fixed words): widened without decoding.
std::u16string ascii(std::string_view s);

namespace unicode {

inline constexpr char32_t kReplacement = 0xFFFD;

constexpr bool is_high_surrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool is_low_surrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool is_surrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The character at the start of a text, or the ill-formed part it starts with.
struct Decoded {
    char32_t code_point;  // kReplacement when not valid
    std::size_t length;   // code units taken: the character's, or the ill-formed part's (at least 1)
    bool valid;
};

// Both need a text that is not empty.
Decoded decode_utf8(std::string_view utf8);
Decoded decode_utf16(std::u16string_view utf16);

// A Unicode scalar value (no surrogate, at most U+10FFFF) appended in that form.
void append_utf8(std::string& out, char32_t scalar);
void append_utf16(std::u16string& out, char32_t scalar);

// How many bytes at the end of a text start a sequence that is well-formed so far but cut short
// (0 to 3): what a writer holding text back for its next bytes must keep.
std::size_t utf8_cut_short(std::string_view utf8);

}  // namespace unicode
}  // namespace harrowtally
