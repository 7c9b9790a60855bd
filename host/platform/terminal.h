#pragma once
// What the host asks of the terminal and the process it runs in; posix_terminal.cpp answers it
// for POSIX.
#include "host/text/terminal_text.h"

namespace harrowtally::host {

inline constexpr int kStandardOutput = 1;
inline constexpr int kStandardError = 2;

// Whether `fd` (kStandardOutput, kStandardError) is a terminal.
bool is_terminal(int fd);

// The escapes for this process's terminal: ASCII only unless the locale's character set (from
// LC_ALL, LC_CTYPE or LANG) is UTF-8.
Escapes terminal_escapes();

// Whether the terminal on `fd` may be sent escape sequences (moving the cursor, clearing a line):
// only when fd is a terminal and TERM names one that is not "dumb".
bool terminal_escapes_allowed(int fd);

// A file size limit then fails a write with an error instead of ending the process.
void let_file_size_limit_fail_writes();

}  // namespace harrowtally::host
