#include "host/terminal_text.h"

#include <cstdio>

#include "common/text.h"

namespace harrowtally::host {

std::string terminal_text(std::u16string_view text, Escapes escapes) {
    std::string out;
    std::size_t plain_from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u' ' && !(escapes.backslash && c == u'\\')) continue;
        out += to_utf8(text.substr(plain_from, i - plain_from));
        plain_from = i + 1;
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
        out += escape;
    }
    return out + to_utf8(text.substr(plain_from));
}

}  // namespace harrowtally::host
