#pragma once
// A download as the download command writes it and reads it back: the export record as it is, an
// aligned table for people, CSV for programs that read text, a workbook for spreadsheets (which
// would turn a CSV's long digit strings, leading zeros and look-alikes into numbers, dates and
// formulas) and JSON for programs. One writer and one reader
// a format, each in its own file; what they share is here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clicker/clicker.h"

namespace harrowtally::host {

enum class DownloadFormat { table, record, csv, json, xlsx };

// nullopt for a name that is none of table, record, csv, json, xlsx.
std::optional<DownloadFormat> parse_download_format(const std::string& name);
// The name --format takes for a format: "table", "record", "csv", "json", "xlsx".
const char* format_name(DownloadFormat format);

// The format a file name's extension names: .csv, .json, .xlsx, or .rec for the record (case does not
// matter); nullopt for any other name, and for a hidden file's name such as ".csv". The name
// alone: the platform splits it from its folder.
std::optional<DownloadFormat> format_of_file_name(const std::string& name);

// The download a Clicker holds after alldata: an empty one before the first that found a barcode.
// Its items count up to num_barcodes.
const Download& downloaded(const Clicker& clicker);

// The scan time CSV, JSON and the table give a barcode, "YYYY-MM-DD hh:mm:ss": nullopt for a stamp
// the date rule could not read (the component's stand-in date is not a scan time), and for a date
// the rule found only beyond the stamp's own text, in what an earlier stamp left in the buffer.
std::optional<std::string> written_scan_time(const DownloadedBarcode& item);

// The serial number field as text; empty when it holds none.
std::u16string serial_text(const Clicker& clicker);

// The serial number a format gives: the record has the component's field as it is; CSV and JSON
// have none when csp2GetDeviceId failed (the field would be an untouched buffer's zeros).
std::optional<std::u16string> saved_serial(const Clicker& clicker, DownloadFormat format);

// The scanner's clock as "YYYY-MM-DD hh:mm:ss"; nullopt when it was lost or not read.
std::optional<std::string> scanner_clock(const Clicker& clicker);

// The download in one format, UTF-8. `record` is alldata's text, written as it is, with no line
// end; the text formats end with a line end (CR LF in CSV, as RFC 4180 has it); xlsx is the
// workbook's bytes. CSV, JSON and the workbook hold the items from `first_item` on (a collected
// download leaves out what an earlier run saved), numbered as the scanner numbers them; the table
// and the record hold every item.
std::string render_download(const Clicker& clicker, DownloadFormat format, std::u16string_view record,
                            int first_item = 1);

// One barcode as a file gives it back.
struct SavedBarcode {
    std::int32_t item = 0;
    bool read = false;  // false: the file marks the barcode as not downloaded
    std::u16string barcode;
    std::int32_t type = 0;
    std::optional<std::string> scan_time;      // "YYYY-MM-DD hh:mm:ss"; nullopt where the file has none
    std::optional<std::u16string> stamp_text;  // CSV, JSON and the workbook, which keep it
};

// What a file says of the whole download.
struct SavedHeader {
    std::optional<std::u16string> serial;  // nullopt where the file has none
    std::optional<std::int32_t> count;     // the record's and JSON's count; CSV and the workbook have none
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
