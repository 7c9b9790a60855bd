// The read-back comparison in-process: a download through the scripted library, written in a
// format, read back with that format's reader and compared with what the scanner gave.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/formats/download_format.h"
#include "host/formats/read_back_check.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally::host {
namespace {

using testing::ScriptedCSP2;

struct Given {
    std::string barcode;
    std::uint8_t type = 10;
    std::string stamp = "14:30:05   12/06/26";
};

// Downloads `given` and gives the difference between what the scanner gave and the file's text,
// after `edit` changed that text (a file damaged on its way to the disk and back).
std::optional<std::string> round_trip(const std::vector<Given>& given, DownloadFormat format,
                                      const std::function<void(std::string&)>& edit = {}) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = static_cast<std::int32_t>(given.size());
    for (std::size_t k = 0; k < given.size(); ++k) {
        rig.lib.packets.push_back(
            ScriptedCSP2::packet(given[k].type, given[k].barcode, {static_cast<std::uint8_t>(k)}));
    }
    rig.lib.stamp_text = [&](const std::uint8_t* stamp) { return given[stamp[0]].stamp; };
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    clicker.open_clicker();
    std::string text =
        render_download(clicker, format, format == DownloadFormat::record ? clicker.export_record() : u"");
    if (edit) edit(text);
    return saved_download_difference(clicker, format, text);
}

struct CompareCase {
    const char* what;
    std::vector<Given> given;
    std::string record, csv, json;  // how each format differs first; empty: it gives everything back
};

TEST(ReadBackCompare, EachFormatGivesBackWhatItKeeps) {
    const Given plain{"12345670"};
    const std::string bytes("A\0,\"\r\n\xAD\x81\\B", 10);
    const std::vector<CompareCase> cases = {
        {"plain", {plain, {"ABC-42", 3}}, "", "", ""},
        {"no barcodes", {}, "", "", ""},
        {"empty barcode", {plain, {""}}, "", "", ""},
        {"bytes a text format must escape", {{bytes}, plain}, "", "", ""},
        {"13 characters ending in a blank",
         {plain, {"ABCDEFGHIJKL "}},
         "barcode 2: it reads back as \"ABCDEFGHIJKL\", but the scanner gave \"ABCDEFGHIJKL \"",
         "",
         ""},
        {"short barcode ending in a blank",
         {plain, {"ABC "}},
         "barcode 2: it reads back as \"ABC\", but the scanner gave \"ABC \"",
         "",
         ""},
        {"13 characters", {{"ABCDEFGHIJKLM"}, plain}, "", "", ""},
        {"only blanks", {{"   "}}, "barcode 1: it reads back as \"\", but the scanner gave \"   \"", "", ""},
        {"20 characters",
         {{"00340123450000001175", 128}, plain},
         "barcode 1: it reads back as \"0034012345000\", but the scanner gave \"00340123450000001175\"",
         "",
         ""},
        {"type 255", {plain, {"X", 255}}, "barcode 2: its type reads back as 25, but the scanner gave 255", "", ""},
        {"year 63",
         {{"X", 1, "08:14:03   12/04/63"}},
         "barcode 1: its scan time reads back as 2000-12-04 08:14:03, but its stamp",
         "",
         ""},
        {"unreadable time of day",
         {{"X", 1, "08.14.03   12/04/26"}},
         "barcode 1: the record keeps only a scan time",
         "",
         ""},
        {"no date", {{"X", 1, "16:59:01   00/00/26"}}, "barcode 1: the record keeps only a scan time", "", ""},
        {"stamp text beyond the date",
         {{"X", 1, "14:30:05   12/06/26 x"}},
         "barcode 1: the record keeps only a scan time",
         "",
         ""},
        {"a thousand items", std::vector<Given>(1000, plain), "", "", ""},
        {"twelve-hour stamp", {{"X", 1, "12:30:05 AM 12/06/26"}}, "", "", ""},
    };
    for (const CompareCase& c : cases) {
        const std::pair<DownloadFormat, const std::string*> formats[] = {
            {DownloadFormat::record, &c.record}, {DownloadFormat::csv, &c.csv}, {DownloadFormat::json, &c.json}};
        for (const auto& [format, says] : formats) {
            const auto difference = round_trip(c.given, format);
            if (says->empty()) {
                EXPECT_FALSE(difference) << c.what << " " << static_cast<int>(format) << ": " << *difference;
            } else {
                ASSERT_TRUE(difference) << c.what << " " << static_cast<int>(format);
                EXPECT_EQ(difference->rfind(*says, 0), 0u) << c.what << ": " << *difference;
            }
        }
    }
}

