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
        const unicode::Decoded decoded = unicode::decode_utf16(text.substr(i));
        if (decoded.length == 2) {
            unicode::append_utf8(out, decoded.code_point);
            ++i;
        } else if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF || !decoded.valid ||
                   (c == u'_' && escape_at(text, i))) {
            // What XML cannot hold, and a "_" that would read as the start of such an escape.
            append_escape(out, c);
        } else if (c == u'&') {
            out += "&amp;";
        } else if (c == u'<') {
            out += "&lt;";
        } else if (c == u'>') {
            out += "&gt;";
        } else {
            unicode::append_utf8(out, c);
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
