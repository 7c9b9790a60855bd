#include "host/formats/download_format.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "clicker/scan_time.h"
#include "common/date_value.h"
#include "common/text.h"
#include "host/formats/format_parts.h"
#include "host/text/value_text.h"

namespace harrowtally::host {
namespace formats {

std::optional<std::int32_t> decimal(std::string_view text) {
    std::int32_t v = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end) return std::nullopt;
    return v;
}

std::string narrow(std::u16string_view ascii_text) {
    std::string out;
    for (char16_t c : ascii_text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

bool all_blank(std::u16string_view s) {
    return s.find_first_not_of(u' ') == std::u16string_view::npos;
}

bool all_digits(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

std::int32_t item_number(std::u16string_view s) {
    return all_digits(s) ? decimal(narrow(s)).value_or(-1) : -1;
}

}  // namespace formats

namespace {
constexpr std::pair<DownloadFormat, const char*> kFormatNames[] = {{DownloadFormat::table, "table"},
                                                                   {DownloadFormat::record, "record"},
                                                                   {DownloadFormat::csv, "csv"},
                                                                   {DownloadFormat::json, "json"},
                                                                   {DownloadFormat::xlsx, "xlsx"}};
}  // namespace

std::optional<DownloadFormat> parse_download_format(const std::string& name) {
    for (const auto& [format, format_name] : kFormatNames) {
        if (name == format_name) return format;
    }
    return std::nullopt;
}

const char* format_name(DownloadFormat format) {
    for (const auto& [named, name] : kFormatNames) {
        if (named == format) return name;
    }
    return "?";
}

std::optional<DownloadFormat> format_of_file_name(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    if (equals_ignoring_case(extension, "csv")) return DownloadFormat::csv;
    if (equals_ignoring_case(extension, "json")) return DownloadFormat::json;
    if (equals_ignoring_case(extension, "xlsx")) return DownloadFormat::xlsx;
    if (equals_ignoring_case(extension, "rec")) return DownloadFormat::record;
    return std::nullopt;
}

std::optional<std::string> written_scan_time(const DownloadedBarcode& item) {
    // Not the stand-in date, and not a date only an earlier stamp's leftovers give.
    if (!item.stamp_read || !is_valid_date_value(item.time) || !stamp_text_gives(item.stamp_text, item.time)) {
        return std::nullopt;
    }
    return date_value_text(item.time);
}

std::optional<std::u16string> saved_serial(const Clicker& clicker, DownloadFormat format) {
    if (format != DownloadFormat::record && !clicker.serial_was_read()) return std::nullopt;
    return serial_text(clicker);
}

const Download& downloaded(const Clicker& clicker) {
    static const Download none(0);
    return clicker.download() ? *clicker.download() : none;
}

std::u16string serial_text(const Clicker& clicker) {
    const Variant serial = clicker.serial();
    return serial.type() == VarType::String ? serial.as_string() : std::u16string();
}

std::optional<std::string> scanner_clock(const Clicker& clicker) {
    if (clicker.clock_flag() != u'H') return std::nullopt;
    return clock_text_time(clicker.clock_text());
}

std::string render_download(const Clicker& clicker, DownloadFormat format, std::u16string_view record, int first_item) {
    switch (format) {
        case DownloadFormat::table:
            return formats::table_text(clicker);
        case DownloadFormat::record:
            return formats::record_text(record);
        case DownloadFormat::csv:
            return formats::csv_text(clicker, first_item);
        case DownloadFormat::json:
            return formats::json_text(clicker, first_item);
        case DownloadFormat::xlsx:
            return formats::xlsx_bytes(clicker, first_item);
    }
    return {};
}

ReadBack read_saved_download(DownloadFormat format, std::string_view text, const EachSavedBarcode& each) {
    ReadBack back;
    formats::Handing hand(each, back);
    try {
        switch (format) {
            case DownloadFormat::record: {
                formats::read_record(text, back.header, hand);
                break;
            }
            case DownloadFormat::csv:
                formats::read_csv(text, back.header, hand);
                break;
            case DownloadFormat::json:
                formats::read_json(text, back.header, hand);
                break;
            case DownloadFormat::xlsx:
                formats::read_xlsx(text, back.header, hand);
                break;
            case DownloadFormat::table:
                throw formats::Malformed{"a table is for reading, and is not read back"};
        }
    } catch (const formats::Malformed& m) {
        back.problem = m.what();
    } catch (const formats::Stopped&) {
        back.stopped = true;
    }
    return back;
}

SavedDownload read_saved_download(DownloadFormat format, std::string_view text) {
    SavedDownload saved;
    saved.read = read_saved_download(format, text, [&](const SavedBarcode& b) {
        saved.barcodes.push_back(b);
        return true;
    });
    return saved;
}

}  // namespace harrowtally::host
