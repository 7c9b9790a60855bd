#pragma once
// Texts of the scanner and the component written for a terminal: UTF-8, with every control
// character (C0, DEL, C1) written as \xNN so that a scanned label cannot move the cursor or start
// an escape sequence, and every character the terminal cannot show written the same way.
#include <string>
#include <string_view>

namespace harrowtally::host {

struct Escapes {
    // Also write "\" as \x5C, so that every backslash in the result starts an escape.
    bool backslash = false;
    // The terminal shows ASCII only: every other character is escaped too.
    bool ascii_only = false;
};

// NN is the character's byte in the scanner's character set (Windows-1252), which is the
// character's code below U+0100; a character without such a byte is written as \uNNNN, as is an
// unpaired surrogate.
std::string terminal_text(std::u16string_view text, Escapes escapes);

// The escapes for this process's terminal: ASCII only unless the locale's character set (from
// LC_ALL, LC_CTYPE or LANG) is UTF-8.
Escapes terminal_escapes();

// With the escapes of this process's terminal.
std::string terminal_text(std::u16string_view text);

}  // namespace harrowtally::host
