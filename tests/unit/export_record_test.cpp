#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clicker/export_record.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "support/runtime_error_helpers.h"

namespace harrowtally {
namespace {

double at(int y, int mo, int d, int h, int mi, int s) {
    return date_serial(y, mo, d) + time_serial(h, mi, s);
}

// What a record is built from.
struct ExportInputs {
    RecordHeader header;
    std::optional<Download> download;
};

std::u16string build_export_record(const ExportInputs& in) {
    return harrowtally::build_export_record(in.header, in.download);
}

// A download of n barcodes, item 0 left empty as a download leaves it.
struct Lists {
    std::vector<DownloadedBarcode> items;

    void add(std::u16string barcode, std::optional<std::int16_t> type, double time) {
        items.push_back({std::move(barcode), type, time, {}, true});
    }
    std::optional<Download> download() const {
        Download d(static_cast<std::int16_t>(items.size()));
        for (std::size_t k = 1; k <= items.size(); ++k) d[k] = items[k - 1];
        return d;
    }
    ExportInputs inputs(std::int16_t count) const {
        return {{u"1A2B3C4D5E6F7081", u'H', u"051710061226", count}, download()};
    }
};

using testing::error_of;

TEST(ExportRecord, WorkedExampleComesOutCharacterForCharacter) {
    Lists lists;
    lists.add(u"12345670", 10, at(2026, 12, 6, 14, 30, 5));
    lists.add(u"ABC-42", 3, at(2026, 12, 6, 14, 31, 17));
    const std::u16string expected =
        u"V01"
        u"1A2B3C4D5E6F7081"
        u"H"
        u"051710061226"
        u"0002"
        u"001"
        u"12345670     "
        u"10"
        u"20261206143005"
        u"002"
        u"ABC-42       "
        u"03"
        u"20261206143117";
    ASSERT_EQ(expected.size(), 100u);
    EXPECT_EQ(build_export_record(lists.inputs(2)), expected);
}

struct ItemCase {
    const char* what;
    std::u16string barcode;
    std::optional<std::int16_t> type;
    double time;
    std::u16string item;  // the whole item 1, directly after the 36-character header
};

TEST(ExportRecord, ItemFieldsAndTheirWidths) {
    const double t = at(2026, 12, 6, 14, 30, 5);
    const std::vector<ItemCase> cases = {
        {"13-character barcode fills its field", u"1234567890123", 10, t,
         u"001123456789012310"
         u"20261206143005"},
        {"1-character barcode gets 12 blanks", u"7", 10, t,
         u"0017            10"
         u"20261206143005"},
        {"longer barcode is written whole", u"123456789012345", 10, t,
         u"00112345678901234510"
         u"20261206143005"},
        {"type 7 is zero-padded", u"A", 7, t,
         u"001A            07"
         u"20261206143005"},
        {"type 0", u"A", 0, t,
         u"001A            00"
         u"20261206143005"},
        {"type 130 takes three characters", u"A", 130, t,
         u"001A            130"
         u"20261206143005"},
        {"type 255", u"A", 255, t,
         u"001A            255"
         u"20261206143005"},
        {"early-morning time", u"A", 1, at(2026, 1, 2, 3, 4, 5),
         u"001A            01"
         u"20260102030405"},
        {"afternoon hour is 24-hour", u"A", 1, at(2026, 1, 2, 15, 0, 0),
         u"001A            01"
         u"20260102150000"},
        {"last century", u"A", 1, at(1930, 1, 1, 0, 0, 0),
         u"001A            01"
         u"19300101000000"},
        {"fraction a hair below the second rounds to it", u"A", 1, at(2026, 12, 6, 14, 30, 5) - 1e-9,
         u"001A            01"
         u"20261206143005"},
        {"half a second before midnight carries into the next day", u"A", 1, at(2026, 12, 31, 23, 59, 59) + 0.6 / 86400,
         u"001A            01"
         u"20270101000000"},
        {"before 30 December 1899 the fraction still counts forwards", u"A", 1, -1.5,
         u"001A            01"
         u"18991229120000"},
        {"a date beyond the year 9999 has no calendar text", u"A", 1, 2958466.0,
         u"001A            01"
         u"              "},
        {"not a number", u"A", 1, std::nan(""),
         u"001A            01"
         u"              "},
        {"negative type keeps its sign in front", u"A", -5, t,
         u"001A            -05"
         u"20261206143005"},
        {"unfilled element: blanks of each width", u"", std::nullopt, 0.0,
         u"001"
         u"             "
         u"  "
         u"              "},
        {"barcode holding a NUL byte keeps it", std::u16string(u"A\0B", 3), 1, t,
         std::u16string(u"001A\0B          01", 18) + u"20261206143005"},
    };
    for (const auto& c : cases) {
        Lists lists;
        lists.add(c.barcode, c.type, c.time);
        const std::u16string record = build_export_record(lists.inputs(1));
        EXPECT_EQ(record.substr(36), c.item) << c.what;
        EXPECT_EQ(record.substr(0, 36), u"V011A2B3C4D5E6F7081H0517100612260001") << c.what;
    }
}

TEST(ExportRecord, ScanTimesOnChangingDays) {
    Lists lists;
    const std::vector<double> times = {at(2026, 12, 6, 23, 59, 59), at(2026, 12, 7, 0, 0, 1), 0.0,
                                       at(2026, 12, 6, 8, 0, 0), at(2025, 2, 28, 12, 0, 0)};
    for (double t : times) lists.add(u"A", 1, t);
    const std::u16string record = build_export_record(lists.inputs(5));
    const std::vector<std::u16string> expected = {u"20261206235959", u"20261207000001", u"              ",
                                                  u"20261206080000", u"20250228120000"};
    ASSERT_EQ(record.size(), 36u + 5 * 32);
    for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(record.substr(36 + 32 * k + 18, 14), expected[k]) << k;
}

TEST(ExportRecord, WideFieldsMoveEverythingAfterThem) {
    Lists lists;
    lists.add(u"A", 200, at(2026, 12, 6, 14, 30, 5));
    lists.add(u"B", 3, at(2026, 12, 6, 14, 31, 17));
    const std::u16string record = build_export_record(lists.inputs(2));
    ASSERT_EQ(record.size(), 36u + 33 + 32);
    EXPECT_EQ(record.substr(36 + 33),
              u"002B            03"
              u"20261206143117");
}

TEST(ExportRecord, ItemNumbersAndCountGrowPastTheirWidths) {
    Lists lists;
    for (int k = 1; k <= 10000; ++k) lists.add(u"X", 1, at(2026, 12, 6, 14, 30, 5));
    const std::u16string record = build_export_record(lists.inputs(10000));
    // Items 1-999 are 32 characters, 1000-9999 are 33, item 10000 is 34; the header grows by one.
    ASSERT_EQ(record.size(), 37u + 999 * 32 + 9000 * 33 + 34);
    EXPECT_EQ(record.substr(32, 5), u"10000");
    const std::size_t item12 = 37 + 11 * 32;
    EXPECT_EQ(record.substr(item12, 4), u"012X");
    const std::size_t item999 = 37 + 998 * 32;
    EXPECT_EQ(record.substr(item999, 32),
              u"999X            01"
              u"20261206143005");
    const std::size_t item1000 = item999 + 32;
    EXPECT_EQ(record.substr(item1000, 33),
              u"1000X            01"
              u"20261206143005");
    EXPECT_EQ(record.substr(record.size() - 34),
              u"10000X            01"
              u"20261206143005");
}

struct HeaderCase {
    const char* what;
    ExportInputs in;
    std::u16string record;
};

TEST(ExportRecord, HeaderAloneForCountsWithoutItems) {
    ExportInputs fresh;  // a new object: nothing ever set
    fresh.header.clock_text = std::u16string_view(u"\0\0\0\0\0\0\0\0\0\0\0\0", 12);
    ExportInputs negative = fresh;
    negative.header.count = -1;
    ExportInputs lowest = fresh;
    lowest.header.count = -32768;
    ExportInputs low_clock;
    low_clock.header.serial = u"0000000000000001";
    low_clock.header.clock_flag = u'L';
    low_clock.header.clock_text = u"002525252525";
    const std::vector<HeaderCase> cases = {
        {"new object", fresh,
         u"V01"
         u"                "
         u" "
         u"            "
         u"0000"},
        {"negative count has a sign and four digits", negative,
         u"V01"
         u"                "
         u" "
         u"            "
         u"-0001"},
        {"lowest count", lowest,
         u"V01"
         u"                "
         u" "
         u"            "
         u"-32768"},
        {"clock flag L", low_clock,
         u"V01"
         u"0000000000000001"
         u"L"
         u"002525252525"
         u"0000"},
    };
    for (const auto& c : cases) EXPECT_EQ(build_export_record(c.in), c.record) << c.what;
}

TEST(ExportRecord, ShortSerialIsPaddedOnTheRight) {
    ExportInputs in;
    in.header.serial = u"AB";
    in.header.clock_flag = u'H';
    in.header.clock_text = u"000000000000";
    EXPECT_EQ(build_export_record(in), u"V01AB              H0000000000000000");
}

TEST(ExportRecord, CountBeyondTheListsFailsWithSubscriptError) {
    Lists three;
    for (int k = 1; k <= 3; ++k) three.add(u"X", 1, 1.0);

    struct Case {
        const char* what;
        ExportInputs in;
        int error;
    };
    ExportInputs no_lists = three.inputs(1);
    no_lists.download.reset();
    ExportInputs no_lists_negative = no_lists;
    no_lists_negative.header.count = -5;
    ExportInputs no_lists_zero = no_lists;
    no_lists_zero.header.count = 0;
    const std::vector<Case> cases = {
        {"lists never created", no_lists, 9},
        {"count above the upper bound", three.inputs(4), 9},
        {"count left at 5 by an attempt over lists of 3", three.inputs(5), 9},
        {"count equal to the upper bound", three.inputs(3), 0},
        {"count below the upper bound", three.inputs(2), 0},
        {"no lists and count 0", no_lists_zero, 0},
        {"no lists and a negative count", no_lists_negative, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(error_of([&] { build_export_record(c.in); }), c.error) << c.what;
}

// A number field's width: its digits and sign, never fewer than the field's digits.
TEST(ExportRecordLayout, NumberFieldsWidenOnlyForLongerNumbers) {
    struct Case {
        std::int32_t value;
        int min_digits;
        std::size_t width;
    };
    const std::vector<Case> cases = {
        {1, record_width::item_number, 3},    {999, record_width::item_number, 3},
        {1000, record_width::item_number, 4}, {32767, record_width::item_number, 5},
        {0, record_width::count, 4},          {9999, record_width::count, 4},
        {10000, record_width::count, 5},      {-1, record_width::count, 5},
        {-32768, record_width::count, 6},     {-5, record_width::type, 3},
    };
    for (const auto& c : cases) EXPECT_EQ(record_number_width(c.value, c.min_digits), c.width) << c.value;
}

// Which items of a download arrived, counted against the count a later download reported.
TEST(ExportRecordLayout, DownloadCountsOnlyTheFilledItemsWithinTheReportedCount) {
    Download d(4);
    for (const std::size_t k : {1u, 2u, 4u}) d[k].type = 3;
    struct Case {
        int reported;
        int filled;
        bool complete;
    };
    const std::vector<Case> cases = {{-1, 0, false}, {0, 0, true},  {2, 2, true},
                                     {3, 2, false},  {4, 3, false}, {9, 3, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(d.filled_count(c.reported), c.filled) << c.reported;
        EXPECT_EQ(d.complete(c.reported), c.complete) << c.reported;
    }
    EXPECT_EQ(d.filled_item(2), &d[2]);
    EXPECT_EQ(d.filled_item(3), nullptr);
    EXPECT_EQ(d.filled_item(0), nullptr);
}

}  // namespace
}  // namespace harrowtally
