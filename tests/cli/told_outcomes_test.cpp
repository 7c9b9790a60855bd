// What the commands say about what happened to the scanner, in words that claim nothing that did
// not happen: a clock set but not read back, a clock set before an erase that failed, an erase call
// that failed on a scanner that then reported itself empty, ports that answered unusually, counts
// of one, and file names that could drive a terminal.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;

const char* const kOneBarcode = "port = 5\nbarcode = EAN-8 2026-12-04 16:59:01 96385074\n";
const char* const kSixBarcodes = "port = 5\nbarcodes_generated = 6\n";
// A file name with a zero-width space, under which the simulated library is copied.
const char* const kOddLibraryName = "lib\xE2\x80\x8B.so";

struct ToldCase {
    const char* what;
    std::string device;  // the simulated scanner
    std::vector<std::string> args;
    int exit_status;
    std::vector<std::string> says;  // in standard output or standard error
    std::vector<std::string> never = {};
    std::map<std::string, std::optional<std::string>> environment = {};
};

void PrintTo(const ToldCase& c, std::ostream* os) {
    *os << c.what;
}

class ToldCli : public SimCliTest, public ::testing::WithParamInterface<ToldCase> {
protected:
    std::string expand(std::string text) const {
        const std::pair<std::string, std::string> names[] = {{"{dir}", dir.string()},
                                                             {"{shown_dir}/", library_folder_shown(dir.string())},
                                                             {"{stand_in}", stand_in_library()}};
        for (const auto& [name, value] : names) {
            for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
                text.replace(at, name.size(), value);
            }
        }
        return text;
    }
};

TEST_P(ToldCli, SaysWhatHappened) {
    const ToldCase& c = GetParam();
    write_state(c.device);
    fs::copy_file(fs::path(cli_program()).parent_path() / platform_words().library_name, dir / kOddLibraryName);
    CliRun options;
    options.environment = c.environment;
    options.environment["LC_ALL"] = "C.UTF-8";
    std::vector<std::string> args;
    for (const auto& arg : c.args) args.push_back(expand(arg));
    const auto result = run(args, options);
    const std::string shown = result.out + result.err;
    EXPECT_EQ(result.exit_status, c.exit_status) << shown;
    for (const auto& words : c.says) EXPECT_NE(shown.find(expand(words)), std::string::npos) << words << "\n" << shown;
    for (const auto& words : c.never) EXPECT_EQ(shown.find(words), std::string::npos) << words << "\n" << shown;
}

const std::vector<ToldCase>& told_cases() {
    static const std::vector<ToldCase> table = {
        // clock set: a clock that cannot be read back is not one that did not take the time.
        {"clock set but not read back",
         "port = 0\nfault_calls = csp2GetTime\n",
         {"clock", "set", "--port", "0"},
         1,
         {"the scanner on port 0 was set to this computer's time (",
          "), but its clock could not be read back (clock "
          "text "},
         {"did not take it", "Set the clock", "no clock read"}},

        // empty --set-clock: the clock is set before the erase, so an erase that fails still tells of it.
        {"clock set, erase failed",
         std::string(kSixBarcodes) + "fault_erase_failures = always\n",
         {"empty", "--discard", "--set-clock", "000000010127"},
         1,
         {"not emptied: the scanner answered, but every erase try failed\n",
          "Clock set to 2027-01-01 00:00:00 (read back from the scanner).\n"},
         {"clock was not set"}},
        {"clock refused, erase failed",
         std::string(kSixBarcodes) + "fault_erase_failures = always\nfault_calls = csp2SetTime\n",
         {"empty", "--discard", "--set-clock", "000000010127"},
         1,
         {"not emptied: the scanner answered, but every erase try failed\n",
          "clock not set: it was to be 2027-01-01 00:00:00, but the scanner's clock reads back "},
         {"Clock set"}},
        {"erasing connection answered badly",
         kOneBarcode,
         {"--library", "{stand_in}", "empty", "--discard", "--set-clock", "000000010127"},
         1,
         {"not emptied: the scanner answered but reported a count of -1; the clock was not set either\n"},
         {"Clock set", "clock not set: it was"},
         {{"HARROWTALLY_TEST_SCANNER_STAGES", "1:12,-1:12"}}},

        // An erase call that failed on a scanner that then reported no barcodes.
        {"erase call failed, scanner empty",
         "port = 5\nfault_erase_failures = always\n",
         {"empty"},
         0,
         {"Emptied the scanner on port 5: the erase call failed at try 1 (the scanner library returned -8), but "
          "the scanner then reported no barcodes.\n"},
         {"erased at try"}},
        {"erase call failed, scanner empty, parameters applied",
         "port = 5\nfault_erase_failures = always\n",
         {"params", "apply", "010501"},
         0,
         {"Emptied the scanner on port 5 (the erase call failed at try 1 (the scanner library returned -8), but "
          "the scanner then reported no barcodes), asked it to restore its defaults"},
         {"erased at try"}},

        // A port search that found nothing names the ports that answered otherwise than -1.
        {"a busy port",
         "port = none\nbusy_ports = 4\n",
         {"clock"},
         1,
         {"no scanner answered on ports 0 to 15 (port 4: the scanner library returned -2 on opening it)\n"}},
        {"busy ports named by code",
         "port = none\nbusy_ports = 3 7 8 9\n",
         {"empty", "--port", "5"},
         1,
         {"no scanner answered on ports 5 to 15 and 0 to 4 (ports 7 to 9 and 3: the scanner library returned -2 "
          "on opening them)\n"}},
        {"every port failing alike",
         "port = none\nfault_calls = csp2Init\n",
         {"params", "apply", "010501", "--port", "3"},
         1,
         {"no scanner answered on ports 3 to 15 and 0 to 2 (ports 3 to 15 and 0 to 2: the scanner library "
          "returned -8 on opening them)\n"}},

        // One barcode.
        {"empty leaves one barcode alone",
         kOneBarcode,
         {"empty"},
         1,
         {"holds 1 barcode that would be lost; save it with"},
         {"1 barcodes"}},
        {"params apply leaves one barcode alone",
         kOneBarcode,
         {"params", "apply", "010501"},
         1,
         {"holds 1 barcode that would be lost; save it with"},
         {"1 barcodes"}},

        // File names for the terminal.
        {"library file name with an escape and a byte that is not UTF-8",
         kOneBarcode,
         {"--library", "{dir}/\x1b[2J\xff.so", "info"},
         1,
         {"1. {dir}/\\x1B[2J\\xFF.so (the named file): "},
         {"\x1b", "\xff"}},
        {"library file name with an invisible character",
         "port = 5\nsw_version = SIM 2.14\n",
         {"--library", std::string("{dir}/") + kOddLibraryName, "info"},
         0,
         {"scanner library: {shown_dir}/lib\\u200B.so\n"},
         {kOddLibraryName}},
    };
    return table;
}

INSTANTIATE_TEST_SUITE_P(Cli, ToldCli, ::testing::ValuesIn(told_cases()),
                         [](const auto& info) { return case_name(info.param.what); });

}  // namespace
}  // namespace harrowtally::testing
