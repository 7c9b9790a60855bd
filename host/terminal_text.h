#pragma once
// Texts of the scanner and the component written for a terminal: UTF-8, with every control
// character written as \xNN so that a scanned label cannot move the cursor or start an escape
// sequence.
#include <string>
#include <string_view>

namespace harrowtally::host {

struct Escapes {
    // Also write "\" as \x5C, so that every backslash in the result starts an escape.
    bool backslash = false;
};

std::string terminal_text(std::u16string_view text, Escapes escapes = {});

}  // namespace harrowtally::host
