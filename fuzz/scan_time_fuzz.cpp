// The scan time of any stamp text buffer: error 5 exactly when the slashes are missing or misplaced,
// else a date of the years 2000 to 2099 with a time of day below one day.
#include <cmath>
#include <cstdlib>
#include <string>

#include "clicker/scan_time.h"
#include "common/code_page.h"
#include "common/runtime_error.h"

using namespace harrowtally;

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > stamp_text_width) return -1;
    std::u16string text(stamp_text_width, u'\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = byte_to_char(data[i]);

    const std::size_t p1 = text.find(u'/');
    const bool slashes_bad = p1 == std::u16string::npos || p1 < 2 || text.find(u'/', p1 + 1) == std::u16string::npos;
    try {
        std::u16string masked = text;
        mask_stamp_fields(masked);
        const double value = stamp_date_value(masked);
        check(!slashes_bad);
        check(value >= 36526.0 && value < 73051.0);  // 1 January 2000, 1 January 2100
        check(value - std::floor(value) < 1.0);
    } catch (const RuntimeError& e) {
        check(slashes_bad && e.number() == 5);
    }
    return 0;
}
