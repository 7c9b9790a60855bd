// Output names with the download's date and time in them.
#include "host/output/name_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace harrowtally::host {
namespace {

struct NameCase {
    const char* pattern;
    LocalDateTime now;
    const char* expected;
};

class OutputNamePattern : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputNamePattern, FieldsTakeTheDateAndTimeInIsoOrder) {
    EXPECT_EQ(expanded_output_name(GetParam().pattern, GetParam().now), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputNamePattern,
    ::testing::Values(
        NameCase{
            "C:\\Scans\\scans-{date}-{time}.csv", {2026, 12, 7, 15, 30, 0}, "C:\\Scans\\scans-2026-12-07-153000.csv"},
        NameCase{"{time}{date}", {2027, 1, 2, 3, 4, 5}, "0304052027-01-02"},
        NameCase{"midnight-{time}.json", {2026, 12, 31, 0, 0, 0}, "midnight-000000.json"},
        NameCase{"{date}/{date}.rec", {2026, 2, 9, 23, 59, 59}, "2026-02-09/2026-02-09.rec"},
        NameCase{"plain.csv", {2026, 12, 7, 15, 30, 0}, "plain.csv"},
        // Only the two fields are fields: other braces, other cases, unclosed ones stay as written.
        NameCase{"{Date}{TIME}{day}{date{time}}{", {2026, 12, 7, 15, 30, 0}, "{Date}{TIME}{day}{date153000}{"},
        NameCase{"", {2026, 12, 7, 15, 30, 0}, ""}));

}  // namespace
}  // namespace harrowtally::host
