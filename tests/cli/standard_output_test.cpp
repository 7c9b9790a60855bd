// A result that cannot reach standard output is a failed job, said on standard error; a reader
// that went away (`| head -1`) only asked for no more, and the job's own status stands.
#include <gtest/gtest.h>

#include <cctype>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

const char* const kScanner =
    "port = 5\n"
    "sw_version = SIM 2.14\n"
    "barcode = EAN-8 2026-12-04 16:59:01 96385074\n";

enum class Reader { full_device, gone };

struct OutputCase {
    const char* what;
    Reader reader;
    std::vector<std::string> args;
    int exit_status;
    std::string err_has;  // empty: standard error stays empty
    std::string device_extra = {};
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.what;
}

const std::string kCannotWrite = "harrowtally: cannot write to standard output: ";

class StandardOutputCli : public SimCliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(StandardOutputCli, ExitStatusTellsWhetherTheResultArrived) {
    const OutputCase& c = GetParam();
    write_state(std::string(kScanner) + c.device_extra);
    CliRun options;
    if (c.reader == Reader::full_device) {
        options.stdout_file = "/dev/full";
    } else {
        options.stdout_reader_gone = true;
    }
    const auto result = run(c.args, options);
    EXPECT_EQ(result.signal, 0) << "ended by a signal";
    EXPECT_EQ(result.exit_status, c.exit_status) << result.err;
    if (c.err_has.empty()) {
        EXPECT_EQ(result.err, "");
    } else {
        EXPECT_NE(result.err.find(c.err_has), std::string::npos) << result.err;
        if (c.err_has == kCannotWrite) {
            EXPECT_NE(result.err.find(platform_words().out_of_space), std::string::npos) << result.err;
        }
    }
    if (c.reader == Reader::gone) {
        EXPECT_EQ(result.err.find("cannot write"), std::string::npos) << result.err;
    }
}

const OutputCase kOutputCases[] = {
    {"clock to a full device", Reader::full_device, {"clock", "--port", "5"}, 1, kCannotWrite},
    {"info to a full device", Reader::full_device, {"info"}, 1, kCannotWrite},
    {"help to a full device", Reader::full_device, {"--help"}, 1, kCannotWrite},
    {"download help to a full device", Reader::full_device, {"download", "--help"}, 1, kCannotWrite},
    {"a failed step keeps its status", Reader::full_device, {"invoke", "hello", "nosuch"}, 1, kCannotWrite},
    {"a usage error writes nothing there", Reader::full_device, {"clock", "later"}, 2, "clock: unexpected argument"},
    {"info to a reader gone", Reader::gone, {"info"}, 0, ""},
    {"clock to a reader gone", Reader::gone, {"clock", "--port", "5"}, 0, ""},
    {"help to a reader gone", Reader::gone, {"--help"}, 0, ""},
    {"a failed job to a reader gone keeps its status",
     Reader::gone,
     {"params", "show", "0107", "--port", "5"},
     1,
     "not every parameter listed was read",
     "fault_calls = csp2GetParam\n"},
};

INSTANTIATE_TEST_SUITE_P(Cli, StandardOutputCli, ::testing::ValuesIn(kOutputCases),
                         [](const auto& info) { return case_name(info.param.what); });

}  // namespace
}  // namespace harrowtally::testing
