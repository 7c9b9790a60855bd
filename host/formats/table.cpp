// The table: for people, on a terminal; it escapes what a terminal cannot show and has no reader.
#include <algorithm>

#include "host/formats/format_parts.h"
#include "host/text/terminal_text.h"

namespace harrowtally::host::formats {
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

Row table_row(const Clicker& c, int k) {
    const DownloadedBarcode* item = downloaded(c).filled_item(k);
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

}  // namespace

std::string table_text(const Clicker& c) {
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

}  // namespace harrowtally::host::formats
