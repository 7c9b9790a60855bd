#pragma once
// What the workbook writer and reader agree on: the parts' names, the columns and the styles.
#include <array>
#include <string_view>

namespace harrowtally::host::formats::xlsx {

inline constexpr std::string_view kSheetPart = "xl/worksheets/sheet1.xml";
inline constexpr std::string_view kSharedStringsPart = "xl/sharedStrings.xml";

// The CSV's columns, in its order: A to G.
inline constexpr std::array<std::string_view, 7> kColumns = {"item",       "barcode", "type",         "scan_time",
                                                             "stamp_text", "serial",  "scanner_clock"};
enum Column { col_item, col_barcode, col_type, col_scan_time, col_stamp_text, col_serial, col_scanner_clock };

// Cell styles (indexes into styles.xml's cellXfs).
inline constexpr int kDateTimeStyle = 1;  // yyyy-mm-dd hh:mm:ss
inline constexpr int kTextStyle = 2;      // "@": a value typed into the cell stays text too
inline constexpr int kHeaderStyle = 3;    // bold

}  // namespace harrowtally::host::formats::xlsx
