#include "host/formats/xml_text.h"

#include "common/text.h"

namespace harrowtally::host::formats {
namespace {

bool is_hex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

int hex_value(char16_t c) {
    return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
}

// Whether an escape _xHHHH_ starts at `at`.
bool escape_at(std::u16string_view text, std::size_t at) {
    if (text.size() - at < 7 || text.substr(at, 2) != u"_x" || text[at + 6] != u'_') return false;
    for (std::size_t k = 2; k < 6; ++k) {
        if (!is_hex(text[at + k])) return false;
    }
    return true;
}

bool is_lead(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool is_trail(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

void append_escape(std::string& out, char16_t c) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    out += '_';
}

}  // namespace

void append_xml_text(std::string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (is_lead(c) && i + 1 < text.size() && is_trail(text[i + 1])) {
            out += to_utf8(text.substr(i, 2));
            ++i;
        } else if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF || is_lead(c) || is_trail(c) ||
                   (c == u'_' && escape_at(text, i))) {
            // What XML cannot hold, and a "_" that would read as the start of such an escape.
            append_escape(out, c);
        } else if (c == u'&') {
            out += "&amp;";
        } else if (c == u'<') {
            out += "&lt;";
        } else if (c == u'>') {
            out += "&gt;";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += to_utf8(text.substr(i, 1));
        }
    }
}

bool needs_preserved_space(std::u16string_view text) {
    return text.find_first_of(u" \t\n\r") != text.npos;
}

std::u16string undo_text_escapes(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && escape_at(text, i)) {
            char16_t c = 0;
            for (std::size_t k = 2; k < 6; ++k) c = static_cast<char16_t>(c << 4 | hex_value(text[i + k]));
            out += c;
            i += 6;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace harrowtally::host::formats
