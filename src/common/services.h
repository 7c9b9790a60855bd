#pragma once
// Everything the core takes from the world, passed in so that tests run without hardware or waits:
// the scanner library, the PC's clock, the settling pause, the directory listing and the number
// format.
#include "common/clock.h"
#include "common/conversions.h"
#include "common/directory_listing.h"

namespace harrowtally {

class CSP2;  // scanner/csp2.h

struct ScannerServices {
    CSP2* library = nullptr;
    Clock* clock = nullptr;
    Pause* pause = nullptr;
    DirectoryListing* listing = nullptr;
    NumberFormat number_format{};
};

}  // namespace harrowtally
