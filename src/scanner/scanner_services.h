#pragma once
// Everything the core needs from the world, passed in so that tests run without hardware or waits.
#include <cstdint>
#include <string_view>

#include "common/clock.h"
#include "common/conversions.h"
#include "scanner/csp2.h"

namespace harrowtally {

class DirectoryListing {
public:
    virtual ~DirectoryListing() = default;
    // Number of ordinary files in the folder (no sub-folders, hidden or system files); 0 when the
    // folder does not exist. The folder is named as on Windows ("c:\\larkvale").
    virtual std::int64_t count_ordinary_files(std::u16string_view folder) = 0;
};

// Told of each barcode as a download fetches it; not part of the automation interface.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void on_barcode(int index, int count) = 0;
};

struct ScannerServices {
    CSP2* library = nullptr;
    Clock* clock = nullptr;
    Pause* pause = nullptr;
    DirectoryListing* listing = nullptr;
    NumberFormat number_format{};
};

}  // namespace harrowtally
