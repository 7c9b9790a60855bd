#include <gtest/gtest.h>

#include "common/conversions.h"
#include "common/text.h"

namespace harrowtally {
namespace {

TEST(DecimalText, ExactDigitsWithoutTrailingZeros) {
    struct Case {
        DecimalValue value;
        const char* text;
    };
    const Case cases[] = {
        {{0, false, 0, 0}, "0"},
        {{3, true, 0, 0}, "0"},
        {{2, false, 0, 12345}, "123.45"},
        {{4, true, 0, 15000}, "-1.5"},
        {{28, false, 0, 1}, "0.0000000000000000000000000001"},
        {{0, false, 1, 0}, "18446744073709551616"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(to_text(Variant::decimal(c.value))), c.text);
    }
    EXPECT_EQ(to_text(Variant::decimal({1, false, 0, 25}), NumberFormat{u',', u'.'}), u"2,5");
}

}  // namespace
}  // namespace harrowtally
