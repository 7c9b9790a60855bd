#pragma once
// Texts of the scanner and the component written for a terminal: UTF-8, with every control
// character (C0, DEL, C1), every invisible format character (the soft hyphen, zero-width and
// direction marks, ...) and the line and paragraph separators written as escapes, so that a scanned
// label cannot move the cursor, start an escape sequence or hide and reorder what is shown; every
// character the terminal cannot show is written the same way.
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
// character's code below U+0100; a character without such a byte is written as \uNNNN (one beyond
// U+FFFF as its two surrogates), as is an unpaired surrogate.
std::string terminal_text(std::u16string_view text, Escapes escapes);

// With the escapes of this process's terminal.
std::string terminal_text(std::u16string_view text);

// A file name (bytes, normally UTF-8) for the terminal: what is valid UTF-8 is escaped as
// terminal_text escapes it, every byte that is not is written as \xNN.
std::string terminal_path(std::string_view bytes, Escapes escapes);
std::string terminal_path(std::string_view bytes);

// Data (UTF-8 text: a CSV, a record, a member's value) shown on a terminal: every control character
// but tab, line feed and carriage return (C0, DEL, C1) written as \xNN, so that a scanned label
// cannot start an escape sequence; everything else as it is.
std::string terminal_data(std::string_view utf8);

}  // namespace harrowtally::host
