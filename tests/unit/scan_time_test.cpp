#include "clicker/scan_time.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"

namespace harrowtally {
namespace {

using namespace std::string_literals;

// A stamp text as it stands in a fresh buffer: the library's text followed by NULs.
std::u16string buffer_of(const std::string& text) {
    std::u16string s = ascii(text);
    s.resize(stamp_text_width, u'\0');
    return s;
}

// Both steps, as a download takes them.
double scan_time(std::u16string text) {
    mask_stamp_fields(text);
    return stamp_date_value(text);
}

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return date_serial(y, mo, d) + time_serial(h, mi, s);
}

const double fallback = at(2001, 1, 1);

struct StampCase {
    const char* text;
    double expected;  // ignored when error is set
    int error = 0;
};

TEST(ScanTime, ReadsDateMonthDayYearAndTimeOfDay) {
    const StampCase cases[] = {
        {"14:30:05   12/06/26", at(2026, 12, 6, 14, 30, 5)},
        {"2:30:05 PM 12/06/26", at(2026, 12, 6, 14, 30, 5)},
        {"12:00:00 AM01/01/30", at(2030, 1, 1)},
        {"08:30:00   03/17/31", at(2031, 3, 17, 8, 30)},
        {"12:15 pm   01/01/99", at(2099, 1, 1, 12, 15)},
        {"  9:05     07/04/00", at(2000, 7, 4, 9, 5)},
        {"23:59:59   12/31/29", at(2029, 12, 31, 23, 59, 59)},
        {"08:00:00   02/29/24", at(2024, 2, 29, 8)},
        // Blanks inside the fields.
        {"08:00:00    2/ 3/ 5", at(2005, 2, 3, 8)},
        // Time of day not valid: the date alone.
        {"24:00:00   12/06/26", at(2026, 12, 6)},
        {"14:60:00   12/06/26", at(2026, 12, 6)},
        {"13:00 PM   12/06/26", at(2026, 12, 6)},
        {"14:30:05 12/06/26", at(2026, 12, 6)},  // the first 11 characters run into the date
        {"14.30.05   12/06/26", at(2026, 12, 6)},
        {"           12/06/26", at(2026, 12, 6)},
        {"12/06/26", at(2026, 12, 6)},
        // Date not valid: 1 January 2001, no time.
        {"14:30:05   02/29/25", fallback},
        {"14:30:05   02/30/24", fallback},
        {"14:30:05   13/01/26", fallback},
        {"14:30:05   00/01/26", fallback},
        {"14:30:05   12/00/26", fallback},
        {"14:30:05   12//26", fallback},
        {"14:30:05   12/123/26", fallback},
        {"14:30:05   1x/06/26", fallback},
        {"14:30:05   12/06/", fallback},  // the year is two NULs
        // The slashes are searched over the whole buffer.
        {"ab/", 0, err::invalid_call},  // first "/" at the third character, no second one
        {"14:30:05   120626", 0, err::invalid_call},
        {"/12/06/26", 0, err::invalid_call},
        {"1/12/06/26", 0, err::invalid_call},
        {"12/0626", 0, err::invalid_call},
        {"12/", 0, err::invalid_call},
        {"", 0, err::invalid_call},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.error != 0) {
            try {
                scan_time(buffer_of(c.text));
                ADD_FAILURE() << "no error";
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.number(), c.error);
            }
        } else {
            EXPECT_DOUBLE_EQ(scan_time(buffer_of(c.text)), c.expected);
        }
    }
}

TEST(ScanTime, YearAtTheEndOfTheBuffer) {
    std::u16string text(stamp_text_width, u' ');
    text.replace(25, 5, u"12/6/");  // second slash is the last character: no year
    EXPECT_DOUBLE_EQ(scan_time(text), fallback);
    text.replace(24, 6, u"12/6/9");  // one-digit year in the last character
    EXPECT_DOUBLE_EQ(scan_time(text), at(2009, 12, 6));
}

