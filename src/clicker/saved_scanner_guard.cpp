#include "clicker/saved_scanner_guard.h"

namespace harrowtally {
namespace {

char16_t ascii_upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

}  // namespace

bool same_serial(std::u16string_view saved, std::u16string_view read) {
    while (!saved.empty() && saved.back() == u' ') saved.remove_suffix(1);
    // No serial names no scanner: neither a saved text of blanks nor a device ID that was not read.
    if (saved.empty() || saved.size() != read.size()) return false;
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (ascii_upper(saved[i]) != ascii_upper(read[i])) return false;
    }
    return true;
}

bool SavedScannerGuard::allow_erase(const ScannerBeforeErase& scanner) {
    if (scanner.count != count_ || !scanner.serial || !same_serial(serial_, *scanner.serial)) return false;
    return also_ == nullptr || also_->allow_erase(scanner);
}

}  // namespace harrowtally
