#pragma once
// A download as the download command writes it: the export record as it is, an aligned table for
// people, CSV for spreadsheets and JSON for programs.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "clicker/clicker.h"

namespace harrowtally::host {

enum class DownloadFormat { table, record, csv, json };

// nullopt for a name that is none of table, record, csv, json.
std::optional<DownloadFormat> parse_download_format(const std::string& name);

struct DownloadedBarcode {
    int item = 0;
    bool filled = false;  // false: the download stopped before this barcode's packet
    std::u16string barcode;
    int type = 0;
    std::optional<std::string> scan_time;  // "YYYY-MM-DD hh:mm:ss"
};

struct Download {
    std::u16string record;  // what alldata returned
    std::u16string serial;
    std::int16_t port = 0;
    std::u16string clock_text;
    char16_t clock_flag = u'H';
    std::int16_t count = 0;  // num_barcodes
    std::vector<DownloadedBarcode> barcodes;

    // Items 1 to count, each with its packet.
    int filled_count() const;
    bool complete() const { return count >= 0 && filled_count() == count; }
    // The scanner's clock as "YYYY-MM-DD hh:mm:ss"; nullopt when it was lost or not read.
    std::optional<std::string> clock() const;
};

// The download a Clicker holds after alldata returned `record`.
Download take_download(const Clicker& clicker, std::u16string record);

// The download in one format, UTF-8. The record is exactly alldata's text, with no line end; the
// others end with a line end (CR LF in CSV, as RFC 4180 has it).
std::string render_download(const Download& download, DownloadFormat format);

}  // namespace harrowtally::host
