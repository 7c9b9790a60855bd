#pragma once
// Proving a saved download before the scanner is erased: the file is read back with the reader of
// its format and compared, barcode by barcode, with what the scanner gave.
#include <optional>
#include <string>
#include <string_view>

#include "clicker/clicker.h"
#include "host/formats/download_format.h"

namespace harrowtally::host {

// The first way in which `file_text`, a download saved in `format`, does not give back what the
// Clicker downloaded, in words ("barcode 3 reads back as ..."); nullopt when it gives back every
// barcode the scanner reported: the exact text, the type and the time stamp (CSV and JSON keep
// the stamp's text; the record must hold the scan time that the stamp's text states exactly),
// under the same serial number. A download that did not read every barcode differs too. The file
// holds the items from `first_item` on, as render_download wrote them.
std::optional<std::string> saved_download_difference(const Clicker& clicker, DownloadFormat format,
                                                     std::string_view file_text, int first_item = 1);

}  // namespace harrowtally::host
