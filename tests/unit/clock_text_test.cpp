#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/clock_text.h"
#include "common/date_value.h"
#include "common/runtime_error.h"

namespace harrowtally {
namespace {

// How each pair of a clock text is read: leading number, blanks skipped, halves to even, and only a
// minus sign can push a value out of the byte range (error 5).
TEST(ClockTextReading, EachPairIsReadOnItsOwn) {
    struct Case {
        std::u16string text;
        ClockBuffer buffer;  // unused when error is set
        int error = 0;
    };
    const std::vector<Case> cases = {
        {u"051710061226", {5, 17, 10, 6, 12, 26}},
        {u"09051", {9, 5, 1, 0, 0, 0}},  // a last pair of one character
        {u" 5 7", {5, 7, 0, 0, 0, 0}},
        {u"5 1x", {5, 1, 0, 0, 0, 0}},
        {u"ab+5", {0, 5, 0, 0, 0, 0}},
        {u"-0.59.", {0, 0, 9, 0, 0, 0}},          // "-0" is zero; ".5" rounds to the even 0
        {u" -3", {0, 3, 0, 0, 0, 0}},             // the sign and its digit fall into different pairs
        {u"&H1F", {0, 1, 0, 0, 0, 0}},            // no radix prefix fits in a pair
        {u"000000000000-5", {0, 0, 0, 0, 0, 0}},  // past the twelfth character
        {u"-5", {}, 5},
        {u"0000000000-9", {}, 5},
        {u"-1.5", {}, 5},
    };
    for (const auto& c : cases) {
        const std::string name(c.text.begin(), c.text.end());
        try {
            EXPECT_EQ(clock_buffer_from_text(c.text), c.buffer) << name;
            EXPECT_EQ(c.error, 0) << name;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << name;
        }
    }
}

TEST(ClockTextReading, SnapshotKeepsTheFirstTwoDigitsOfWideBytes) {
    const ClockSnapshot snap = clock_snapshot({7, 123, 100, 99, 10, 254});
    EXPECT_EQ(snap.text, u"071210991025");
    EXPECT_EQ(snap.flag, u'H');
    EXPECT_EQ(clock_buffer_from(LocalDateTime{2100, 6, 15, 12, 30, 45}), (ClockBuffer{45, 30, 12, 15, 6, 0}));
}

// The date a clock text states: exactly twelve digits of a real date and time, the two-digit year
// in 2000 to 2099; the text of a date value is the snapshot a clock holding it gives.
TEST(ClockTextReading, DateValueOnlyFromTwelveDigitsOfARealDateAndTime) {
    struct Case {
        std::u16string text;  // ssmmhhDDMMYY
        std::optional<double> value;
    };
    const std::vector<Case> cases = {
        {u"000000010100", date_serial(2000, 1, 1)},
        {u"050403020131", date_serial(2031, 1, 2) + time_serial(3, 4, 5)},
        {u"595923311299", date_serial(2099, 12, 31) + time_serial(23, 59, 59)},
        {u"000000290224", date_serial(2024, 2, 29)},
        {u"000000290226", std::nullopt},  // no 29 February in 2026
        {u"006000010126", std::nullopt},  // minute 60
        {u"000024010126", std::nullopt},  // hour 24
        {u"00000001012", std::nullopt},
        {u"0000000101260", std::nullopt},
        {u"0000000101x6", std::nullopt},
        {u" 00000010126", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clock_text_date_value(c.text), c.value) << std::string(c.text.begin(), c.text.end());
        if (c.value) {
            EXPECT_EQ(clock_text_of(*c.value), c.text);
        }
    }
    EXPECT_EQ(date_value_of(LocalDateTime{2026, 12, 7, 8, 14, 5}), date_serial(2026, 12, 7) + time_serial(8, 14, 5));
}

}  // namespace
}  // namespace harrowtally
