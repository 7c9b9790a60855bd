#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "host/platform/terminal.h"

namespace harrowtally::host {

bool is_terminal(int fd) {
    return ::isatty(fd) == 1;
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

bool terminal_escapes_allowed(int fd) {
    const char* term = std::getenv("TERM");
    return ::isatty(fd) == 1 && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

void let_file_size_limit_fail_writes() {
    ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace harrowtally::host
