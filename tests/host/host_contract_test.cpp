// The harrowtally command line end to end: the real executable, the real loader and the stand-in
// scanner library (a scanner on port 3 holding two barcodes).
#include <gtest/gtest.h>

#include <regex>

#include "support/run_process.h"

namespace harrowtally::testing {
namespace {

using Env = std::map<std::string, std::optional<std::string>>;
using Lines = std::vector<std::string>;

const char* const kScannerPort = "HARROWTALLY_TEST_SCANNER_PORT";
const std::string k438 = "error 438: Object doesn't support this property or method";

ProcessResult harrowtally(std::vector<std::string> args, Env env = {}) {
    args.insert(args.begin(), HARROWTALLY_EXE);
    env.try_emplace(kScannerPort, std::nullopt);
    ProcessResult run = run_process(args, env);
    // Whatever a test expects of the output, a leak or a sanitizer's stop in the host fails it.
    EXPECT_NE(run.exit_status, kSanitizerExitStatus) << run.err;
    return run;
}

ProcessResult invoke(const std::vector<std::string>& steps, bool typed = false) {
    std::vector<std::string> args = {"--library", TEST_LIBRARY};
    if (typed) args.push_back("--typed");
    args.push_back("invoke");
    args.insert(args.end(), steps.begin(), steps.end());
    return harrowtally(args);
}

TEST(HostContract, NewClickerShowsItsCreationValues) {
    const std::vector<std::string> steps = {"hello",  "comport", "num_barcodes", "open_ok",    "empty_ok",
                                            "serial", "log",     "startport",    "get_barcode"};
    const auto plain = invoke(steps);
    EXPECT_EQ(plain.exit_status, 0) << plain.err;
    EXPECT_EQ(plain.lines(),
              (Lines{"Clicker control successfully installed", "0", "0", "False", "False", "", "", "", "0"}));
    const auto typed = invoke(steps, true);
    EXPECT_EQ(typed.exit_status, 0) << typed.err;
    EXPECT_EQ(typed.lines(), (Lines{"String:Clicker control successfully installed", "Integer:0", "Integer:0",
                                    "Boolean:False", "Boolean:False", "String:", "String:", "Empty:", "Integer:0"}));
}

TEST(HostContract, LiteralsKeepTheirTypeThroughStartport) {
    struct Case {
        std::string literal, plain, typed;
    };
    const std::vector<Case> cases = {
        {"3", "3", "Integer:3"},          {"70000", "70000", "Long:70000"},
        {"1.5", "1.5", "Double:1.5"},     {"\"a\\b\tc\"", "a\\b\tc", "String:a\\x5Cb\\x09c"},
        {"True", "True", "Boolean:True"}, {"Null", "Null", "Null:Null"},
        {"Empty", "", "Empty:"},          {"#2026-12-06 14:30:05#", "2026-12-06 14:30:05", "Date:2026-12-06 14:30:05"},
        {"COM3", "COM3", "String:COM3"},
    };
    std::vector<std::string> steps;
    Lines plain, typed;
    for (const auto& c : cases) {
        steps.push_back("startport=" + c.literal);
        steps.push_back("startport");
        plain.push_back(c.plain);
        typed.push_back(c.typed);
    }
    EXPECT_EQ(invoke(steps).lines(), plain);
    EXPECT_EQ(invoke(steps, true).lines(), typed);
}

TEST(HostContract, AssignedValuesAreCoercedToTheMembersType) {
    struct Case {
        std::vector<std::string> steps;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {{"get_barcode=-5", "get_barcode"}, {"Integer:-5"}},
        {{"get_barcode=\"12\"", "get_barcode"}, {"Integer:12"}},
        {{"get_barcode=2.5", "get_barcode"}, {"Integer:2"}},
        {{"get_barcode=3.5", "get_barcode"}, {"Integer:4"}},
        {{"get_barcode=Empty", "get_barcode"}, {"Integer:0"}},
        {{"get_barcode=7", "get_barcode=70000", "get_barcode"}, {"error 6: Overflow", "Integer:7"}},
        {{"get_barcode=abc", "get_barcode"}, {"error 13: Type mismatch", "Integer:0"}},
        {{"get_barcode=Null"}, {"error 13: Type mismatch"}},
        {{"lastport=\"3\"", "startport"}, {"String:3"}},
        {{"lastport=3", "startport"}, {"Integer:3"}},
        {{"newparams=12", "cur_clicker_params=1.5", "pnewdatetime=\"061226143005\""}, {}},
        {{"newparams=Null"}, {"error 94: Invalid use of Null"}},
        {{"cur_clicker_params=Null"}, {"error 94: Invalid use of Null"}},
        {{"pnewdatetime=Null"}, {"error 13: Type mismatch"}},
    };
    for (const auto& c : cases) {
        const auto run = invoke(c.steps, true);
        EXPECT_EQ(run.lines(), c.expected) << c.steps[0];
        EXPECT_EQ(run.exit_status, !c.expected.empty() && c.expected[0].starts_with("error") ? 1 : 0) << c.steps[0];
    }
}

TEST(HostContract, FailedStepsPrintTheirErrorAndTheRunGoesOn) {
    const auto run = invoke({"nosuch", "hello", "comport=5", "hello=\"x\"", "open_clicker=1", "lastport", "newparams",
                             "cur_clicker_params", "pnewdatetime", "clear_clicker", "comport"});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.lines(), (Lines{k438, "Clicker control successfully installed", k438, k438, k438, k438, k438, k438,
                                  k438, k438, "0"}));
    EXPECT_EQ(run.err, "");
}

TEST(HostContract, NamesMatchWithoutRegardToCase) {
    const auto run =
        invoke({"HELLO", "StartPort=4", "STARTPORT", "Open_OK", "LastPort=\"x\"", "startPORT", "NUM_barcodes"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.lines(), (Lines{"Clicker control successfully installed", "4", "False", "x", "0"}));
}

TEST(HostContract, UsageMistakesGoToStandardErrorWithStatus2) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"invoke"},
        {"--typed", "invoke"},
        {"frobnicate", "hello"},
        {"--loud", "invoke", "hello"},
        {"--library"},
        {"invoke", "hello", "=3"},
        {"invoke", "hello", "1abc"},
        {"invoke", "hello", "startport=\"unterminated"},
        {"invoke", "hello", "startport=#2026-02-30 00:00:00#"},
        {"invoke", "hello", "--typed"},
    };
    for (const auto& args : mistakes) {
        const auto run = harrowtally(args);
        const std::string shown = args.empty() ? "(nothing)" : args.back();
        EXPECT_EQ(run.exit_status, 2) << shown;
        EXPECT_EQ(run.out, "") << shown << ": no step runs when any step is malformed";
        EXPECT_NE(run.err.find("usage: harrowtally"), std::string::npos) << shown;
    }
    const auto help = harrowtally({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.out.find("invoke"), std::string::npos);
}

