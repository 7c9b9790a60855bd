#include "host/outcome_words.h"

#include "common/text.h"

namespace harrowtally::host {

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string empty_outcome(std::u16string_view log) {
    if (log.starts_with(u"CLOK:")) {
        const auto colon = log.find(u':', 5);
        const auto tries = log.substr(5, colon == std::u16string_view::npos ? 0 : colon - 5);
        return "erased at try " + std::to_string(std::stoi(to_utf8(tries)));
    }
    if (log.starts_with(u"OPOK")) return "the scanner answered, but every erase try failed";
    if (log.starts_with(u"OPNG")) return "the scanner answered with a negative count or status";
    if (log.starts_with(u"OPNP")) return "the port did not open";
    if (log.starts_with(u"ENSP")) return "no port was given";
    return "unknown outcome";
}

}  // namespace harrowtally::host
