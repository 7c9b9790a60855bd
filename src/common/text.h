#pragma once
// Text helpers shared by the core and its hosts: UTF-8 <-> UTF-16 and ASCII literals.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally {

std::u16string from_utf8(std::string_view s);
// Only well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF); nullopt
// otherwise. For reading back what was written, where a lenient decoder could hide a difference.
std::optional<std::u16string> from_utf8_strictly(std::string_view s);
std::string to_utf8(std::u16string_view s);
// A text of ASCII characters only (digits, fixed words): widened without decoding.
std::u16string ascii(std::string_view s);

}  // namespace harrowtally
