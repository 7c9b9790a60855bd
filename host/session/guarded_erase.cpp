#include "host/erase_guards.h"

#include "host/outcome_words.h"

namespace harrowtally::host {

bool ExpectedScanner::allow_erase(std::int16_t count) {
    if (count == count_) return true;
    refusal_ =
        "the scanner now holds " + plural(count, "barcode") + ", not the " + std::to_string(count_) + " seen before";
    return false;
}

}  // namespace harrowtally::host
