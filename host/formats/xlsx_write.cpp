// The workbook: one sheet with the CSV's columns, texts as inline strings (never a formula, so
// leading zeros, long digit strings and look-alikes of numbers, dates and formulas stay as they
// are), item and type as numbers, times as date-time numbers; the header row frozen.
#include <algorithm>
#include <array>
#include <charconv>

#include "common/date_value.h"
#include "common/text.h"
#include "host/formats/format_parts.h"
#include "host/formats/xlsx_layout.h"
#include "host/formats/xml_text.h"
#include "host/formats/zip_archive.h"

namespace harrowtally::host::formats {
namespace {

using namespace xlsx;

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
// How much of the sheet is built before it goes to the archive.
constexpr std::size_t kPiece = 64 * 1024;
constexpr std::string_view kRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string content_types() {
    return std::string(kXmlDeclaration) +
           "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
           "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
           "<Override PartName=\"/xl/styles.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
           "</Types>";
}

std::string package_relationships() {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           std::string(kRelationships) + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

std::string workbook() {
    return std::string(kXmlDeclaration) + "<workbook xmlns=\"" + std::string(kMain) + "\" xmlns:r=\"" +
           std::string(kRelationships) +
           "\"><sheets><sheet name=\"Scans\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
}

std::string workbook_relationships() {
    const std::string type = std::string(kRelationships);
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           type + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + type +
           "/styles\" Target=\"styles.xml\"/></Relationships>";
}

// The cellXfs in the order of xlsx_layout.h's styles.
std::string styles() {
    return std::string(kXmlDeclaration) + "<styleSheet xmlns=\"" + std::string(kMain) +
           "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd\\ hh:mm:ss\"/></numFmts>"
           "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
           "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
           "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
           "<xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
           "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
           "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";
}

// "YYYY-MM-DD hh:mm:ss" as the spreadsheet's day count (days since 1899-12-30, which is the
// 1900 date system from March 1900 on: every scan time is later).
double date_time_value(std::string_view text) {
    const auto field = [&](std::size_t at, std::size_t width) {
        int v = 0;
        std::from_chars(text.data() + at, text.data() + at + width, v);
        return v;
    };
    return date_serial(field(0, 4), field(5, 2), field(8, 2)) + time_serial(field(11, 2), field(14, 2), field(17, 2));
}

// One row of the sheet; cells with no value are left out, as the CSV leaves fields empty.
class RowWriter {
public:
    RowWriter(std::string& out, int row) : out_(out), row_(std::to_string(row)) { out_ += "<row r=\"" + row_ + "\">"; }
    ~RowWriter() { out_ += "</row>"; }

    void text(Column column, std::u16string_view value, int style) {
        open(column, style);
        out_ += " t=\"inlineStr\"><is><t";
        if (needs_preserved_space(value)) out_ += " xml:space=\"preserve\"";
        out_ += '>';
        append_xml_text(out_, value);
        out_ += "</t></is></c>";
    }
    void number(Column column, double value, int style = 0) {
        open(column, style);
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_ += "><v>";
        out_.append(digits, end);
        out_ += "</v></c>";
    }
    void date_time(Column column, const std::optional<std::string>& value) {
        if (value) number(column, date_time_value(*value), kDateTimeStyle);
    }

private:
    void open(Column column, int style) {
        out_ += "<c r=\"";
        out_ += static_cast<char>('A' + column);
        out_ += row_;
        out_ += '"';
        if (style != 0) out_ += " s=\"" + std::to_string(style) + "\"";
    }

    std::string& out_;
    std::string row_;
};

// Column widths that show every value whole: its characters and a margin, as the spreadsheet
// counts a width (in digits), up to the largest width it takes.
std::array<double, 7> column_widths(const Clicker& c, int first_item, std::size_t serial_length) {
    std::array<std::size_t, 7> longest{};
    for (std::size_t k = 0; k < kColumns.size(); ++k) longest[k] = kColumns[k].size();
    const int count = std::max<int>(c.num_barcodes(), 0);
    longest[col_item] = std::max(longest[col_item], std::to_string(count).size());
    longest[col_type] = std::max<std::size_t>(longest[col_type], 3);
    longest[col_scan_time] = longest[col_scanner_clock] = 19;
    longest[col_serial] = std::max(longest[col_serial], serial_length);
    for (int k = first_item; k <= count; ++k) {
        if (const DownloadedBarcode* b = downloaded(c).filled_item(k)) {
            longest[col_barcode] = std::max(longest[col_barcode], b->barcode.size());
            longest[col_stamp_text] = std::max(longest[col_stamp_text], b->stamp_text.size());
        }
    }
    std::array<double, 7> widths{};
    for (std::size_t k = 0; k < widths.size(); ++k)
        widths[k] = std::min<double>(static_cast<double>(longest[k]) + 2, 255);
    return widths;
}

// The sheet, handed to the archive a piece at a time: it need never be whole in memory.
void write_sheet(const Clicker& c, int first_item, ZipWriter& zip) {
    const int count = std::max<int>(c.num_barcodes(), 0);
    const std::optional<std::u16string> serial = saved_serial(c, DownloadFormat::xlsx);
    const std::optional<std::string> clock = scanner_clock(c);
    std::string out(kXmlDeclaration);
    const int rows = std::max(count - first_item + 1, 0);
    out += "<worksheet xmlns=\"" + std::string(kMain) + "\"><dimension ref=\"A1:G" + std::to_string(rows + 1) +
           "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
           "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
           "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/></sheetView></sheetViews>"
           "<sheetFormatPr defaultRowHeight=\"15\"/><cols>";
    const std::array<double, 7> widths = column_widths(c, first_item, serial ? serial->size() : 0);
    for (std::size_t k = 0; k < widths.size(); ++k) {
        const std::string n = std::to_string(k + 1);
        char width[32];
        const auto end = std::to_chars(width, width + sizeof width, widths[k]).ptr;
        out.append("<col min=\"").append(n).append("\" max=\"").append(n).append("\" width=\"");
        out.append(width, end).append("\" customWidth=\"1\"/>");
    }
    out += "</cols><sheetData>";
    {
        RowWriter header(out, 1);
        for (std::size_t k = 0; k < kColumns.size(); ++k) {
            header.text(static_cast<Column>(k), from_utf8(kColumns[k]), kHeaderStyle);
        }
    }
    for (int k = first_item; k <= count; ++k) {
        RowWriter row(out, k - first_item + 2);
        row.number(col_item, k);
        if (const DownloadedBarcode* b = downloaded(c).filled_item(k)) {
            row.text(col_barcode, b->barcode, kTextStyle);
            row.number(col_type, *b->type);
            row.date_time(col_scan_time, written_scan_time(*b));
            row.text(col_stamp_text, b->stamp_text, kTextStyle);
        }
        if (serial) row.text(col_serial, *serial, kTextStyle);
        row.date_time(col_scanner_clock, clock);
        if (out.size() >= kPiece) {
            zip.write(out);
            out.clear();
        }
    }
    out += "</sheetData></worksheet>";
    zip.write(out);
}

}  // namespace

std::string xlsx_bytes(const Clicker& c, int first_item) {
    ZipWriter zip;
    const std::pair<std::string_view, std::string> parts[] = {{"[Content_Types].xml", content_types()},
                                                              {"_rels/.rels", package_relationships()},
                                                              {"xl/workbook.xml", workbook()},
                                                              {"xl/_rels/workbook.xml.rels", workbook_relationships()},
                                                              {"xl/styles.xml", styles()}};
    for (const auto& [name, text] : parts) {
        zip.begin(name);
        zip.write(text);
        zip.end();
    }
    zip.begin(kSheetPart);
    write_sheet(c, first_item, zip);
    zip.end();
    return zip.finish();
}

}  // namespace harrowtally::host::formats
