#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/clock_text.h"
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

}  // namespace
}  // namespace harrowtally
