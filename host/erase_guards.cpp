#include "host/erase_guards.h"

#include "host/outcome_words.h"
#include "host/terminal_text.h"

namespace harrowtally::host {

bool ExpectedScanner::allow_erase(std::int16_t count, std::optional<std::u16string_view> serial) {
    if (serial_ && !serial) {
        refusal_ =
            "the serial number of the scanner now on the port could not be read, so it is not known to be "
            "scanner " +
            terminal_text(*serial_);
        return false;
    }
    if (serial_ && *serial != *serial_) {
        refusal_ = "the scanner now on the port is another one (serial number " + terminal_text(*serial) + ", not " +
                   terminal_text(*serial_) + ")";
        return false;
    }
    if (count != count_) {
        refusal_ = "the scanner now holds " + plural(count, "barcode") + ", not the " + std::to_string(count_) +
                   " seen before";
        return false;
    }
    return true;
}

}  // namespace harrowtally::host