TEST(HostContract, OpenFindsTheScannerThroughTheLoadedLibrary) {
    const auto run = invoke({"startport=3", "open_clicker", "comport", "open_ok", "log", "serial", "num_barcodes"});
    EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
    const Lines lines = run.lines();
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[0], "3");
    EXPECT_EQ(lines[1], "True");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(OPOK:03\d{6}\*0\*0\*2)"))) << lines[2];
    EXPECT_EQ(lines[3], "123456789ABCDEF0");
    EXPECT_EQ(lines[4], "2");
}

TEST(HostContract, OpenSearchesPortsAndReportsNoScanner) {
    const auto found = invoke({"open_clicker", "comport", "log"});
    ASSERT_EQ(found.lines().size(), 2u) << found.out;
    EXPECT_EQ(found.lines()[0], "3");
    EXPECT_TRUE(std::regex_match(found.lines()[1], std::regex(R"(OPOK(:0[0-2]\d{6}\*-1){3}:03\d{6}\*0\*0\*2)")))
        << found.lines()[1];

    const auto none = harrowtally({"--library", TEST_LIBRARY, "invoke", "startport=5", "open_clicker", "comport",
                                   "open_ok", "log", "close_clicker"},
                                  {{kScannerPort, "none"}});
    EXPECT_EQ(none.exit_status, 0) << none.out;
    ASSERT_EQ(none.lines().size(), 3u) << none.out;
    EXPECT_EQ(none.lines()[0], "999");
    EXPECT_EQ(none.lines()[1], "False");
    EXPECT_TRUE(std::regex_match(none.lines()[2], std::regex(R"(OPNC(:\d\d\d{6}\*-1){16})"))) << none.lines()[2];
    EXPECT_EQ(none.lines()[2].substr(4, 3), ":05");
}

TEST(HostContract, UnusableLibraryFailsTheCallThatNeedsIt) {
    struct Case {
        std::string library;
        std::string error;
    };
    const Case cases[] = {
        {"/nonexistent/libcsp2a.so", "error 53: File not found"},
        {TEST_NOT_A_LIBRARY, "error 48: Error in loading DLL"},
    };
    for (const auto& c : cases) {
        const auto run = harrowtally({"--library", c.library, "invoke", "open_clicker", "hello", "close_clicker"});
        EXPECT_EQ(run.exit_status, 1) << c.library;
        EXPECT_EQ(run.lines(), (Lines{c.error, "Clicker control successfully installed", c.error})) << c.library;
    }
}

}  // namespace
}  // namespace harrowtally::testing