TEST(ScanTime, MarkersBecomeZerosOnlyAtTheirFirstOccurrenceBeyondTheStart) {
    const StampCase cases[] = {
        {"14:63:05   12/06/26", at(2026, 12, 6, 14, 0, 5)},
        {"14:30:63   12/06/26", at(2026, 12, 6, 14, 30, 0)},
        {"14:??:05   12/06/26", at(2026, 12, 6, 14, 0, 5)},
        {"14:63:??   12/06/26", at(2026, 12, 6, 14, 0, 0)},
        // A second "63" stays, and spoils the seconds or the day here.
        {"14:63:63   12/06/26", at(2026, 12, 6)},
        {"14:30:63   12/63/26", fallback},
        // At the first position the marker stays, and a later one is not looked for.
        {"63:30:05   12/63/26", fallback},
        {"??:30:05   12/?\?/26", fallback},
        // A marker in the date.
        {"14:30:05   ?\?/06/26", fallback},
        {"14:30:05   12/06/63", at(2000, 12, 6, 14, 30, 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(scan_time(buffer_of(c.text)), c.expected);
    }
}

// Random buffers over the characters that matter: the result is error 5 or a date of the years the
// two-digit rule can give, and nothing reads outside the buffer (run under the sanitizers).
TEST(ScanTime, AnyBufferGivesADateInRangeOrErrorFive) {
    const std::u16string alphabet = u"0123456789/:?63 APMapm\0x"s;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    int dates = 0, errors = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(stamp_text_width, u'\0');
        for (auto& c : text) c = alphabet[pick(random)];
        try {
            const double v = scan_time(text);
            ASSERT_GE(v, at(2000, 1, 1));
            ASSERT_LT(v, at(2100, 1, 1));
            ++dates;
        } catch (const RuntimeError& e) {
            ASSERT_EQ(e.number(), err::invalid_call);
            ++errors;
        }
    }
    EXPECT_GT(dates, 0);
    EXPECT_GT(errors, 0);
}

// What a stamp states exactly is read only from a time with seconds and a date, and nothing else:
// what the download's reading fills in or rewrites states nothing.
TEST(ScanTime, ExactTimeOnlyFromACompleteStamp) {
    struct ExactCase {
        const char* text;
        std::optional<double> stated;
    };
    const ExactCase cases[] = {
        {"14:30:05   12/06/26", at(2026, 12, 6, 14, 30, 5)},
        {" 2:30:05 PM 12/6/26 ", at(2026, 12, 6, 14, 30, 5)},
        {"12:00:00 am 01/01/30", at(2030, 1, 1)},
        {"08:14:03   12/04/63", at(2063, 12, 4, 8, 14, 3)},  // the download reads year 2000
        {"08.14.03   12/04/26", std::nullopt},               // the download reads 00:00:00
        {"08:14      12/04/26", std::nullopt},               // no seconds
        {"08:14:??   12/04/26", std::nullopt},
        {"13:00:00 PM 12/06/26", std::nullopt},
        {"24:00:00   12/06/26", std::nullopt},
        {"14:30:05   02/29/25", std::nullopt},
        {"14:30:05   12/06/2026", std::nullopt},
        {"14:30:05   12/06/26 x", std::nullopt},
        {"14:30:05 12/06/26x", std::nullopt},
        {"14:30:0512/06/26", std::nullopt},
        {"14:30:05   12/ 6/26", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(stamp_exact_time(ascii(c.text)), c.stated);
    }
}

// A stamp's own text gives a date only when that text alone, masked, states it: not the stand-in
// date of an unreadable stamp, nor a date that only a longer stamp's leftovers would complete.
TEST(ScanTime, OwnTextGivesOnlyTheDateItStates) {
    struct Case {
        std::u16string text;
        double date;
        bool gives;
    };
    const double dec_6 = date_serial(2026, 12, 6) + time_serial(14, 30, 5);
    const std::vector<Case> cases = {
        {u"14:30:05   12/06/26", dec_6, true},
        {u"14:30:05   12/06/26", dec_6 + 1, false},
        {u"14:30:05   12/06/", dec_6, false},  // the year only a leftover could give
        {u"14:30:05", dec_6, false},           // no date at all: error 5 inside
        {u"16:59:01   00/00/26", unreadable_stamp_date, false},
        {u"14:63:05   12/06/26", date_serial(2026, 12, 6) + time_serial(14, 0, 5), true},  // masked minute
    };
    for (const auto& c : cases) EXPECT_EQ(stamp_text_gives(c.text, c.date), c.gives) << to_utf8(c.text);
}

}  // namespace
}  // namespace harrowtally
