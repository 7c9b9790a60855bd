#pragma once
// A download as the download command writes it: the export record as it is, an aligned table for
// people, CSV for spreadsheets and JSON for programs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clicker/clicker.h"

namespace harrowtally::host {

enum class DownloadFormat { table, record, csv, json };

// The CSV header line, without its line end.
inline constexpr std::string_view kCsvHeader = "item,barcode,type,scan_time,stamp_text,serial,scanner_clock";

// nullopt for a name that is none of table, record, csv, json.
std::optional<DownloadFormat> parse_download_format(const std::string& name);

// The format a file name's extension names: .csv, .json, or .rec for the record (case does not
// matter); nullopt for any other name.
std::optional<DownloadFormat> format_of_file_name(const std::string& path);

// The scan time CSV, JSON and the table give a barcode, "YYYY-MM-DD hh:mm:ss": nullopt for a stamp
// the date rule could not read (the component's stand-in date is not a scan time), and for a date
// the rule found only beyond the stamp's own text, in what an earlier stamp left in the buffer.
std::optional<std::string> written_scan_time(const DownloadedBarcode& item);

// The serial number a format gives: the record has the component's field as it is; CSV and JSON
// have none when csp2GetDeviceId failed (the field would be an untouched buffer's zeros).
std::optional<std::u16string> saved_serial(const Clicker& clicker, DownloadFormat format);

// The download a Clicker holds after alldata, read where it is: items 1 to num_barcodes.
// Item k when a packet filled it, else null.
const DownloadedBarcode* filled_item(const Clicker& clicker, int k);
int filled_count(const Clicker& clicker);
// True when every barcode the scanner reported was read.
bool download_complete(const Clicker& clicker);
// The scanner's clock as "YYYY-MM-DD hh:mm:ss"; nullopt when it was lost or not read.
std::optional<std::string> scanner_clock(const Clicker& clicker);

// The download in one format, UTF-8. `record` is alldata's text, written as it is, with no line
// end; the other formats end with a line end (CR LF in CSV, as RFC 4180 has it).
std::string render_download(const Clicker& clicker, DownloadFormat format, std::u16string_view record);

}  // namespace harrowtally::host
