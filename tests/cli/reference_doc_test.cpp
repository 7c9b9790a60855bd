// The reference's worked record is what the demo scanner's download gives, but for the clock,
// which moves with the computer's.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

class ReferenceDoc : public SimCliTest {};

TEST_F(ReferenceDoc, WorkedRecordIsTheDemoScannersDownload) {
    std::istringstream reference(read(std::filesystem::path(HARROWTALLY_SOURCE_DIR) / "docs" / "reference.md"));
    std::string example;
    for (std::string line; std::getline(reference, line);) {
        if (line.starts_with("V01")) example = line;
    }
    ASSERT_FALSE(example.empty()) << "docs/reference.md shows no record";
    write_state(read(std::filesystem::path(HARROWTALLY_SOURCE_DIR) / "tests" / "wine" / "scanner.txt"));
    const auto result = run({"download", "--format", "record"});
    ASSERT_EQ(result.exit_status, 0) << result.err;
    std::string record = result.out;
    while (!record.empty() && (record.back() == '\n' || record.back() == '\r')) record.pop_back();
    ASSERT_EQ(record.size(), example.size()) << record;
    // The clock text: positions 20 to 31.
    record.replace(20, 12, example.substr(20, 12));
    EXPECT_EQ(record, example);
}

}  // namespace
}  // namespace harrowtally::testing
