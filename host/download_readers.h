#pragma once
// Reading a saved download back, one reader for each format the download command writes (record,
// CSV, JSON), so that what a file gives back can be compared with what the scanner gave.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/download_formats.h"

namespace harrowtally::host {

// One barcode as a file gives it back.
struct SavedBarcode {
    std::int32_t item = 0;
    bool read = false;  // false: the file marks the barcode as not downloaded
    std::u16string barcode;
    std::int32_t type = 0;
    std::optional<std::string> scan_time;      // "YYYY-MM-DD hh:mm:ss"; nullopt where the file has none
    std::optional<std::u16string> stamp_text;  // CSV and JSON, which keep it
};

// What a file says of the whole download.
struct SavedHeader {
    std::optional<std::u16string> serial;  // nullopt where the file has none
    std::optional<std::int32_t> count;     // the record's and JSON's count; CSV has none
};

struct ReadBack {
    SavedHeader header;
    std::size_t barcodes = 0;  // how many were handed on
    bool stopped = false;      // `each` asked to stop
    std::string problem;       // why the text could not be read further; empty when it was read whole
};

// Reads the text as the format has it (a table has no reader), handing each barcode to `each` in
// the file's order as soon as it is read, so that no more than one is held at a time; `each`
// returns false to stop. A record's barcode whose later fields cannot be read is handed on first,
// so a barcode that outgrew its field shows as itself.
using EachSavedBarcode = std::function<bool(const SavedBarcode&)>;
ReadBack read_saved_download(DownloadFormat format, std::string_view text, const EachSavedBarcode& each);

// The same, every barcode kept.
struct SavedDownload {
    ReadBack read;
    std::vector<SavedBarcode> barcodes;
};
SavedDownload read_saved_download(DownloadFormat format, std::string_view text);

}  // namespace harrowtally::host
