// Reading a workbook back: ours (inline strings) or one a spreadsheet saved again (shared
// strings, other styles, cells in any order within a row). Only the first sheet's part is read.
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "common/date_value.h"
#include "common/text.h"
#include "host/formats/format_parts.h"
#include "host/formats/read_budget.h"
#include "host/formats/xlsx_layout.h"
#include "host/formats/xml_reader.h"
#include "host/formats/xml_text.h"
#include "host/formats/zip_archive.h"
#include "host/text/value_text.h"

namespace harrowtally::host::formats {
namespace {

using namespace xlsx;

// A cell as the sheet gives it: text (an inline or shared string) or a number's digits.
struct Cell {
    enum class Kind { none, text, number } kind = Kind::none;
    std::u16string text;
    std::string number;
};

// The text of an <is> or <si>: its <t>, or the <t> of each of its runs; phonetic runs are not
// part of the text.
std::u16string string_item(XmlReader& xml, const std::string& where) {
    std::string utf8;
    if (xml.kind() == XmlReader::Kind::empty) return {};
    for (int depth = 1; depth > 0;) {
        if (!xml.next()) throw Malformed{where + " ends inside a string"};
        if (xml.starts("t")) {
            utf8 += xml.text();
        } else if (xml.starts("rPh")) {
            xml.skip();
        } else if (xml.kind() == XmlReader::Kind::start) {
            ++depth;
        } else if (xml.kind() == XmlReader::Kind::end) {
            --depth;
        }
    }
    const std::optional<std::u16string> text = from_utf8_strictly(utf8);
    if (!text) throw Malformed{where + " is not UTF-8"};
    return undo_text_escapes(*text);
}

std::vector<std::u16string> shared_strings(const ZipReader& zip, ReadBudget& budget) {
    std::vector<std::u16string> strings;
    const std::optional<std::string> part = zip.entry(kSharedStringsPart, budget);
    if (!part) return strings;
    XmlReader xml(*part, "its shared strings");
    while (xml.next()) {
        if (!xml.starts("si")) continue;
        std::u16string text = string_item(xml, "its shared strings");
        // An empty string costs its place in the list: five bytes of XML each, millions of them.
        budget.take(sizeof(std::u16string) + text.size() * sizeof(char16_t), "its shared strings");
        strings.push_back(std::move(text));
    }
    return strings;
}

// The column of a reference such as "C12": 0 for A.
int column_of(std::string_view reference) {
    int column = 0;
    std::size_t k = 0;
    for (; k < reference.size() && reference[k] >= 'A' && reference[k] <= 'Z' && column <= 16384; ++k) {
        column = column * 26 + (reference[k] - 'A' + 1);
    }
    return k == 0 ? -1 : column - 1;
}

// The row of a reference such as "C12": "12".
std::string_view row_of(std::string_view reference) {
    const std::size_t digits = reference.find_first_of("0123456789");
    return digits == std::string_view::npos ? std::string_view() : reference.substr(digits);
}

std::optional<double> number_value(const std::string& digits) {
    double v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

class SheetReader {
public:
    SheetReader(const std::vector<std::u16string>& strings, SavedHeader& header, Handing& hand, ReadBudget& budget)
        : strings_(strings), header_(header), hand_(hand), budget_(budget) {}

    void read(std::string_view part) {
        XmlReader xml(part, "its sheet");
        bool in_data = false;
        while (xml.next()) {
            if (xml.starts("sheetData")) in_data = true;
            if (xml.is(XmlReader::Kind::end, "sheetData")) in_data = false;
            if (in_data && xml.starts("row")) read_row(xml);
        }
        if (rows_ == 0) throw Malformed{"its sheet has no header row"};
    }

private:
    void read_row(XmlReader& xml) {
        row_ = xml.attribute("r").value_or(std::to_string(row_number_ + 1));
        row_number_ = decimal(row_).value_or(row_number_ + 1);
        std::array<Cell, kColumns.size()> cells{};
        int column = -1;
        if (xml.kind() == XmlReader::Kind::start) {
            while (xml.next() && !xml.is(XmlReader::Kind::end, "row")) {
                if (!xml.starts("c")) continue;
                const std::optional<std::string> reference = xml.attribute("r");
                column = reference ? column_of(*reference) : column + 1;
                if (column < 0 || column >= static_cast<int>(cells.size())) {
                    throw Malformed{"row " + row_ + " has a cell beyond column G"};
                }
                // A spreadsheet puts a cell where its reference says, whatever row holds it.
                if (reference && row_of(*reference) != row_) {
                    throw Malformed{"row " + row_ + " holds the cell " + *reference + " of another row"};
                }
                cells[static_cast<std::size_t>(column)] = read_cell(xml, std::string(1, char('A' + column)) + row_);
            }
        }
        ++rows_;
        if (rows_ == 1) {
            header_row(cells);
        } else {
            item_row(cells);
        }
    }

    Cell read_cell(XmlReader& xml, const std::string& where) {
        Cell cell;
        const std::string type = xml.attribute("t").value_or("n");
        if (xml.kind() == XmlReader::Kind::empty) return cell;
        std::optional<std::string> value;
        while (xml.next() && !xml.is(XmlReader::Kind::end, "c")) {
            if (xml.starts("f")) throw Malformed{"cell " + where + " holds a formula"};
            if (xml.starts("v")) {
                value = xml.text();
                budget_.take(value->size(), "cell " + where);
            } else if (xml.starts("is")) {
                // A spreadsheet shows an inline string only in a cell of that type.
                if (type != "inlineStr") throw Malformed{"cell " + where + " holds an inline string of another type"};
                cell.kind = Cell::Kind::text;
                cell.text = string_item(xml, "cell " + where);
                budget_.take(cell.text.size() * sizeof(char16_t), "cell " + where);
            } else if (xml.kind() != XmlReader::Kind::end) {
                xml.skip();
            }
        }
        if (type == "inlineStr") return cell;
        if (!value) return cell;
        if (type == "s") {
            const std::optional<std::int32_t> index = decimal(*value);
            if (!index || *index < 0 || static_cast<std::size_t>(*index) >= strings_.size()) {
                throw Malformed{"cell " + where + " names a shared string there is none of"};
            }
            // Each cell is a copy of its string: a long one named by every cell would multiply.
            budget_.take(strings_[static_cast<std::size_t>(*index)].size() * sizeof(char16_t), "cell " + where);
            cell.kind = Cell::Kind::text;
            cell.text = strings_[static_cast<std::size_t>(*index)];
        } else if (type == "str") {
            const std::optional<std::u16string> text = from_utf8_strictly(*value);
            if (!text) throw Malformed{"cell " + where + " is not UTF-8"};
            cell.kind = Cell::Kind::text;
            cell.text = undo_text_escapes(*text);
        } else if (type == "n") {
            cell.kind = Cell::Kind::number;
            cell.number = std::move(*value);
        } else {
            throw Malformed{"cell " + where + " is of type \"" + type + "\", neither text nor a number"};
        }
        return cell;
    }

    void header_row(const std::array<Cell, kColumns.size()>& cells) {
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (cells[k].kind != Cell::Kind::text || cells[k].text != from_utf8(kColumns[k])) {
                throw Malformed{
                    "its header row is not item, barcode, type, scan_time, stamp_text, serial, "
                    "scanner_clock"};
            }
        }
    }

    std::string where(int column) const { return "cell " + std::string(1, char('A' + column)) + row_; }

    // A text column's value: "" for an empty cell; a number there is what a spreadsheet made of a text.
    std::u16string text(Cell& cell, int column) const {
        if (cell.kind == Cell::Kind::number) throw Malformed{where(column) + " holds a number where text belongs"};
        return std::move(cell.text);
    }

    std::optional<double> number(const Cell& cell, int column) const {
        if (cell.kind == Cell::Kind::none) return std::nullopt;
        if (cell.kind == Cell::Kind::text) throw Malformed{where(column) + " holds text where a number belongs"};
        const std::optional<double> v = number_value(cell.number);
        if (!v) throw Malformed{where(column) + " holds \"" + cell.number + "\", not a number"};
        return v;
    }

    std::optional<std::string> date_time(const Cell& cell, int column) const {
        const std::optional<double> v = number(cell, column);
        if (!v) return std::nullopt;
        if (!is_valid_date_value(*v)) throw Malformed{where(column) + " holds no date a calendar shows"};
        return date_value_text(*v);
    }

    // A whole number from 0 up; -1 for any other number.
    std::int32_t whole(const Cell& cell, int column) const {
        const std::optional<double> v = number(cell, column);
        if (!v || *v < 0 || *v > 2147483647.0 || std::floor(*v) != *v) return -1;
        return static_cast<std::int32_t>(*v);
    }

    void item_row(std::array<Cell, kColumns.size()>& cells) {
        std::u16string serial = text(cells[col_serial], col_serial);
        const std::optional<std::u16string> given = serial.empty() ? std::nullopt : std::optional(std::move(serial));
        if (rows_ == 2) header_.serial = given;
        if (given != header_.serial) throw Malformed{"row " + row_ + " names another serial number"};
        date_time(cells[col_scanner_clock], col_scanner_clock);
        // The barcode handed on may be kept: an empty row costs as much as any.
        budget_.take(sizeof(SavedBarcode), "row " + row_);
        SavedBarcode b;
        b.item = whole(cells[col_item], col_item);
        if (cells[col_type].kind == Cell::Kind::none) {
            if (cells[col_barcode].kind != Cell::Kind::none || cells[col_scan_time].kind != Cell::Kind::none ||
                cells[col_stamp_text].kind != Cell::Kind::none) {
                throw Malformed{"row " + row_ + " has a barcode, time or stamp but no type"};
            }
        } else {
            b.read = true;
            b.type = whole(cells[col_type], col_type);
            if (b.type < 0) throw Malformed{where(col_type) + " holds no type"};
            b.barcode = text(cells[col_barcode], col_barcode);
            b.scan_time = date_time(cells[col_scan_time], col_scan_time);
            b.stamp_text = text(cells[col_stamp_text], col_stamp_text);
        }
        hand_(b);
    }

    const std::vector<std::u16string>& strings_;
    SavedHeader& header_;
    Handing& hand_;
    ReadBudget& budget_;
    std::string row_;
    std::int64_t row_number_ = 0;  // a row after r="2147483647" is the next one, not a wrapped one
    int rows_ = 0;
};

}  // namespace

void read_xlsx(std::string_view bytes, SavedHeader& header, Handing& hand) {
    ReadBudget budget(bytes.size());
    const ZipReader zip(bytes);
    const std::optional<std::string> sheet = zip.entry(kSheetPart, budget);
    if (!sheet) throw Malformed{"it has no sheet " + std::string(kSheetPart)};
    const std::vector<std::u16string> strings = shared_strings(zip, budget);
    SheetReader(strings, header, hand, budget).read(*sheet);
}

}  // namespace harrowtally::host::formats
