#include "host/download_formats.h"

#include <algorithm>

#include "common/date_value.h"
#include "common/text.h"
#include "host/command_support.h"

namespace harrowtally::host {
namespace {

std::optional<std::string> scan_time_text(double value) {
    if (!is_valid_date_value(value)) return std::nullopt;
    return date_value_text(value);
}

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

std::string table(const Download& d) {
    const auto clock = d.clock();
    std::string out;
    out += "Serial number  " + printable(d.serial) + "\n";
    out += "Port           " + std::to_string(d.port) + "\n";
    out += "Scanner clock  " +
           (clock                  ? *clock
            : d.clock_flag == u'L' ? "lost (not set)"
                                   : "unreadable (" + printable(d.clock_text) + ")") +
           "\n";
    out += "Barcodes       " + std::to_string(d.count) + "\n";
    if (d.barcodes.empty()) return out;

    struct Row {
        std::string item, barcode, type, time;
    };
    std::vector<Row> rows;
    rows.reserve(d.barcodes.size() + 1);
    rows.push_back({"Item", "Barcode", "Type", "Scan time"});
    for (const auto& b : d.barcodes) {
        if (b.filled) {
            rows.push_back(
                {std::to_string(b.item), printable(b.barcode), std::to_string(b.type), b.scan_time.value_or("")});
        } else {
            rows.push_back({std::to_string(b.item), "(not read)", "", ""});
        }
    }
    std::size_t item_width = 0, barcode_width = 0, type_width = 0;
    for (const auto& r : rows) {
        item_width = std::max(item_width, width_of(r.item));
        barcode_width = std::max(barcode_width, width_of(r.barcode));
        type_width = std::max(type_width, width_of(r.type));
    }
    out += "\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const bool heading = i == 0;
        pad(out, r.item, item_width, !heading);
        out += "  ";
        pad(out, r.barcode, barcode_width, false);
        out += "  ";
        pad(out, r.type, type_width, !heading);
        out += "  ";
        out += r.time;
        while (!out.empty() && out.back() == ' ') out.pop_back();
        out += "\n";
    }
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
    const std::string serial = to_utf8(d.serial), clock = d.clock().value_or("");
    for (const auto& b : d.barcodes) {
        out += std::to_string(b.item);
        out += ',';
        if (b.filled) {
            csv_field(out, to_utf8(b.barcode));
            out += ',' + std::to_string(b.type) + ',' + b.scan_time.value_or("");
        } else {
            out += ",,";
        }
        out += ',';
        csv_field(out, serial);
        out += ',';
        csv_field(out, clock);
        out += "\r\n";
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
    for (std::size_t i = 0; i < d.barcodes.size(); ++i) {
        const auto& b = d.barcodes[i];
        out += i == 0 ? "\n    " : ",\n    ";
        out += "{\"item\": " + std::to_string(b.item) + ", \"barcode\": ";
        if (b.filled) {
            json_string(out, to_utf8(b.barcode));
            out += ", \"type\": " + std::to_string(b.type) + ", \"scan_time\": ";
            json_time(out, b.scan_time);
        } else {
            out += "null, \"type\": null, \"scan_time\": null";
        }
        out += "}";
    }
    out += d.barcodes.empty() ? "]\n}\n" : "\n  ]\n}\n";
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

int Download::filled_count() const {
    return static_cast<int>(std::count_if(barcodes.begin(), barcodes.end(), [](const auto& b) { return b.filled; }));
}

std::optional<std::string> Download::clock() const {
    if (clock_flag != u'H') return std::nullopt;
    return clock_text_time(clock_text);
}

Download take_download(const Clicker& clicker, std::u16string record) {
    Download d;
    d.record = std::move(record);
    const Variant serial = clicker.serial();
    d.serial = serial.type() == VarType::String ? serial.as_string() : std::u16string();
    d.port = clicker.comport();
    d.clock_text = clicker.clock_text();
    d.clock_flag = clicker.clock_flag();
    d.count = clicker.num_barcodes();
    if (d.count <= 0) return d;
    const auto& barcodes = clicker.barcode_list();
    const auto& types = clicker.type_list();
    const auto& times = clicker.time_list();
    d.barcodes.reserve(static_cast<std::size_t>(d.count));
    for (int k = 1; k <= d.count; ++k) {
        DownloadedBarcode b;
        b.item = k;
        const auto i = static_cast<std::size_t>(k);
        if (barcodes && types && times && i < types->size() && i < barcodes->size() && i < times->size() &&
            (*types)[i]) {
            b.filled = true;
            b.barcode = (*barcodes)[i];
            b.type = *(*types)[i];
            b.scan_time = scan_time_text((*times)[i]);
        }
        d.barcodes.push_back(std::move(b));
    }
    return d;
}

std::string render_download(const Download& download, DownloadFormat format) {
    switch (format) {
        case DownloadFormat::table:
            return table(download);
        case DownloadFormat::record:
            return to_utf8(download.record);
        case DownloadFormat::csv:
            return csv(download);
        case DownloadFormat::json:
            return json(download);
    }
    return {};
}

}  // namespace harrowtally::host
