#pragma once
// Everything the core takes from the world, passed in so that tests run without hardware or waits:
// the scanner library with its lock, the PC's clock, the settling pause, the directory listing and
// the conversions of the host's values.
#include "common/clock.h"
#include "common/directory_listing.h"
#include "common/scanner_library.h"
#include "common/value_conversions.h"

namespace harrowtally {

struct ScannerServices {
    ScannerLibrary library;
    Clock* clock = nullptr;
    Pause* pause = nullptr;
    DirectoryListing* listing = nullptr;
    ConversionsRef conversions{};
};

}  // namespace harrowtally
