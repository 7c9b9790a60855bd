// Options read the same way by every command: help anywhere on the line, an option of harrowtally
// itself after the command word explained, an option that does not apply refused. All of it before
// the scanner library is called: the simulator's call journal stays empty.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

struct OptionCase {
    const char* what;
    std::vector<std::string> args;
    int exit_status;
    std::string shown;  // the start of standard output (exit status 0) or standard error
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << c.what;
}

class OptionsCli : public SimCliTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionsCli, ReadTheSameWayByEveryCommand) {
    const OptionCase& c = GetParam();
    write_state("port = 5\n");
    const std::filesystem::path journal = dir / "journal.txt";
    CliRun options;
    options.environment["HARROWTALLY_SIM_JOURNAL"] = journal.string();
    const auto result = run(c.args, options);
    EXPECT_EQ(result.exit_status, c.exit_status) << result.out << result.err;
    const std::string& shown = c.exit_status == 0 ? result.out : result.err;
    EXPECT_EQ(shown.rfind(c.shown, 0), 0u) << shown;
    // Help goes to standard output alone, a mistake to standard error alone.
    EXPECT_EQ(c.exit_status == 0 ? result.err : result.out, "");
    EXPECT_FALSE(std::filesystem::exists(journal)) << "the scanner library was called:\n" << read(journal);
}

const OptionCase kOptionCases[] = {
    // Help anywhere: the command's when a command word is there, else the general usage.
    {"help after a wrong option", {"download", "--bogus", "--help"}, 0, "usage: harrowtally download"},
    {"help after global options and an action", {"--verbose", "clock", "set", "--help"}, 0, "usage: harrowtally clock"},
    {"help after a wrong global option", {"--bogus", "--help"}, 0, "usage: harrowtally [--library PATH]"},
    {"help before the command word", {"-h", "params"}, 0, "usage: harrowtally params show"},
    {"help after a value that is wrong", {"empty", "--set-clock", "tomorrow", "-h"}, 0, "usage: harrowtally empty"},
    {"help among steps", {"invoke", "hello", "--help"}, 0, "usage: harrowtally [--library PATH] [--typed] invoke"},
    {"help of an unknown command", {"frobnicate", "--help"}, 0, "usage: harrowtally [--library PATH]"},

    // Options of harrowtally itself after the command word.
    {"--verbose after the command word",
     {"download", "--verbose"},
     2,
     "harrowtally: download: --verbose is an option of harrowtally itself: put it before the command word "
     "(harrowtally --verbose download ...)\nusage: harrowtally [--library PATH] [--verbose] download "},
    {"--library after the command word",
     {"clock", "--library", "x"},
     2,
     "harrowtally: clock: --library is an option of harrowtally itself: put it before the command word "
     "(harrowtally --library PATH clock ...)\n"},
    {"--library=PATH after the action",
     {"params", "show", "0107", "--library=/x.so"},
     2,
     "harrowtally: params: --library is an option of harrowtally itself"},
    {"--typed after the command word",
     {"empty", "--typed"},
     2,
     "harrowtally: empty: --typed is an option of harrowtally itself and goes with invoke only\n"},
    {"--verbose among steps",
     {"invoke", "hello", "--verbose"},
     2,
     "harrowtally: invoke: --verbose is an option of harrowtally itself: put it before the command word "
     "(harrowtally --verbose invoke ...)\n"},

    // An option that does not apply.
    {"--typed with download",
     {"--typed", "download"},
     2,
     "harrowtally: --typed goes with invoke only, not with download\nusage: harrowtally [--library PATH] "
     "[--verbose] download "},
    {"--typed with info", {"--typed", "info"}, 2, "harrowtally: --typed goes with invoke only, not with info\n"},
};

INSTANTIATE_TEST_SUITE_P(Cli, OptionsCli, ::testing::ValuesIn(kOptionCases),
                         [](const auto& info) { return case_name(info.param.what); });

}  // namespace
}  // namespace harrowtally::testing
