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
        const unicode::Decoded pair = unicode::decode_utf16(text.substr(i));
        if (!escapes.ascii_only && pair.length == 2) {
            if (!is_invisible(pair.code_point)) {
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
                           !unicode::is_surrogate(c) && !is_invisible(c);
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
        const unicode::Decoded decoded = unicode::decode_utf8(bytes);
        if (!decoded.valid) {
            out += terminal_text(valid, escapes);
            valid.clear();
            for (char byte : bytes.substr(0, decoded.length)) append_byte_escape(out, static_cast<unsigned char>(byte));
        } else {
            unicode::append_utf16(valid, decoded.code_point);
        }
        bytes.remove_prefix(decoded.length);
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
