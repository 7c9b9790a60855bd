// --verbose, the same for every command whether it succeeds or not: each scanner library call with
// its arguments and result as it happens, then, once, the component's flags and trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

const char* const kScanner =
    "port = 5\n"
    "sw_version = SIM 2.14\n"
    "barcode = EAN-8 2026-12-04 16:59:01 96385074\n";

struct VerboseCase {
    const char* what;
    std::string device;
    std::vector<std::string> args;  // {dir}: a folder of the test's own
    int exit_status;
    std::vector<std::string> lines;  // each a whole line of standard error
    std::string component;           // how the last line of standard error starts; empty: not verbose
};

void PrintTo(const VerboseCase& c, std::ostream* os) {
    *os << c.what;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class VerboseCli : public SimCliTest, public ::testing::WithParamInterface<VerboseCase> {};

TEST_P(VerboseCli, TellsEveryLibraryCallAndTheComponentOnce) {
    const VerboseCase& c = GetParam();
    write_state(c.device);
    std::vector<std::string> args;
    for (std::string arg : c.args) {
        if (const auto at = arg.find("{dir}"); at != std::string::npos) arg.replace(at, 5, dir.string());
        args.push_back(arg);
    }
    const auto result = run(args);
    EXPECT_EQ(result.exit_status, c.exit_status) << result.err;
    const std::vector<std::string> err = lines_of(result.err);
    for (const std::string& line : c.lines) {
        EXPECT_NE(std::find(err.begin(), err.end(), line), err.end()) << line << "\n" << result.err;
    }
    const auto components =
        std::count_if(err.begin(), err.end(), [](const auto& l) { return l.starts_with("component: "); });
    if (c.component.empty()) {
        EXPECT_EQ(components, 0) << result.err;
        EXPECT_EQ(result.err.find("library: "), std::string::npos) << result.err;
        return;
    }
    EXPECT_EQ(components, 1) << result.err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back().rfind(c.component, 0), 0u) << result.err;
}

const std::string kFailingErase = std::string(kScanner) + "fault_erase_failures = always\n";

const VerboseCase kVerboseCases[] = {
    {"download",
     kScanner,
     {"--verbose", "download", "--format", "csv"},
     0,
     {"library: csp2Init(4) = -1", "library: csp2Init(5) = 0", "library: csp2ReadData() = 1",
      "library: csp2GetPacket(buf, 0, 500) = 14", "library: csp2Restore() = 0"},
     "component: open_ok yes, empty_ok no, log OPOK:00"},
    {"empty setting the clock",
     kScanner,
     {"--verbose", "empty", "--discard", "--set-clock", "000000010127"},
     0,
     {"library: csp2SetTime(00000001011B) = 0", "library: csp2ClearData() = 0"},
     "component: open_ok yes, empty_ok yes, log CLOK:01:OPOK:05"},
    {"empty whose erase fails",
     kFailingErase,
     {"--verbose", "empty", "--discard"},
     1,
     {"library: csp2ClearData() = -8", "not emptied: the scanner answered, but every erase try failed"},
     "component: open_ok yes, empty_ok no, log OPOK:05"},
    {"clock",
     kScanner,
     {"--verbose", "clock", "--port", "5"},
     0,
     {"library: csp2Init(5) = 0", "library: csp2GetTime(buf) = 0", "library: csp2Restore() = 0"},
     "component: open_ok no, empty_ok no, log (empty)"},
    {"params show",
     kScanner,
     {"--verbose", "params", "show", "0107", "--port", "5"},
     0,
     {"library: csp2GetParam(7, buf, 10) = 0", "library: csp2GetSwVersion(buf, 10) = 0"},
     "component: open_ok no, empty_ok no, log (empty)"},
    {"info", kScanner, {"--verbose", "info"}, 0, {"library: csp2GetSwVersion(buf, 10) = 0"}, "component: open_ok no"},
    {"invoke",
     kScanner,
     {"--verbose", "invoke", "startport=5", "open_clicker", "num_barcodes"},
     0,
     {"library: csp2Init(5) = 0", "library: csp2ReadData() = 1"},
     "component: open_ok yes, empty_ok no, log OPOK:05"},
    {"no scanner",
     "port = none\n",
     {"--verbose", "clock"},
     1,
     {"library: csp2Init(0) = -1", "library: csp2Init(15) = -1", "no scanner answered on ports 0 to 15"},
     "component: open_ok no, empty_ok no, log OPNC:00"},
    {"no library",
     kScanner,
     {"--library", "{dir}/none.so", "--verbose", "params", "show", "0107", "--port", "5"},
     1,
     {"library: csp2Init(5) not called: error 53: File not found", "error 53: File not found"},
     "component: open_ok no, empty_ok no, log (empty)"},
    {"without --verbose", kFailingErase, {"empty", "--discard"}, 1, {}, ""},
};

INSTANTIATE_TEST_SUITE_P(Cli, VerboseCli, ::testing::ValuesIn(kVerboseCases),
                         [](const auto& info) { return case_name(info.param.what); });

}  // namespace
}  // namespace harrowtally::testing
