#include "host/download_formats.h"

#include <algorithm>
#include <cstdio>

#include "common/date_value.h"
#include "common/text.h"
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

Row table_row(const Download& d, int k) {
    if (!d.filled(k)) return {std::to_string(k), "(not read)", "", ""};
    return {std::to_string(k), terminal_text(d.barcode(k)), std::to_string(d.type(k)), d.scan_time(k)};
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

std::string table(const Download& d) {
    const auto clock = d.clock();
    std::string out;
    out += "Serial number  " + terminal_text(d.serial) + "\n";
    out += "Port           " + std::to_string(d.port) + "\n";
    out += "Scanner clock  " +
           (clock                  ? *clock
            : d.clock_flag == u'L' ? "lost (not set)"
                                   : "unreadable (" + terminal_text(d.clock_text) + ")") +
           "\n";
    out += "Barcodes       " + std::to_string(d.count) + "\n";
    if (d.count <= 0) return out;

    // Two passes: the column widths, then the lines.
    const Row heading{"Item", "Barcode", "Type", "Scan time"};
    std::size_t width[3] = {width_of(heading.item), width_of(heading.barcode), width_of(heading.type)};
    for (int k = 1; k <= d.count; ++k) {
        const Row r = table_row(d, k);
        width[0] = std::max(width[0], width_of(r.item));
        width[1] = std::max(width[1], width_of(r.barcode));
        width[2] = std::max(width[2], width_of(r.type));
    }
    out += "\n";
    table_line(out, heading, width, true);
    for (int k = 1; k <= d.count; ++k) table_line(out, table_row(d, k), width, false);
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

std::string csv(const Download& d) {
    std::string out = "item,barcode,type,scan_time,serial,scanner_clock\r\n";
    std::string fixed = ",";  // the serial and clock columns, the same on every line
    csv_field(fixed, to_utf8(d.serial));
    fixed += ',';
    csv_field(fixed, d.clock().value_or(""));
    fixed += "\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(d.count, 0)) * (48 + fixed.size()));
    for (int k = 1; k <= d.count; ++k) {
        out += std::to_string(k);
        out += ',';
        if (d.filled(k)) {
            csv_field(out, to_utf8(d.barcode(k)));
            out += ',';
            out += std::to_string(d.type(k));
            out += ',';
            out += d.scan_time(k);
        } else {
            out += ",,";
        }
        out += fixed;
    }
    return out;
}

void json_string(std::string& out, const std::string& utf8_text) {
    out += '"';
    for (char c : utf8_text) {
        const auto u = static_cast<unsigned char>(c);
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

void json_time(std::string& out, const std::optional<std::string>& time) {
    if (!time) {
        out += "null";
        return;
    }
    std::string iso = *time;
    iso[10] = 'T';
    json_string(out, iso);
}

std::string json(const Download& d) {
    std::string out = "{\n  \"serial\": ";
    json_string(out, to_utf8(d.serial));
    out += ",\n  \"port\": " + std::to_string(d.port);
    out += ",\n  \"scanner_clock\": ";
    json_time(out, d.clock());
    out += ",\n  \"clock_text\": ";
    json_string(out, to_utf8(d.clock_text));
    out += ",\n  \"clock_flag\": ";
    json_string(out, to_utf8(std::u16string(1, d.clock_flag)));
    out += ",\n  \"count\": " + std::to_string(d.count);
    out += ",\n  \"complete\": ";
    out += d.complete() ? "true" : "false";
    out += ",\n  \"barcodes\": [";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(d.count, 0)) * 96);
    for (int k = 1; k <= d.count; ++k) {
        out += k == 1 ? "\n    " : ",\n    ";
        out += "{\"item\": " + std::to_string(k) + ", \"barcode\": ";
        if (d.filled(k)) {
            json_string(out, to_utf8(d.barcode(k)));
            out += ", \"type\": " + std::to_string(d.type(k)) + ", \"scan_time\": ";
            json_time(out, d.scan_time(k));
        } else {
            out += "null, \"type\": null, \"scan_time\": null";
        }
        out += "}";
    }
    out += d.count > 0 ? "\n  ]\n}\n" : "]\n}\n";
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

bool Download::filled(int item) const {
    const auto i = static_cast<std::size_t>(item);
    return item >= 1 && item <= count && barcodes && types && times && i < barcodes->size() && i < types->size() &&
           i < times->size() && (*types)[i].has_value();
}

std::string Download::scan_time(int item) const {
    const double value = (*times)[static_cast<std::size_t>(item)];
    return is_valid_date_value(value) ? date_value_text(value) : std::string();
}

int Download::filled_count() const {
    int filled_items = 0;
    for (int k = 1; k <= count; ++k) filled_items += filled(k) ? 1 : 0;
    return filled_items;
}

std::optional<std::string> Download::clock() const {
    if (clock_flag != u'H') return std::nullopt;
    return clock_text_time(clock_text);
}

Download take_download(const Clicker& clicker) {
    Download d;
    const Variant serial = clicker.serial();
    d.serial = serial.type() == VarType::String ? serial.as_string() : std::u16string();
    d.port = clicker.comport();
    d.clock_text = clicker.clock_text();
    d.clock_flag = clicker.clock_flag();
    d.count = clicker.num_barcodes();
    if (clicker.barcode_list()) d.barcodes = &*clicker.barcode_list();
    if (clicker.type_list()) d.types = &*clicker.type_list();
    if (clicker.time_list()) d.times = &*clicker.time_list();
    return d;
}

std::string render_download(const Download& download, DownloadFormat format, std::u16string_view record) {
    switch (format) {
        case DownloadFormat::table:
            return table(download);
        case DownloadFormat::record:
            return to_utf8(record);
        case DownloadFormat::csv:
            return csv(download);
        case DownloadFormat::json:
            return json(download);
    }
    return {};
}

}  // namespace harrowtally::host
