#pragma once
// The export record: a fixed-width text of the serial number, the clock snapshot, the barcode count
// and one item per downloaded barcode, for hosts that store the whole download in one piece.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clicker/download.h"

namespace harrowtally {

// The fields in front of the items.
struct RecordHeader {
    std::u16string_view serial;
    char16_t clock_flag = u'\0';
    std::u16string_view clock_text;
    std::int16_t count = 0;
};

// Field widths. The numeric ones are minimum widths: a longer number is written whole and moves
// everything after it. Text fields are padded on the right; a longer text is written whole too.
namespace record_width {
inline constexpr std::size_t tag = 3;
inline constexpr std::size_t serial = 16;
inline constexpr std::size_t clock_flag = 1;
inline constexpr std::size_t clock_text = 12;
inline constexpr int count = 4;
inline constexpr int item_number = 3;
inline constexpr std::size_t barcode = 13;
inline constexpr int type = 2;
inline constexpr std::size_t time = 14;
}  // namespace record_width

// The width a number field takes for `value`: its digits and sign, at least `min_digits` (item
// numbers take three digits up to 999, the count four up to 9999).
std::size_t record_number_width(std::int32_t value, int min_digits);

// The record, built in one buffer allocated at its final length. Values that were never set are
// written as blanks of their field's width: the serial before any scanner was found, the clock
// fields before any snapshot, and the empty barcode, type and date value 0 of an interrupted
// download. A negative count is written with its sign ("-0001") and has no items.
// Throws RuntimeError(9) when the count is positive and there is no download or it holds fewer
// items than the count; nothing is built then.
std::u16string build_export_record(const RecordHeader& header, const std::optional<Download>& download);

}  // namespace harrowtally
