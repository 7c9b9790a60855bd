#pragma once
// The erase guard of EmptyScannerIf: a script downloads in one connection and erases in another,
// so the scanner is erased only while it still holds the count the script saved and is the scanner
// whose serial number it saved.
#include <cstdint>
#include <string>
#include <string_view>

#include "clicker/host_hooks.h"

namespace harrowtally {

// Whether a device ID as read names the scanner a host saved: the case of letters and blanks at the
// end of the saved text do not count. An empty saved text, or a device ID that was not read (empty),
// names none.
bool same_serial(std::u16string_view saved, std::u16string_view read);

class SavedScannerGuard : public EraseGuard {
public:
    // `also`: a host's own guard, asked too when this one allows.
    SavedScannerGuard(std::int32_t count, std::u16string serial, EraseGuard* also = nullptr)
        : count_(count), serial_(std::move(serial)), also_(also) {}

    // Refuses a look without a device ID: this guard is only met by scanners whose ID was read.
    bool allow_erase(const ScannerBeforeErase& scanner) override;

private:
    std::int32_t count_;
    std::u16string serial_;
    EraseGuard* also_;
};

}  // namespace harrowtally
