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

// The download a Clicker holds after alldata: its fields copied, its lists looked at where they are
// (valid while the Clicker lives and runs no other member). Items are numbered 1 to count.
struct Download {
    std::u16string serial;
    std::int16_t port = 0;
    std::u16string clock_text;
    char16_t clock_flag = u'H';
    std::int16_t count = 0;  // num_barcodes
    const std::vector<std::u16string>* barcodes = nullptr;
    const std::vector<std::optional<std::int16_t>>* types = nullptr;
    const std::vector<double>* times = nullptr;

    // False for an item whose packet the download did not get.
    bool filled(int item) const;
    const std::u16string& barcode(int item) const { return (*barcodes)[static_cast<std::size_t>(item)]; }
    int type(int item) const { return *(*types)[static_cast<std::size_t>(item)]; }
    // "YYYY-MM-DD hh:mm:ss"
    std::string scan_time(int item) const;

    int filled_count() const;
    bool complete() const { return count >= 0 && filled_count() == count; }
    // The scanner's clock as "YYYY-MM-DD hh:mm:ss"; nullopt when it was lost or not read.
    std::optional<std::string> clock() const;
};

Download take_download(const Clicker& clicker);

// The download in one format, UTF-8. `record` is alldata's text, written as it is, with no line
// end; the other formats end with a line end (CR LF in CSV, as RFC 4180 has it).
std::string render_download(const Download& download, DownloadFormat format, std::u16string_view record);

}  // namespace harrowtally::host
