#include "host/terminal_text.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstring>

#include "common/code_page.h"
#include "common/text.h"

namespace harrowtally::host {
namespace {

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
            ++i;  // a pair: one character the terminal shows
            continue;
        }
        const bool shown = !is_control(c) && !(escapes.backslash && c == u'\\') && !(escapes.ascii_only && c > 0x7F) &&
                           !is_high_surrogate(c) && !is_low_surrogate(c);
        if (shown) continue;
        flush(i);
        append_escape(out, c);
        plain_from = i + 1;
    }
    flush(text.size());
    return out;
}

Escapes terminal_escapes() {
    Escapes escapes;
    escapes.ascii_only = true;
    // The environment's locale, looked at without making it the process's own.
    if (locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        const char* codeset = ::nl_langinfo_l(CODESET, locale);
        escapes.ascii_only = codeset == nullptr || std::strcmp(codeset, "UTF-8") != 0;
        ::freelocale(locale);
    }
    return escapes;
}

std::string terminal_text(std::u16string_view text) {
    static const Escapes escapes = terminal_escapes();
    return terminal_text(text, escapes);
}

}  // namespace harrowtally::host
