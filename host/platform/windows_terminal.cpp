// The terminal on Windows is the console: it shows any character (text reaches it as UTF-16), and
// takes escape sequences once virtual terminal processing is on.
#include <windows.h>

#include "host/platform/terminal.h"

namespace harrowtally::host {
namespace {

HANDLE handle_of(int fd) {
    return GetStdHandle(fd == kStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

}  // namespace

bool is_terminal(int fd) {
    DWORD mode = 0;
    return GetConsoleMode(handle_of(fd), &mode) != 0;
}

Escapes terminal_escapes() {
    return Escapes{};
}

bool terminal_escapes_allowed(int fd) {
    const HANDLE console = handle_of(fd);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode) == 0) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

// Windows has no signal for a file too large: the write fails.
void let_file_size_limit_fail_writes() {}

}  // namespace harrowtally::host
