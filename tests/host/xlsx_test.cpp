// The workbook in-process: what spreadsheets would turn into numbers, dates or formulas is written
// as text and read back exactly; a damaged workbook is never taken for the download; a workbook a
// spreadsheet saved again (shared strings, runs, prefixes) is read as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "host/formats/download_format.h"
#include "host/formats/read_back_check.h"
#include "host/formats/read_budget.h"
#include "host/formats/xml_reader.h"
#include "host/formats/xml_text.h"
#include "host/formats/zip_archive.h"
#include "support/heap_count.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally::host {
namespace {

using testing::ScriptedCSP2;
using Edit = std::function<void(std::string&)>;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";
const std::vector<std::string> kParts = {"[Content_Types].xml",        "_rels/.rels",   "xl/workbook.xml",
                                         "xl/_rels/workbook.xml.rels", "xl/styles.xml", kSheet};

struct Downloaded {
    testing::ScriptedRig<> rig;
    std::unique_ptr<Clicker> clicker;
    std::string workbook;
};

// Downloads `barcodes` (bytes as the scanner gives them), each stamped 08:14:03 on 4 December 2026,
// and writes the workbook.
std::unique_ptr<Downloaded> download(const std::vector<std::string>& barcodes) {
    auto d = std::make_unique<Downloaded>();
    d->rig.lib.init_results[3] = 0;
    d->rig.lib.read_data_default = static_cast<std::int32_t>(barcodes.size());
    for (const std::string& b : barcodes) d->rig.lib.packets.push_back(ScriptedCSP2::packet(128, b, {0}));
    d->rig.lib.stamp_text = [](const std::uint8_t*) { return std::string("08:14:03   12/04/26"); };
    d->clicker = std::make_unique<Clicker>(d->rig.services);
    d->clicker->let_startport(Variant::integer(3));
    d->clicker->open_clicker();
    d->workbook = render_download(*d->clicker, DownloadFormat::xlsx, u"");
    return d;
}

// An edit of the sheet's XML, the workbook packed again around it.
Edit in_sheet(const std::string& from, const std::string& to) {
    return [from, to](std::string& workbook) {
        const formats::ZipReader zip(workbook);
        formats::ReadBudget budget(workbook.size());
        std::vector<formats::ZipEntry> entries;
        entries.reserve(kParts.size());
        for (const std::string& name : kParts) entries.push_back({name, *zip.entry(name, budget)});
        std::string& sheet = entries.back().data;
        const auto at = sheet.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        sheet.replace(at, from.size(), to);
        workbook = formats::zip_archive(entries);
    };
}

class XlsxKeepsText : public ::testing::TestWithParam<std::string> {};

TEST_P(XlsxKeepsText, AsATextCellThatReadsBackExactly) {
    const auto d = download({GetParam(), "12345670"});
    EXPECT_FALSE(saved_download_difference(*d->clicker, DownloadFormat::xlsx, d->workbook));
    const SavedDownload saved = read_saved_download(DownloadFormat::xlsx, d->workbook);
    ASSERT_EQ(saved.barcodes.size(), 2u) << saved.read.problem;
    EXPECT_EQ(saved.barcodes[0].barcode, downloaded(*d->clicker).filled_item(1)->barcode);
    EXPECT_EQ(saved.barcodes[0].scan_time, "2026-12-04 08:14:03");
    formats::ReadBudget budget(d->workbook.size());
    const std::string sheet = *formats::ZipReader(d->workbook).entry(kSheet, budget);
    EXPECT_NE(sheet.find("<c r=\"B2\" s=\"2\" t=\"inlineStr\">"), std::string::npos) << sheet;
    EXPECT_EQ(sheet.find("<f"), std::string::npos) << sheet;
}

// What spreadsheets mangle, what XML must escape or cannot carry, and text outside ASCII.
INSTANTIATE_TEST_SUITE_P(Barcodes, XlsxKeepsText,
                         ::testing::Values("036000291452", "00340123450000001175", "1E5", "12E3", "TRUE", "=1+1", "+49",
                                           "-5", "1/2", "3-4", "007", " 123", "50%", "", "   ", "<a&b>\"'",
                                           "]]>&amp;&#13;", "A\tB\nC", "A\rB", "A\r\nB",
                                           std::string("\x00\x01\x1F\x7F", 4), "_x0041_", "_x005F_x0041_", "_X0041_",
                                           "caf\xE9 \xAD\x81\x9D", "@SUM(A1)"));

TEST(Xlsx, ADamagedWorkbookIsNeverTakenForTheDownload) {
    const std::vector<std::string> given = {"036000291452", "A&B\rC", "12345670"};
    struct Damage {
        const char* what;
        Edit edit;
    };
    const std::vector<Damage> damages = {
        {"a barcode made a number", in_sheet("t=\"inlineStr\"><is><t>036000291452</t></is>", "><v>36000291452</v>")},
        {"a barcode made a formula", in_sheet("<is><t>036000291452</t></is>", "<f>A1</f><v>036000291452</v>")},
        {"a barcode changed", in_sheet("<t>12345670</t>", "<t>12345671</t>")},
        {"an escape undone", in_sheet("_x000D_", "")},
        {"an entity left raw", in_sheet("&amp;", "&")},
        {"the last row lost", in_sheet("<row r=\"4\">", "<row r=\"4\"/><x>")},
        {"a stamp changed", in_sheet("08:14:03", "08:14:04")},
        {"the header changed", in_sheet("<t>stamp_text</t>", "<t>stamp</t>")},
        {"a document type", in_sheet("<worksheet", "<!DOCTYPE w [<!ENTITY e \"x\">]><worksheet")},
        {"a cell beyond the columns", in_sheet("</row>", "<c r=\"H1\"><v>1</v></c></row>")},
        {"a barcode's cell placed in another row", in_sheet("r=\"B2\"", "r=\"B9\"")},
        {"an inline string in a cell of another type",
         in_sheet("t=\"inlineStr\"><is><t>036000291452", "><is><t>036000291452")},
        {"a serial number changed",
         in_sheet("<row r=\"3\">", "<row r=\"3\"><c r=\"F3\" t=\"inlineStr\"><is><t>X</t></is></c>")},
        {"a byte of the packed sheet flipped",
         [](std::string& w) { w[w.find(kSheet) + std::string(kSheet).size() + 40] ^= 0x10; }},
        {"cut short", [](std::string& w) { w.resize(w.size() - 10); }},
        {"not a zip archive", [](std::string& w) { w = "item,barcode,type\r\n"; }},
    };
    for (const Damage& damage : damages) {
        const auto d = download(given);
        ASSERT_FALSE(saved_download_difference(*d->clicker, DownloadFormat::xlsx, d->workbook)) << damage.what;
        std::string workbook = d->workbook;
        damage.edit(workbook);
        EXPECT_TRUE(saved_download_difference(*d->clicker, DownloadFormat::xlsx, workbook)) << damage.what;
    }
}

// As a spreadsheet saves it: shared strings (one in runs, with a phonetic part that is no part of
// the text), prefixed names, a cell reference left out, numbers written otherwise, an empty row.
TEST(Xlsx, ReadsAWorkbookASpreadsheetSaved) {
    const std::string strings =
        "<x:sst xmlns:x=\"m\" count=\"9\"><x:si><x:t>item</x:t></x:si><x:si><x:t>barcode</x:t></x:si>"
        "<x:si><x:t>type</x:t></x:si><x:si><x:t>scan_time</x:t></x:si><x:si><x:t>stamp_text</x:t></x:si>"
        "<x:si><x:t>serial</x:t></x:si><x:si><x:t>scanner_clock</x:t></x:si>"
        "<x:si><x:r><x:t>00</x:t></x:r><x:r><x:t xml:space='preserve'>7 _x000D_</x:t></x:r><x:rPh><x:t>p</x:t>"
        "</x:rPh></x:si><x:si><x:t>S1</x:t></x:si></x:sst>";
    const std::string sheet =
        "<?xml version=\"1.0\"?><!-- saved again --><x:worksheet xmlns:x=\"m\"><x:sheetData>"
        "<x:row r=\"1\"><x:c t=\"s\"><x:v>0</x:v></x:c><x:c t=\"s\"><x:v>1</x:v></x:c><x:c t=\"s\"><x:v>2</x:v>"
        "</x:c><x:c t=\"s\"><x:v>3</x:v></x:c><x:c t=\"s\"><x:v>4</x:v></x:c><x:c t=\"s\"><x:v>5</x:v></x:c>"
        "<x:c t=\"s\"><x:v>6</x:v></x:c></x:row><x:row r=\"2\"><x:c r=\"A2\" s=\"5\" t=\"n\"><x:v>1.0</x:v></x:c>"
        "<x:c r=\"C2\"><x:v>1.28E2</x:v></x:c><x:c r=\"B2\" t=\"s\"><x:v>7</x:v></x:c>"
        "<x:c r=\"D2\" s=\"9\"><x:v>46360.3430902778</x:v></x:c><x:c r=\"F2\" t=\"s\"><x:v>8</x:v></x:c>"
        "<x:c r=\"E2\" t=\"inlineStr\"><x:is><x:t>st</x:t></x:is></x:c></x:row>"
        "<x:row r=\"3\"><x:c r=\"A3\"><x:v>2</x:v></x:c><x:c r=\"F3\" t=\"s\"><x:v>8</x:v></x:c></x:row>"
        "</x:sheetData></x:worksheet>";
    const std::string workbook = formats::zip_archive({{"xl/sharedStrings.xml", strings}, {kSheet, sheet}});
    const SavedDownload saved = read_saved_download(DownloadFormat::xlsx, workbook);
    EXPECT_EQ(saved.read.problem, "");
    ASSERT_EQ(saved.barcodes.size(), 2u);
    EXPECT_EQ(saved.read.header.serial, u"S1");
    const SavedBarcode& first = saved.barcodes[0];
    EXPECT_EQ(first.item, 1);
    EXPECT_TRUE(first.read);
    EXPECT_EQ(first.barcode, u"007 \r");
    EXPECT_EQ(first.type, 128);
    EXPECT_EQ(first.scan_time, "2026-12-04 08:14:03");
    EXPECT_EQ(first.stamp_text, u"st");
    EXPECT_EQ(saved.barcodes[1].item, 2);
    EXPECT_FALSE(saved.barcodes[1].read);
}

// Every UTF-16 unit, XML's forbidden ones included, comes back through the text escapes.
TEST(Xlsx, TextEscapesGiveBackEveryUnit) {
    const std::vector<std::u16string> texts = {u"\uFFFE\uFFFF",
                                               std::u16string(1, u'\xD800') + u"x",
                                               std::u16string(1, u'\xDC00'),
                                               u"\U0001F600",
                                               u"_x00e9_ _xZZZZ_ _x12_",
                                               u"\x0B\x0C\r\n\t"};
    for (const std::u16string& text : texts) {
        std::string xml = "<t>";
        formats::append_xml_text(xml, text);
        xml += "</t>";
        ASSERT_TRUE(from_utf8_strictly(xml)) << xml;
        formats::XmlReader reader(xml, "test");
        ASSERT_TRUE(reader.next());
        const std::optional<std::u16string> read = from_utf8_strictly(reader.text());
        ASSERT_TRUE(read);
        EXPECT_EQ(formats::undo_text_escapes(*read), text) << xml;
    }
}

TEST(Xlsx, ZipEntriesComeBackAndAbsentOnesAreNone) {
    std::string archive = formats::zip_archive({{"empty", ""}, {"big", std::string(300000, 'x') + "end"}});
    archive.back() = 3;  // a comment of three bytes after the end record
    archive += "abc";
    const formats::ZipReader zip(archive);
    formats::ReadBudget budget(archive.size());
    EXPECT_EQ(zip.entry("empty", budget), "");
    EXPECT_EQ(zip.entry("big", budget), std::string(300000, 'x') + "end");
    EXPECT_EQ(zip.entry("other", budget), std::nullopt);
}

// A part of `head`, then `item` `times` over, then `tail`, given to the writer 64 KB at a time: a
// bomb's archive is built without its part ever being whole in memory.
void repeated_part(formats::ZipWriter& zip, const std::string& name, const std::string& head, const std::string& item,
                   std::size_t times, const std::string& tail) {
    zip.begin(name);
    zip.write(head);
    const std::size_t per_piece = 65536 / std::max<std::size_t>(item.size(), 1);
    std::string piece;
    for (std::size_t k = 0; k < per_piece; ++k) piece += item;
    for (std::size_t done = 0; done < times; done += per_piece) {  // an empty item comes 0 times
        zip.write(std::string_view(piece).substr(0, std::min(per_piece, times - done) * item.size()));
    }
    zip.write(tail);
    zip.end();
}

const std::string kHeaderRow =
    "<row r=\"1\"><c t=\"inlineStr\"><is><t>item</t></is></c><c t=\"inlineStr\"><is><t>barcode</t></is></c>"
    "<c t=\"inlineStr\"><is><t>type</t></is></c><c t=\"inlineStr\"><is><t>scan_time</t></is></c>"
    "<c t=\"inlineStr\"><is><t>stamp_text</t></is></c><c t=\"inlineStr\"><is><t>serial</t></is></c>"
    "<c t=\"inlineStr\"><is><t>scanner_clock</t></is></c></row>";

// Small files that unpack into millions of items, or into one string copied into every cell, are
// refused while what the reader allocated stays far below 100 MB (bytes counted, not sampled; the
// reader's zlib included). Read whole, the first two would take 2.3 GB and 8.6 GB.
TEST(Xlsx, AWorkbookThatUnpacksIntoMillionsOfItemsIsRefusedWithinItsBudget) {
    struct Bomb {
        const char* what;
        std::function<void(formats::ZipWriter&)> parts;
    };
    const std::string sheet_head = "<worksheet><sheetData>" + kHeaderRow, sheet_tail = "</sheetData></worksheet>";
    const std::vector<Bomb> bombs = {
        {"50 million empty shared strings",
         [&](formats::ZipWriter& zip) {
             repeated_part(zip, kSheet, sheet_head, "", 0, sheet_tail);
             repeated_part(zip, "xl/sharedStrings.xml", "<sst>", "<si/>", 50'000'000, "</sst>");
         }},
        {"40 million empty rows",
         [&](formats::ZipWriter& zip) { repeated_part(zip, kSheet, sheet_head, "<row/>", 40'000'000, sheet_tail); }},
        {"a string of 200,000 characters in every row, the archive padded to raise its budget",
         [&](formats::ZipWriter& zip) {
             std::string padding(256 * 1024, '\0');
             std::uint32_t x = 1;
             for (char& c : padding) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
             repeated_part(zip, "padding", padding, "", 0, "");
             repeated_part(zip, "xl/sharedStrings.xml", "<sst><si><t>", "x", 200'000, "</t></si></sst>");
             repeated_part(zip, kSheet, sheet_head, "<row><c><v>1</v></c><c t=\"s\"><v>0</v></c><c><v>1</v></c></row>",
                           20'000, sheet_tail);
         }},
    };
    for (const Bomb& bomb : bombs) {
        formats::ZipWriter zip;
        bomb.parts(zip);
        const std::string workbook = zip.finish();
        EXPECT_LT(workbook.size(), 2u << 20) << bomb.what;
        const testing::HeapCount heap;
        const SavedDownload saved = read_saved_download(DownloadFormat::xlsx, workbook);
        EXPECT_NE(saved.read.problem.find("more memory than a workbook of this size can need"), std::string::npos)
            << bomb.what << ": " << saved.read.problem;
        EXPECT_LT(heap.bytes(), 100u << 20) << bomb.what;
    }
}

// The budget leaves room: a full scanner's workbook, its barcodes all alike so that it packs as
// tightly as a download can, reads back whole.
TEST(Xlsx, AFullScannersWorkbookReadsWithinItsBudget) {
    const auto d = download(std::vector<std::string>(32767, "036000291452"));
    const SavedDownload saved = read_saved_download(DownloadFormat::xlsx, d->workbook);
    EXPECT_EQ(saved.read.problem, "");
    EXPECT_EQ(saved.barcodes.size(), 32767u);
}

}  // namespace
}  // namespace harrowtally::host
