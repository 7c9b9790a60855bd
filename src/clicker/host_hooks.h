#pragma once
// Hooks a host can hand the Clicker, outside the automation interface: the COM layer sets none, and
// without them every member behaves exactly as the interface describes.
#include <cstdint>
#include <optional>
#include <string>

namespace harrowtally {

class Clicker;

// Told of each barcode as a download fetches it; not part of the automation interface.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void on_barcode(int index, int count) = 0;
};

// What the scanner reported last, in the connection that erases, right before an erase try.
struct ScannerBeforeErase {
    int try_number = 1;  // the try about to be made, 1 to 5
    // csp2ReadData's result as the library gave it: read when the connection opened for try 1,
    // after the failed try before it for the others.
    std::int32_t count = 0;
    // The device ID read again where the caller reads it (a one-connection download and
    // EmptyScannerIf: before try 1 and after each failed try); nullopt where it was not read.
    std::optional<std::u16string> serial;
};

// Asked before every erase try, inside the connection that erases, whether the scanner may be
// erased: by EmptyScanner after it has read the scanner's count (before the clock is set) and
// after each failed try; by download_keep_and_empty after the last look. No try is made, and the
// port is released, once it refuses. Not part of the automation interface.
class EraseGuard {
public:
    virtual ~EraseGuard() = default;
    virtual bool allow_erase(const ScannerBeforeErase& scanner) = 0;
};

// Asked by download_keep_and_empty, with the scanner's port still open after every barcode was
// fetched, to keep the download (the Clicker's fields as after open_clicker, before the clock
// snapshot); after the settling pause, whether it is still kept as it was; and, as the erase guard
// of that connection, whether the scanner, with its count and device ID read again, may be erased
// before each try. The scanner is erased only when all of these answer true. Not part of the
// automation interface.
class DownloadKeeper : public EraseGuard {
public:
    virtual bool keep(const Clicker& clicker) = 0;
    virtual bool still_kept() = 0;
};

}  // namespace harrowtally
