#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

#include "common/conversions.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "common/value_conversions.h"
#include "support/runtime_error_helpers.h"

namespace harrowtally {
namespace {

using testing::error_of;

struct IntegerCase {
    Variant value;
    int expected;  // the 16-bit result, or -100000 - error number
};

TEST(Conversions, ToIntegerRoundsHalfToEvenAndReportsErrors) {
    const std::vector<IntegerCase> cases = {
        {Variant(), 0},
        {Variant::double_(2.5), 2},
        {Variant::double_(3.5), 4},
        {Variant::double_(-2.5), -2},
        {Variant::double_(2.5000001), 3},
        {Variant::string(u" 4 "), 4},
        {Variant::string(u"1.5"), 2},
        {Variant::string(u"&H1F"), 31},
        {Variant::string(u"1e2"), 100},
        {Variant::string(u"1,000"), 1000},
        {Variant::boolean(true), -1},
        {Variant::long_(32767), 32767},
        {Variant::long_(32768), -100000 - 6},
        {Variant::double_(-32768.5), -32768},
        {Variant::double_(-32769), -100000 - 6},
        {Variant::string(u""), -100000 - 13},
        {Variant::string(u"abc"), -100000 - 13},
        {Variant::string(u"4x"), -100000 - 13},
        {Variant::null(), -100000 - 94},
        {Variant::currency_scaled(25000), 2},
        {Variant::error(0), -100000 - 13},
        // Same width, other signedness: the bits are kept, the range is not checked.
        {Variant::uinteger(65535), -1},
        {Variant::uinteger(32768), -32768},
        {Variant::ulong(70000), -100000 - 6},
        {Variant::byte(255), 255},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        int got = 0;
        const int e = error_of([&] { got = to_integer(c.value); });
        if (c.expected <= -100000) {
            EXPECT_EQ(e, -(c.expected + 100000)) << "case " << i;
        } else {
            EXPECT_EQ(e, 0) << "case " << i;
            EXPECT_EQ(got, c.expected) << "case " << i;
        }
    }
}

TEST(Conversions, ToTextFollowsTheRuntimeForms) {
    const std::vector<std::pair<Variant, std::u16string>> cases = {
        {Variant(), u""},
        {Variant::integer(12), u"12"},
        {Variant::long_(-70000), u"-70000"},
        {Variant::double_(1.5), u"1.5"},
        {Variant::double_(0.1), u"0.1"},
        {Variant::boolean(true), u"True"},
        {Variant::boolean(false), u"False"},
        {Variant::currency_scaled(12345), u"1.2345"},
        {Variant::currency_scaled(-20000), u"-2"},
        {Variant::string(u"x"), u"x"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(to_text(value), text);
    EXPECT_EQ(to_text(Variant::double_(1.5), NumberFormat{u',', u'.'}), u"1,5");
    EXPECT_EQ(to_long(Variant::ulong(4000000000u)), -294967296);
    EXPECT_EQ(to_long(Variant::uinteger(65535)), 65535);
    EXPECT_EQ(error_of([] { to_long(Variant::ulong_long(4000000000u)); }), 6);
    EXPECT_EQ(error_of([] { to_text(Variant::null()); }), 94);
    EXPECT_EQ(error_of([] { to_text(Variant::array(std::make_shared<VariantArray>(std::vector<Variant>{}))); }), 13);
}

TEST(Conversions, DatesAsTextAndOutsideTheCalendar) {
    EXPECT_EQ(to_text(Variant::date(46362.5)), u"12/6/2026 12:00:00 PM");
    EXPECT_EQ(to_text(Variant::date(46362)), u"12/6/2026");
    EXPECT_EQ(to_text(Variant::date(0.25)), u"6:00:00 AM");
    EXPECT_EQ(to_text(Variant::date(0)), u"12:00:00 AM");
    // No calendar date: an error, not undefined arithmetic.
    EXPECT_EQ(error_of([] { to_text(Variant::date(std::nan(""))); }), 5);
    EXPECT_EQ(error_of([] { to_text(Variant::date(3e6)); }), 5);
}

TEST(Conversions, LeadingNumberReadsUpToTheFirstForeignCharacter) {
    const std::vector<std::pair<std::u16string, long double>> cases = {
        {u"  ", 0}, {u" 5", 5}, {u"5a", 5}, {u"ab", 0}, {u"-5", -5}, {u"07", 7}, {u"1.5x", 1.5L}, {u"", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(leading_number(text), value);
}

TEST(Conversions, ExponentsInLeadingNumberAndInNumericText) {
    // Leading numbers drop an exponent marker that no digit follows.
    const std::vector<std::pair<std::u16string, long double>> leading = {
        {u"2e3", 2000}, {u"25E-1", 2.5L}, {u"2d+2", 200}, {u"1 e 2", 100}, {u"1e", 1}, {u"1e+", 1}, {u"3Dx", 3},
    };
    for (const auto& [text, value] : leading) EXPECT_EQ(leading_number(text), value) << to_utf8(text);
    // In a numeric text the marker needs digits, or the text is no number.
    const std::vector<std::pair<std::u16string, int>> texts = {
        {u"2e3", 2000}, {u"25E-1", 2}, {u"2d+2", -13}, {u"1e", -13}, {u"1e+", -13}, {u"1e2x", -13},
    };
    for (const auto& [text, expected] : texts) {
        int got = 0;
        const int e = error_of([&got, &text = text] { got = to_integer(Variant::string(text)); });
        if (expected < 0) {
            EXPECT_EQ(e, -expected) << to_utf8(text);
        } else {
            EXPECT_EQ(e, 0) << to_utf8(text);
            EXPECT_EQ(got, expected) << to_utf8(text);
        }
    }
}

TEST(Conversions, StrictReadingNeedsTheWholeText) {
    EXPECT_FALSE(parse_number(u"5a").has_value());
    EXPECT_FALSE(parse_number(u"").has_value());
    EXPECT_FALSE(parse_number(u" ").has_value());
    EXPECT_EQ(parse_number(u" 05 ").value(), 5);
    EXPECT_EQ(parse_number(u"-2.5").value(), -2.5L);
}

// Currency symbols and parentheses as the platform reads them; a text ends at its first null.
TEST(Conversions, StrictReadingTakesCurrencyParenthesesAndStopsAtNull) {
    const NumberFormat german{u',', u'.', u'\u20ac'};
    struct Case {
        std::u16string text;
        const NumberFormat& format;
        std::optional<long double> expected;
    };
    const NumberFormat us{};
    const std::vector<Case> cases = {
        {u"$3", us, 3},
        {u"(3)", us, -3},
        {u"3$", us, 3},
        {u"($3)", us, -3},
        {u"(-3)", us, -3},
        {u" ( 3 ) ", us, -3},
        {u"$ -3", us, -3},
        {u"(3", us, {}},
        {u"3)", us, {}},
        {u"$", us, {}},
        {u"()", us, {}},
        {u"$$3", us, {}},
        {u"\u20ac3", us, {}},
        {u"\u20ac3", german, 3},
        {u"3 \u20ac", german, 3},
        {u"$3", german, {}},
        {std::u16string(u"3\0x", 3), us, 3},
        {std::u16string(u"\0"
                        u"3",
                        2),
         us,
         {}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_number(c.text, c.format), c.expected) << to_utf8(c.text);
}

// Port texts as the platform's CLng reads them, measured with VBScript under Wine: the port
// number, or the error number when `error` is set.
struct PortTextCase {
    std::u16string text;
    std::int32_t port;
    int error;
};

void PrintTo(const PortTextCase& c, std::ostream* os) {
    *os << '[' << to_utf8(c.text) << ']';
}

class PortTexts : public ::testing::TestWithParam<PortTextCase> {};

TEST_P(PortTexts, ReadAsThePlatformReadsThem) {
    const PortTextCase& c = GetParam();
    std::int32_t got = 0;
    const int e = error_of([&] { got = portable_conversions().to_long(Variant::string(c.text)); });
    EXPECT_EQ(e, c.error);
    if (c.error == 0) {
        EXPECT_EQ(got, c.port);
    }
}

PortTextCase port(std::u16string text, std::int32_t number) {
    return {std::move(text), number, 0};
}
PortTextCase fails(std::u16string text, int error = 13) {
    return {std::move(text), 0, error};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Conversions, PortTexts, ::testing::Values(
    // Signs before and after the digits; each sign at most once.
    port(u"3", 3), port(u" 3 ", 3), port(u"+3", 3), port(u"-3", -3),
    port(u"3-", -3), port(u"3 -", -3), port(u"3 - ", -3), port(u"- 3", -3),
    port(u"3+", 3), port(u"+-3", -3), port(u"-+3", -3), port(u"+3-", -3),
    port(u"3+-", -3), port(u"-3+", -3), fails(u"--3"),
    fails(u"++3"), fails(u"-3-"), fails(u"+3+"),
    fails(u"3-3"), port(u"30-", -30), port(u"3.5-", -4),
    // Currency symbol and parentheses with the signs.
    port(u"$3-", -3), port(u"3-$", -3), port(u"3$-", -3), port(u"$-3", -3),
    port(u"-$3", -3), port(u"$3", 3), port(u"3$", 3), port(u"$ 3", 3),
    port(u"3 $", 3), fails(u"$$3"), port(u"(3)-", -3),
    port(u"(3)+", -3), port(u"(3-)", -3), port(u"(-3)", -3), fails(u"(-3)-"),
    port(u"(3)", -3), port(u"($3)", -3), fails(u"(3"), fails(u"3)"),
    fails(u"()"),
    // Exponents take "E" only.
    fails(u"1d1"), fails(u"3d0"), fails(u"1D1"),
    fails(u"1.5d1"), port(u"1e1", 10), port(u"1E+1", 10), port(u"25e-1", 2),
    port(u"1e1-", -10), fails(u"3e"), fails(u"3-e1"),
    // Hexadecimal and octal.
    port(u"&H10", 16), port(u"&h1E", 30), port(u"&O17", 15), fails(u"&H"),
    // Decimal point and group separators; halves to even.
    port(u"2.5", 2), port(u"3.5", 4), port(u".5", 0), port(u"3.", 3),
    port(u"1,000", 1000), port(u"1,0,0", 100), port(u"3,", 3), fails(u",3"),
    port(u"1,000.5", 1000), fails(u"1 000"),
    // Blanks, empty texts, a null character, the range.
    fails(u""), fails(u" "), port(u"\t3\r\n", 3),
    port(u"\u00a03", 3), port(std::u16string(u"3\0x", 3), 3),
    fails(std::u16string(u"\0" u"3", 2)), fails(u"x"),
    fails(u"3x"), fails(u"3 3"), port(u"2147483647", 2147483647),
    port(u"-2147483648", -2147483647L - 1), fails(u"2147483648", 6),
    fails(u"2147483647.5", 6)));
// clang-format on

TEST(Conversions, NegativeZeroIsWrittenAsZero) {
    EXPECT_EQ(to_text(Variant::double_(-0.0)), u"0");
    EXPECT_EQ(to_text(Variant::single(-0.0f)), u"0");
    EXPECT_EQ(to_text(Variant::double_(-0.5)), u"-0.5");
}

}  // namespace
}  // namespace harrowtally
