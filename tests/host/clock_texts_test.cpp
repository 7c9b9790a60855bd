#include "host/clock_texts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace harrowtally::host {
namespace {

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
