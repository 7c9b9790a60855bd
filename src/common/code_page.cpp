#include "common/code_page.h"

#include <array>

namespace harrowtally {
namespace {
// 0x80..0x9F; the five bytes the code page leaves undefined map to the control characters of the
// same value, as the platform's conversion does.
constexpr std::array<char16_t, 32> high_block = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char16_t byte_to_char(std::uint8_t b) {
    if (b >= 0x80 && b <= 0x9F) return high_block[b - 0x80];
    return static_cast<char16_t>(b);
}

std::uint8_t char_to_byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    for (std::size_t i = 0; i < high_block.size(); ++i) {
        if (high_block[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    }
    return static_cast<std::uint8_t>('?');
}

std::u16string bytes_to_text(const std::uint8_t* bytes, std::size_t count) {
    std::u16string out(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = byte_to_char(bytes[i]);
    return out;
}

}  // namespace harrowtally
