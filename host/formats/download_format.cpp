#include "host/download_formats.h"

#include <algorithm>
#include <cstdio>

#include "clicker/export_record.h"
#include "clicker/scan_time.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "host/ascii_case.h"
#include "host/clock_texts.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

std::size_t width_of(const std::string& utf8_text) {
    return static_cast<std::size_t>(
        std::count_if(utf8_text.begin(), utf8_text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void pad(std::string& out, const std::string& text, std::size_t width, bool right_aligned) {
    const std::size_t blanks = width > width_of(text) ? width - width_of(text) : 0;
    if (right_aligned) out.append(blanks, ' ');
    out += text;
    if (!right_aligned) out.append(blanks, ' ');
}

struct Row {
    std::string item, barcode, type, time;
};

std::u16string serial_text(const Clicker& c) {
    const Variant serial = c.serial();
    return serial.type() == VarType::String ? serial.as_string() : std::u16string();
}

Row table_row(const Clicker& c, int k) {
    const DownloadedBarcode* item = filled_item(c, k);
    if (!item) return {std::to_string(k), "(not read)", "", ""};
    // A stamp the date rule could not read has only the component's stand-in date: show its text.
    std::string time =
        written_scan_time(*item).value_or("stamp \"" + terminal_text(item->stamp_text) + "\" not read as a date");
    return {std::to_string(k), terminal_text(item->barcode), std::to_string(*item->type), std::move(time)};
}

void table_line(std::string& out, const Row& r, const std::size_t (&width)[3], bool heading) {
    const std::size_t start = out.size();
    pad(out, r.item, width[0], !heading);
    out += "  ";
    pad(out, r.barcode, width[1], false);
    out += "  ";
    pad(out, r.type, width[2], !heading);
    out += "  ";
    out += r.time;
    while (out.size() > start && out.back() == ' ') out.pop_back();
    out += "\n";
}

std::string table(const Clicker& c) {
    const auto clock = scanner_clock(c);
    const int count = c.num_barcodes();
    std::string out;
    out += "Serial number  " + (c.serial_was_read() ? terminal_text(serial_text(c)) : std::string("not read")) + "\n";
    out += "Port           " + std::to_string(c.comport()) + "\n";
    out += "Scanner clock  " +
           (clock                    ? *clock
            : c.clock_flag() == u'L' ? "lost (not set)"
                                     : "unreadable (" + terminal_text(c.clock_text()) + ")") +
           "\n";
    out += "Barcodes       " + std::to_string(count) + "\n";
    if (count <= 0) return out;

    // Two passes: the column widths, then the lines.
    const Row heading{"Item", "Barcode", "Type", "Scan time"};
    std::size_t width[3] = {width_of(heading.item), width_of(heading.barcode), width_of(heading.type)};
    for (int k = 1; k <= count; ++k) {
        const Row r = table_row(c, k);
        width[0] = std::max(width[0], width_of(r.item));
        width[1] = std::max(width[1], width_of(r.barcode));
        width[2] = std::max(width[2], width_of(r.type));
    }
    out += "\n";
    table_line(out, heading, width, true);
    for (int k = 1; k <= count; ++k) table_line(out, table_row(c, k), width, false);
    return out;
}

// A field as RFC 4180 has it: quoted when it holds a comma, a quote, CR or LF, quotes doubled.
void csv_field(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string csv(const Clicker& c) {
    const int count = c.num_barcodes();
    std::string out(kCsvHeader);
    out += "\r\n";
    std::string fixed = ",";  // the serial and clock columns, the same on every line
    csv_field(fixed, to_utf8(saved_serial(c, DownloadFormat::csv).value_or(u"")));
    fixed += ',';
    csv_field(fixed, scanner_clock(c).value_or(""));
    fixed += "\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(count, 0)) * (48 + fixed.size()));
    for (int k = 1; k <= count; ++k) {
        out += std::to_string(k);
        out += ',';
        if (const DownloadedBarcode* item = filled_item(c, k)) {
            csv_field(out, to_utf8(item->barcode));
            out += ',';
            out += std::to_string(*item->type);
            out += ',';
            out += written_scan_time(*item).value_or("");
            out += ',';
            csv_field(out, to_utf8(item->stamp_text));
        } else {
            out += ",,,";
        }
        out += fixed;
    }
    return out;
}

void json_string(std::string& out, const std::string& utf8_text) {
    out += '"';
    for (std::size_t i = 0; i < utf8_text.size(); ++i) {
        const char c = utf8_text[i];
        const auto u = static_cast<unsigned char>(c);
        // C1 controls (C2 80 to C2 9F) are escaped too: the same text, and none reaches a terminal raw.
        if (u == 0xC2 && i + 1 < utf8_text.size() && (static_cast<unsigned char>(utf8_text[i + 1]) & 0xE0) == 0x80) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(utf8_text[++i]));
            out += escape;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", u);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void json_string_or_null(std::string& out, const std::optional<std::u16string>& text) {
    if (text) {
        json_string(out, to_utf8(*text));
    } else {
        out += "null";
    }
}

void json_time(std::string& out, const std::optional<std::string>& time) {
    if (!time) {
        out += "null";
        return;
    }
    std::string iso = *time;
    iso[10] = 'T';
    json_string(out, iso);
}

std::string json(const Clicker& c) {
    const int count = c.num_barcodes();
    std::string out = "{\n  \"serial\": ";
    json_string_or_null(out, saved_serial(c, DownloadFormat::json));
    out += ",\n  \"port\": " + std::to_string(c.comport());
    out += ",\n  \"scanner_clock\": ";
    json_time(out, scanner_clock(c));
    // Before the clock is read (a download that empties the scanner reads it last) there is none.
    const bool clock_read = c.clock_flag() != u'\0';
    out += ",\n  \"clock_text\": ";
    json_string_or_null(out, clock_read ? std::optional(c.clock_text()) : std::nullopt);
    out += ",\n  \"clock_flag\": ";
    json_string_or_null(out, clock_read ? std::optional(std::u16string(1, c.clock_flag())) : std::nullopt);
    out += ",\n  \"count\": " + std::to_string(count);
    out += ",\n  \"complete\": ";
    out += download_complete(c) ? "true" : "false";
    out += ",\n  \"barcodes\": [";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(count, 0)) * 96);
    for (int k = 1; k <= count; ++k) {
        out += k == 1 ? "\n    " : ",\n    ";
        out += "{\"item\": " + std::to_string(k) + ", \"barcode\": ";
        if (const DownloadedBarcode* item = filled_item(c, k)) {
            json_string(out, to_utf8(item->barcode));
            out += ", \"type\": " + std::to_string(*item->type) + ", \"scan_time\": ";
            json_time(out, written_scan_time(*item));
            out += ", \"stamp_text\": ";
            json_string(out, to_utf8(item->stamp_text));
        } else {
            out += "null, \"type\": null, \"scan_time\": null, \"stamp_text\": null";
        }
        out += "}";
    }
    out += count > 0 ? "\n  ]\n}\n" : "]\n}\n";
    return out;
}

}  // namespace

std::optional<DownloadFormat> parse_download_format(const std::string& name) {
    if (name == "table") return DownloadFormat::table;
    if (name == "record") return DownloadFormat::record;
    if (name == "csv") return DownloadFormat::csv;
    if (name == "json") return DownloadFormat::json;
    return std::nullopt;
}

std::optional<DownloadFormat> format_of_file_name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    if (equals_ignoring_case(extension, "csv")) return DownloadFormat::csv;
    if (equals_ignoring_case(extension, "json")) return DownloadFormat::json;
    if (equals_ignoring_case(extension, "rec")) return DownloadFormat::record;
    return std::nullopt;
}

