#pragma once
// Hooks a host can hand the Clicker, outside the automation interface: the COM layer sets none, and
// without them every member behaves exactly as the interface describes.
#include <cstdint>

namespace harrowtally {

class Clicker;

// Told of each barcode as a download fetches it; not part of the automation interface.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void on_barcode(int index, int count) = 0;
};

// Asked by EmptyScanner, inside the connection that erases, whether the scanner may be erased: after
// the member has read the scanner's count and before the first erase. `count` is the count the
// member read. Not part of the automation interface.
class EraseGuard {
public:
    virtual ~EraseGuard() = default;
    virtual bool allow_erase(std::int16_t count) = 0;
};

// Asked by download_keep_and_empty, with the scanner's port still open after every barcode was
// fetched, to keep the download (the Clicker's fields as after open_clicker, before the clock
// snapshot); and, after the settling pause, right before the first erase, whether it is still
// kept as it was. The scanner is erased only when both answer true. Not part of the automation
// interface.
class DownloadKeeper {
public:
    virtual ~DownloadKeeper() = default;
    virtual bool keep(const Clicker& clicker) = 0;
    virtual bool still_kept() = 0;
};

}  // namespace harrowtally
