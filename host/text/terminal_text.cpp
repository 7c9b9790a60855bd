#include "host/text/terminal_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/code_page.h"
#include "common/text.h"
#include "host/platform/terminal.h"

namespace harrowtally::host {
namespace {

struct CodeRange {
    char32_t first, last;
};

// Characters a terminal shows as nothing, or acts on by joining, breaking or reordering what is
// shown: the format characters (general category Cf) and the line and paragraph separators.
constexpr CodeRange kInvisible[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

bool is_invisible(char32_t c) {
    for (const CodeRange& range : kInvisible) {
        if (c >= range.first && c <= range.last) return true;
    }
    return false;
}

bool is_control(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void append_escape(std::string& out, char16_t c) {
    char escape[8];
    const std::uint8_t byte = char_to_byte(c);
    if (c < 0x100) {
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
    } else if (byte != '?') {
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
    } else {
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
    }
    out += escape;
}

void append_byte_escape(std::string& out, unsigned char byte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
    out += escape;
}

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at the start of `bytes` (no overlong form, no surrogate,
// nothing beyond U+10FFFF), and its character; 0 when it is not one.
std::size_t utf8_sequence(std::string_view bytes, char32_t& c) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // what the second byte may be
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
    c = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if (!is_continuation(at(i))) return 0;
        c = (c << 6) | (at(i) & 0x3F);
    }
    return length;
}

void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

}  // namespace

std::string terminal_text(std::u16string_view text, Escapes escapes) {
    std::string out;
    std::size_t plain_from = 0;
    const auto flush = [&](std::size_t to) {
        out += to_utf8(text.substr(plain_from, to - plain_from));
        plain_from = to;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (!escapes.ascii_only && is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            const char32_t pair = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            if (!is_invisible(pair)) {
                ++i;  // one character the terminal shows
                continue;
            }
            flush(i);
            append_escape(out, c);
            append_escape(out, text[++i]);
            plain_from = i + 1;
            continue;
        }
        const bool shown = !is_control(c) && !(escapes.backslash && c == u'\\') && !(escapes.ascii_only && c > 0x7F) &&
                           !is_high_surrogate(c) && !is_low_surrogate(c) && !is_invisible(c);
        if (shown) continue;
        flush(i);
        append_escape(out, c);
        plain_from = i + 1;
    }
    flush(text.size());
    return out;
}

std::string terminal_text(std::u16string_view text) {
    static const Escapes escapes = terminal_escapes();
    return terminal_text(text, escapes);
}

std::string terminal_path(std::string_view bytes, Escapes escapes) {
    std::string out;
    std::u16string valid;  // the run of valid UTF-8 not yet written
    while (!bytes.empty()) {
        char32_t c = 0;
        const std::size_t length = utf8_sequence(bytes, c);
        if (length == 0) {
            out += terminal_text(valid, escapes);
            valid.clear();
            append_byte_escape(out, static_cast<unsigned char>(bytes.front()));
            bytes.remove_prefix(1);
            continue;
        }
        append_utf16(valid, c);
        bytes.remove_prefix(length);
    }
    return out + terminal_text(valid, escapes);
}

std::string terminal_path(std::string_view bytes) {
    static const Escapes escapes = terminal_escapes();
    return terminal_path(bytes, escapes);
}

std::string terminal_data(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    char escape[8];
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        unsigned control = 0x100;  // none
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) control = byte;
        // A C1 control is C2 80 to C2 9F in UTF-8.
        if (byte == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9F) control = next, ++i;
        }
        if (control == 0x100) {
            out += static_cast<char>(byte);
            continue;
        }
        std::snprintf(escape, sizeof escape, "\\x%02X", control);
        out += escape;
    }
    return out;
}

}  // namespace harrowtally::host
