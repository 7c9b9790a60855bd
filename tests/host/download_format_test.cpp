// The format a file's name asks for: the extension alone, in any case; a name that is only an
// extension is a hidden file's name and asks for none.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/formats/download_format.h"
#include "host/output/file_steps.h"

namespace harrowtally::host {
namespace {

struct NameCase {
    const char* path;
    std::optional<DownloadFormat> format;
};

class FormatOfName : public ::testing::TestWithParam<NameCase> {};

TEST_P(FormatOfName, IsTheExtensionsOfTheNameAlone) {
    const NameCase& c = GetParam();
    EXPECT_EQ(format_of_file_name(file_steps::name_of(c.path)), c.format) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FormatOfName,
    ::testing::Values(NameCase{"scans.csv", DownloadFormat::csv}, NameCase{"/tmp/x.y/SCANS.Json", DownloadFormat::json},
                      NameCase{"out/scans.rec", DownloadFormat::record}, NameCase{"scans.XLSX", DownloadFormat::xlsx},
                      NameCase{"a.csv.txt", std::nullopt}, NameCase{"csv", std::nullopt},
                      NameCase{".csv", std::nullopt}, NameCase{"dir/.json", std::nullopt},
                      NameCase{"folder.csv/scans", std::nullopt}, NameCase{"scans.", std::nullopt}));

// Every format the option takes has a name that reads back as that format, and only those do.
TEST(DownloadFormatNames, ReadBackAsTheirFormat) {
    for (const char* name : {"table", "record", "csv", "json", "xlsx"})
        EXPECT_TRUE(parse_download_format(name)) << name;
    for (const char* name : {"", "CSV", "xls", "rec", "tsv"}) EXPECT_FALSE(parse_download_format(name)) << name;
}

}  // namespace
}  // namespace harrowtally::host
