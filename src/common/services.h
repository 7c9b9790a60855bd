#pragma once
// Everything the core takes from the world, passed in so that tests run without hardware or waits:
// the scanner library, the PC's clock, the settling pause, the directory listing and the conversions
// of the host's values.
#include "common/clock.h"
#include "common/directory_listing.h"
#include "common/value_conversions.h"

namespace harrowtally {

class CSP2;  // scanner/csp2.h

struct ScannerServices {
    CSP2* library = nullptr;
    Clock* clock = nullptr;
    Pause* pause = nullptr;
    DirectoryListing* listing = nullptr;
    const ValueConversions* conversions = &portable_conversions();
};

}  // namespace harrowtally
