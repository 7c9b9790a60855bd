#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/clock_text.h"
#include "common/runtime_error.h"

namespace harrowtally {
namespace {

TEST(ClockSnapshot, EachByteBecomesItsFirstTwoDigits) {
    struct Case {
        ClockBuffer buffer;
        std::u16string text;
        char16_t flag;
    };
    const std::vector<Case> cases = {
        {{9, 5, 14, 23, 3, 7}, u"090514230307", u'H'},     {{0, 0, 0, 0, 0, 0}, u"000000000000", u'H'},
        {{255, 17, 10, 6, 12, 26}, u"001710061226", u'L'}, {{255, 255, 255, 255, 255, 255}, u"002525252525", u'L'},
        {{5, 17, 10, 6, 12, 255}, u"051710061225", u'H'},  {{7, 123, 100, 99, 10, 254}, u"071210991025", u'H'},
    };
    for (const auto& c : cases) {
        const ClockSnapshot snap = clock_snapshot(c.buffer);
        EXPECT_EQ(snap.text, c.text);
        EXPECT_EQ(snap.flag, c.flag) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(ClockText, PairsReadAsNumbers) {
    struct Case {
        std::u16string text;
        ClockBuffer buffer;
    };
    const std::vector<Case> cases = {
        {u"090514230307", {9, 5, 14, 23, 3, 7}},
        {u"051710061226", {5, 17, 10, 6, 12, 26}},
        {u"0905", {9, 5, 0, 0, 0, 0}},
        {u"05", {5, 0, 0, 0, 0, 0}},
        {u"09051", {9, 5, 1, 0, 0, 0}},
        {u"", {0, 0, 0, 0, 0, 0}},
        {u" 5 7", {5, 7, 0, 0, 0, 0}},
        {u"5 ", {5, 0, 0, 0, 0, 0}},
        {u"ab0c", {0, 0, 0, 0, 0, 0}},
        {u"1x", {1, 0, 0, 0, 0, 0}},
        {u"+5", {5, 0, 0, 0, 0, 0}},
        {u"-0", {0, 0, 0, 0, 0, 0}},
        {u".5", {0, 0, 0, 0, 0, 0}},  // half to the even neighbour
        {u"9.", {9, 0, 0, 0, 0, 0}},
        {u"&H", {0, 0, 0, 0, 0, 0}},
        {u"99999999999999", {99, 99, 99, 99, 99, 99}},  // characters after the twelfth are ignored
        {u"000000000000-5", {0, 0, 0, 0, 0, 0}},
        {u" -3", {0, 3, 0, 0, 0, 0}},  // the sign and its digit fall into different pairs
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clock_buffer_from_text(c.text), c.buffer) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(ClockText, NegativePairFailsWithInvalidCall) {
    for (const std::u16string text : {u"-5", u"00-1", u"0000000000-9", u"-1.5"}) {
        int number = 0;
        try {
            clock_buffer_from_text(text);
        } catch (const RuntimeError& e) {
            number = e.number();
        }
        EXPECT_EQ(number, 5) << std::string(text.begin(), text.end());
    }
}

TEST(ClockText, LocalDateTimeUsesTheYearWithinTheCentury) {
    struct Case {
        LocalDateTime t;
        ClockBuffer buffer;
    };
    const std::vector<Case> cases = {
        {{2007, 3, 23, 14, 5, 9}, {9, 5, 14, 23, 3, 7}},
        {{2000, 1, 1, 0, 0, 0}, {0, 0, 0, 1, 1, 0}},
        {{1999, 12, 31, 23, 59, 59}, {59, 59, 23, 31, 12, 99}},
        {{2100, 6, 15, 12, 30, 45}, {45, 30, 12, 15, 6, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(clock_buffer_from(c.t), c.buffer) << c.t.year;
}

}  // namespace
}  // namespace harrowtally