std::optional<std::string> written_scan_time(const DownloadedBarcode& item) {
    if (!item.stamp_read || !is_valid_date_value(item.time)) return std::nullopt;
    // The component reads the date from the whole stamp buffer, where a shorter stamp leaves the end
    // of the one before it: only a date that this stamp's own text gives is its scan time.
    std::u16string own(item.stamp_text);
    own.resize(stamp_text_width, u'\0');
    mask_stamp_fields(own);
    try {
        if (stamp_date(own) != item.time) return std::nullopt;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    return date_value_text(item.time);
}

std::optional<std::u16string> saved_serial(const Clicker& clicker, DownloadFormat format) {
    if (format != DownloadFormat::record && !clicker.serial_was_read()) return std::nullopt;
    return serial_text(clicker);
}

const DownloadedBarcode* filled_item(const Clicker& clicker, int k) {
    const std::optional<Download>& download = clicker.download();
    if (k > clicker.num_barcodes() || !download || !download->filled(k)) return nullptr;
    return &(*download)[static_cast<std::size_t>(k)];
}

int filled_count(const Clicker& clicker) {
    int filled_items = 0;
    for (int k = 1; k <= clicker.num_barcodes(); ++k) filled_items += filled_item(clicker, k) ? 1 : 0;
    return filled_items;
}

bool download_complete(const Clicker& clicker) {
    return clicker.num_barcodes() >= 0 && filled_count(clicker) == clicker.num_barcodes();
}

std::optional<std::string> scanner_clock(const Clicker& clicker) {
    if (clicker.clock_flag() != u'H') return std::nullopt;
    return clock_text_time(clicker.clock_text());
}

std::string render_download(const Clicker& clicker, DownloadFormat format, std::u16string_view record) {
    switch (format) {
        case DownloadFormat::table:
            return table(clicker);
        case DownloadFormat::record:
            return to_utf8(record);
        case DownloadFormat::csv:
            return csv(clicker);
        case DownloadFormat::json:
            return json(clicker);
    }
    return {};
}

}  // namespace harrowtally::host
