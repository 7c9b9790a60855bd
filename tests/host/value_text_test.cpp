#include "host/text/value_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/date_value.h"

namespace harrowtally::host {
namespace {

struct FormatCase {
    Variant value;
    std::string plain;
    std::string typed;
};

TEST(ValueFormat, PlainAndTypedText) {
    const std::vector<FormatCase> cases = {
        {Variant(), "", "Empty:"},
        {Variant::null(), "Null", "Null:Null"},
        {Variant::integer(-7), "-7", "Integer:-7"},
        {Variant::long_(70000), "70000", "Long:70000"},
        {Variant::double_(1.5), "1.5", "Double:1.5"},
        {Variant::double_(-0.25), "-0.25", "Double:-0.25"},
        {Variant::double_(1e20), "1E+20", "Double:1E+20"},
        {Variant::boolean(true), "True", "Boolean:True"},
        {Variant::boolean(false), "False", "Boolean:False"},
        {Variant::date(date_serial(2026, 12, 6) + time_serial(9, 5, 3)), "2026-12-06 09:05:03",
         "Date:2026-12-06 09:05:03"},
        {Variant::date(0), "1899-12-30 00:00:00", "Date:1899-12-30 00:00:00"},
        {Variant::date(-1.5), "1899-12-29 12:00:00", "Date:1899-12-29 12:00:00"},
        {Variant::string(u"OPOK:03093015*0*0*12"), "OPOK:03093015*0*0*12", "String:OPOK:03093015*0*0*12"},
        {Variant::string(u"a\\b\tc\r\n\u001F "), "a\\b\tc\r\n\u001F ", "String:a\\x5Cb\\x09c\\x0D\\x0A\\x1F "},
        {Variant::string(std::u16string(2, u'\0')), std::string(2, '\0'), "String:\\x00\\x00"},
        {Variant::string(u"\u00E9\u20AC"), "\xC3\xA9\xE2\x82\xAC", "String:\xC3\xA9\xE2\x82\xAC"},
        {Variant::object(nullptr), "Nothing", "Nothing:Nothing"},
        {Variant::array(
             std::make_shared<VariantArray>(std::vector<Variant>{Variant::integer(1), Variant::string(u"x")})),
         "(1, x)", "Variant():(1, x)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_value(c.value, false), c.plain) << c.typed;
        EXPECT_EQ(format_value(c.value, true), c.typed) << c.typed;
    }
}

// The scanner's clock as the commands read it: the two-digit year is 2000 to 2099, as no scanner's
// clock predates the scanner.
TEST(ClockTexts, TwoDigitYearsAreThisCentury) {
    struct Case {
        std::u16string text;  // ssmmhhDDMMYY
        std::optional<std::string> time;
    };
    const std::vector<Case> cases = {
        {u"000000010100", "2000-01-01 00:00:00"}, {u"050403020131", "2031-01-02 03:04:05"},
        {u"595923311299", "2099-12-31 23:59:59"}, {u"003012010732", "2032-07-01 12:30:00"},
        {u"000000290224", "2024-02-29 00:00:00"}, {u"000000290226", std::nullopt},
        {u"006000010126", std::nullopt},          {u"000024010126", std::nullopt},
        {u"00000001012", std::nullopt},           {u"0000000101x6", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clock_text_time(c.text), c.time) << std::string(c.text.begin(), c.text.end());
    }
}

}  // namespace
}  // namespace harrowtally::host
