#include "common/trace_text.h"

#include <cstdio>

#include "common/text.h"

namespace harrowtally {

std::u16string decimal_text(long long v) {
    return ascii(std::to_string(v));
}

std::u16string two_digit_text(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%02llu", v < 0 ? "-" : "",
                  v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v));
    return ascii(buf);
}

std::u16string hhmmss_text(const TimeOfDay& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", t.hour % 100, t.minute % 100, t.second % 100);
    return ascii(buf);
}

std::u16string hex_text(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
    return ascii(buf);
}

}  // namespace harrowtally