// A stamp without a date of its own gets no scan time in CSV, even where the component's reading
// found one in what the stamp before it left in the buffer; JSON escapes C1 controls as well.
TEST(ReadBackCompare, TheFileGivesOnlyWhatEachStampStates) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = 2;
    rig.lib.packets = {ScriptedCSP2::packet(1, "A", {0}), ScriptedCSP2::packet(2, "B\x9D", {1})};
    rig.lib.stamp_text = [](const std::uint8_t* stamp) {
        // As the library writes it: the text and a NUL, the rest of the buffer as it was.
        return stamp[0] == 0 ? std::string("08:14:03   12/04/26") : std::string("09:00:00\0", 9);
    };
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    clicker.open_clicker();
    const std::string csv = render_download(clicker, DownloadFormat::csv, u"");
    EXPECT_NE(csv.find("\r\n2,B\xC2\x9D,2,,09:00:00,"), std::string::npos) << csv;
    EXPECT_FALSE(saved_download_difference(clicker, DownloadFormat::csv, csv));
    const std::string json = render_download(clicker, DownloadFormat::json, u"");
    EXPECT_NE(json.find("\"B\\u009d\", \"type\": 2, \"scan_time\": null"), std::string::npos) << json;
    EXPECT_FALSE(saved_download_difference(clicker, DownloadFormat::json, json));
}

// A file that leaves out the items an earlier run saved reads back whole from its first item, and
// never as the whole download; its items keep the scanner's numbers.
TEST(ReadBackCompare, AFileFromALaterItemHoldsExactlyThatRange) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = 3;
    rig.lib.packets = {ScriptedCSP2::packet(1, "A"), ScriptedCSP2::packet(2, "B"), ScriptedCSP2::packet(3, "C")};
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    clicker.open_clicker();
    for (const DownloadFormat format : {DownloadFormat::csv, DownloadFormat::json, DownloadFormat::xlsx}) {
        const std::string text = render_download(clicker, format, u"", 2);
        const SavedDownload back = read_saved_download(format, text);
        ASSERT_EQ(back.barcodes.size(), 2u) << format_name(format);
        EXPECT_EQ(back.barcodes[0].item, 2);
        EXPECT_EQ(back.barcodes[1].barcode, u"C");
        EXPECT_FALSE(saved_download_difference(clicker, format, text, 2)) << format_name(format);
        EXPECT_TRUE(saved_download_difference(clicker, format, text, 1)) << format_name(format);
        EXPECT_TRUE(saved_download_difference(clicker, format, text, 3)) << format_name(format);
    }
}

// Whatever damages the file, the comparison notices: a reader never fills in what is missing.
TEST(ReadBackCompare, ADamagedFileIsNeverTakenForTheDownload) {
    const std::vector<Given> given = {{"12345670"}, {"ABC,42", 3}, {"X", 7, "08:14:03   12/04/26"}};
    const auto replace = [](const std::string& from, const std::string& to) {
        return [from, to](std::string& text) {
            const auto at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        };
    };
    struct Damage {
        const char* what;
        DownloadFormat format;
        std::function<void(std::string&)> edit;
    };
    const std::vector<Damage> damages = {
        {"record cut short", DownloadFormat::record, [](std::string& t) { t.pop_back(); }},
        {"record with a byte more", DownloadFormat::record, [](std::string& t) { t += ' '; }},
        {"record count changed", DownloadFormat::record, replace("0003001", "0002001")},
        {"record type changed", DownloadFormat::record, replace("07", "08")},
        {"record not UTF-8", DownloadFormat::record, replace("X", "\xC0\xD8")},
        {"CSV last line lost", DownloadFormat::csv, [](std::string& t) { t.erase(t.rfind("\r\n", t.size() - 3) + 2); }},
        {"CSV line end lost", DownloadFormat::csv, [](std::string& t) { t.resize(t.size() - 2); }},
        {"CSV quote opened", DownloadFormat::csv, replace("\"ABC,42\"", "\"ABC,42")},
        {"CSV stamp changed", DownloadFormat::csv, replace("08:14:03", "08:14:04")},
        {"CSV header changed", DownloadFormat::csv, replace("stamp_text", "stamp")},
        {"CSV overlong UTF-8", DownloadFormat::csv, replace("X", "\xC1\x98")},
        {"JSON entry lost", DownloadFormat::json,
         [](std::string& t) {
             const auto from = t.find(",\n    {\"item\": 3");
             t.erase(from, t.find("\n  ]") - from);
         }},
        {"JSON member named twice", DownloadFormat::json, replace("\"type\": 7", "\"type\": 7, \"type\": 7")},
        {"JSON count changed", DownloadFormat::json, replace("\"count\": 3", "\"count\": 4")},
        {"JSON lone surrogate", DownloadFormat::json, replace("\"X\"", "\"\\ud800\"")},
    };
    for (const Damage& d : damages) {
        EXPECT_FALSE(round_trip(given, d.format)) << d.what << ": the undamaged file";
        EXPECT_TRUE(round_trip(given, d.format, d.edit)) << d.what;
    }
}

}  // namespace
}  // namespace harrowtally::host
