#pragma once
// Bytes of the scanner library's buffers to and from characters, through Windows-1252 on every
// platform so that every build reads the same bytes the same way.
#include <cstddef>
#include <cstdint>
#include <string>

namespace harrowtally {

char16_t byte_to_char(std::uint8_t b);
// Characters without a byte in the code page become '?'.
std::uint8_t char_to_byte(char16_t c);
std::u16string bytes_to_text(const std::uint8_t* bytes, std::size_t count);

}  // namespace harrowtally
