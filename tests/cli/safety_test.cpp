// The command line's safety checks end to end: nothing erased that was not saved or not seen,
// nothing reported that did not happen, nothing written that was not asked for. Through the real
// loader, with the simulated scanner library (its state file stages a scanner) or the stand-in
// library (it stages a scanner that changes between two connections).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;

const char* const kScanner =
    "port = 5\n"
    "barcode = EAN-13 2026-01-02 03:04:05 4006381333931\n"
    "barcode = EAN-8 2026-12-04 16:59:01 96385074\n";

class CliSafety : public SimCliTest {
protected:
    void SetUp() override {
        SimCliTest::SetUp();
        erases = dir / "erases.txt";
    }

    // With the simulated scanner `device`.
    CliResult run(std::vector<std::string> args, const std::string& device = kScanner) const {
        write_state(device);
        return SimCliTest::run(std::move(args));
    }
    // With the stand-in library on port 3, its scanner changing per connection as `stages` says.
    CliResult run_staged(std::vector<std::string> args, const std::string& stages) const {
        CliRun options;
        options.args = {"--library", stand_in_library()};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.environment["HARROWTALLY_TEST_SCANNER_STAGES"] = stages;
        options.environment["HARROWTALLY_TEST_SCANNER_ERASES"] = erases.string();
        return run_cli(options);
    }
    // Erases the stand-in library made.
    long erase_calls() const {
        const std::string text = read(erases);
        return std::count(text.begin(), text.end(), '\n');
    }

    fs::path erases;
};

// Each mistake is a usage error before any scanner call: the library named does not even exist.
TEST_F(CliSafety, MistakesAreRefusedBeforeTheScanner) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::string dir_text = dir.string();
    const std::vector<Case> cases = {
        {{"download", "--output", dir_text + "/scans"}, "cannot be told from its extension"},
        {{"download", "--output", dir_text + "/scans.txt", "--empty-after"}, "cannot be told from its extension"},
        {{"download", "--output", dir_text + "/scans", "--format", "table", "--empty-after"},
         "--empty-after does not go with --format table"},
        {{"download", "--format", "table", "--output", dir_text + "/scans.xlsx"},
         "scans.xlsx is named as xlsx, but --format asks for table"},
        {{"download", "--output", dir_text + "/scans.csv", "--format", "record"}, "named as csv, but --format asks"},
        {{"empty", "--set-clock", "999999999999"}, "of a real date and time"},
        {{"empty", "--set-clock", "005900290226"}, "of a real date and time"},  // 29 February 2026
        {{"empty", "--set-clock", "0059002902261"}, "of a real date and time"},
        {{"params", "apply", "01-501"}, "is not a two-digit count"},
        {{"params", "apply", "0107ff"}, "is not a two-digit count"},
        {{"params", "apply", "020501"}, "is not a two-digit count"},
        {{"params", "apply", "01050"}, "is not a two-digit count"},
        {{"params", "show", "01-1"}, "is not a two-digit count"},
        {{"params", "show", "01"}, "is not a two-digit count"},
        {{"params", "show", "99"}, "is not a two-digit count"},
        {{"params", "show", "0"}, "is not a two-digit count"},
        {{"params", "show", ""}, "is not a two-digit count"},
        {{"params", "show", "0107x"}, "is not a two-digit count"},
    };
    for (const auto& c : cases) {
        CliRun options;
        options.args = {"--library", (dir / "nowhere" / "libcsp2a.so").string()};
        options.args.insert(options.args.end(), c.args.begin(), c.args.end());
        const auto refused = run_cli(options);
        EXPECT_EQ(refused.exit_status, 2) << c.args[0] << " " << c.args[2] << ": " << refused.err;
        EXPECT_NE(refused.err.find(c.says), std::string::npos) << c.args[2] << ": " << refused.err;
    }
    EXPECT_FALSE(fs::exists(dir / "scans")) << "nothing written";
}

TEST_F(CliSafety, OutputFormatFollowsTheExtension) {
    struct Case {
        std::string name;
        std::vector<std::string> extra;
        std::string begins;
    };
    const std::vector<Case> cases = {
        {"scans.csv", {}, "item,barcode,type,scan_time,stamp_text,"},
        {"scans.JSON", {}, "{\n  \"serial\""},
        {"scans.rec", {}, "V01"},
        {"scans.txt", {"--format", "csv"}, "item,barcode"},
        {"upper.CSV", {"--format", "csv"}, "item,barcode"},
    };
    for (const auto& c : cases) {
        const fs::path output = dir / c.name;
        fs::remove(output);
        std::vector<std::string> args = {"download", "--output", output.string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto saved = run(args);
        EXPECT_EQ(saved.exit_status, 0) << c.name << ": " << saved.err;
        EXPECT_EQ(read(output).rfind(c.begins, 0), 0u) << c.name << ": " << read(output);
    }
}

// A record whose field outgrew its width cannot be read back field by field, and one whose time
// stamp held no date has only a stand-in date: it is written, and the scanner keeps everything.
// CSV and JSON keep the stamp's text.
TEST_F(CliSafety, EmptyAfterRefusesARecordThatDoesNotKeepEverything) {
    struct Case {
        const char* what;
        std::string device;
        std::string says;  // empty: emptied
        int held;          // barcodes the scanner holds
        std::string output = "scans.rec";
        std::string file_holds = "V01";
    };
    const std::string no_date = "port = 5\nfault_stamp_text = bad_date\nbarcode = 7 2026-12-04 16:59:01 A\n";
    const std::vector<Case> cases = {
        {"barcode of 14 characters", "port = 5\nbarcode = 28 2026-12-04 08:00:00 ABCDEFGHIJKLM1\n",
         "barcode 1: it reads back as \"ABCDEFGHIJKLM\", but the scanner gave \"ABCDEFGHIJKLM1\"", 1},
        {"type 128", "port = 5\nbarcode = 128 2026-12-04 08:00:00 ABCDEFGHIJKLM\n",
         "barcode 1: its type reads back as 12, but the scanner gave 128", 1},
        {"1000 items, some of them shipping labels of 20 characters",
         "port = 5\nbarcode = 7 2026-12-04 08:00:00 A\nbarcodes_generated = 999\n",
         "barcode 5: it reads back as \"0034012345000\", but the scanner gave \"00340123450000000031\"", 1000},
        {"every field fits", "port = 5\nbarcode = 99 2026-12-04 08:00:00 ABCDEFGHIJKLM\n", "", 1},
        {"time stamp without a date", no_date,
         "barcode 1: the record keeps only a scan time (2001-01-01 00:00:00), and its stamp \"16:59:01   00/00/26\" "
         "does not state one exactly",
         1},
        {"time stamp without a date in CSV", no_date, "", 1, "scans.csv", "1,A,7,,16:59:01   00/00/26,"},
    };
    for (const auto& c : cases) {
        const fs::path output = dir / c.output;
        fs::remove(output);
        const auto result = run({"download", "--output", output.string(), "--empty-after"}, c.device);
        EXPECT_NE(read(output).find(c.file_holds), std::string::npos) << c.what << ": " << read(output);
        if (c.says.empty()) {
            EXPECT_EQ(result.exit_status, 0) << c.what << ": " << result.err;
            EXPECT_EQ(stored_barcodes(), 0) << c.what;
            continue;
        }
        EXPECT_EQ(result.exit_status, 1) << c.what;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << ": " << result.err;
        EXPECT_NE(result.err.find("save as CSV or JSON"), std::string::npos) << c.what << ": " << result.err;
        EXPECT_EQ(stored_barcodes(), c.held) << c.what;
        EXPECT_NE(read(state).find("barcode ="), std::string::npos) << c.what << ": the scanner keeps its barcodes";
    }
}

// The scanner erased is the one looked at, still holding what was seen: checked in the connection
// that erases (the stand-in library's second connection is another scanner, or holds more), or
// erased in the connection that looked.
TEST_F(CliSafety, OnlyTheScannerLookedAtIsErased) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string stages;
        int exit_status;
        std::string says;
        long erases;
    };
    const std::string output = (dir / "scans.csv").string();
    const std::vector<Case> cases = {
        // download --empty-after erases in the connection that downloaded: a second connection,
        // which would find another scanner or more barcodes, is never made.
        {"download: one connection",
         {"download", "--output", output, "--overwrite", "--empty-after"},
         "2:12,3:AB",
         0,
         "Saved 2 barcodes from scanner 123456789ABCDEF0 (port 3)",
         1},
        {"empty: still empty", {"empty"}, "0:12,0:12", 0, "Emptied the scanner on port 3", 1},
        {"empty: scanned since the look", {"empty"}, "0:12,1:12", 1, "the scanner now holds 1 barcode, not the 0", 0},
        {"empty --set-clock: scanned since the look",
         {"empty", "--set-clock", "000000010127"},
         "0:12,4:12",
         1,
         "nothing was erased and the clock was not set",
         0},
        {"params apply: scanned since the look",
         {"params", "apply", "010501"},
         "0:12,1:12",
         1,
         "not applied: the scanner now holds 1 barcode, not the 0 seen before; nothing was erased, and no parameter "
         "was changed",
         0},
        {"empty --discard: no check", {"empty", "--discard"}, "2:12,5:AB", 0, "5 barcodes discarded", 1},
    };
    for (const auto& c : cases) {
        fs::remove(erases);
        const auto result = run_staged(c.args, c.stages);
        EXPECT_EQ(result.exit_status, c.exit_status) << c.what << ": " << result.err;
        EXPECT_NE((result.out + result.err).find(c.says), std::string::npos)
            << c.what << ": " << result.out << result.err;
        EXPECT_EQ(erase_calls(), c.erases) << c.what;
    }
}

// What a command reports is what the scanner holds afterwards, read back.
TEST_F(CliSafety, ClockAndParametersAreReadBack) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string device_extra;
        int exit_status;
        std::string says;
        std::string never = {};  // empty: nothing checked
        std::string scanner = "port = 5\n";
    };
    const std::vector<Case> cases = {
        {"clock set",
         {"empty", "--set-clock", "000000010127"},
         "",
         0,
         "Clock set to 2027-01-01 00:00:00 (read back from the scanner)"},
        {"clock of 2099",
         {"empty", "--set-clock", "590023311299"},
         "",
         0,
         "Clock set to 2099-12-31 23:00:59 (read back from the scanner)"},
        {"clock refused",
         {"empty", "--set-clock", "now"},
         "fault_calls = csp2SetTime\nclock_offset = -86400\n",
         1,
         "clock not set: it was to be "},
        {"parameters written",
         {"params", "apply", "0205011200"},
         "",
         0,
         "Read back: every parameter of the set holds its value."},
        {"parameters refused",
         {"params", "apply", "0205021203"},
         "fault_calls = csp2SetParam\nparam 5 = 3\n",
         1,
         "not applied: parameter 05 reads back 1, not 2\nnot applied: parameter 12 reads back 0, not 3\n"},
        {"parameters not read back",
         {"params", "apply", "010502"},
         "fault_calls = csp2GetParam\n",
         1,
         "not applied: parameter 05 was not read back (the scanner library returned -8), so it is not known to "
         "hold 2\n",
         "reads back"},
        {"parameters not read",
         {"params", "show", "020731", "--port", "5"},
         "fault_calls = csp2GetParam\n",
         1,
         "Parameters on port 5: 07 not read (the scanner library returned -8), 31 not read (the scanner library "
         "returned -8)\n",
         " = 0"},
        {"barcodes discarded by apply",
         {"params", "apply", "010501", "--discard"},
         "barcode = EAN-8 2026-12-04 16:59:01 96385074\nbarcode = EAN-8 2026-12-04 16:59:02 96385074\n",
         0,
         "2 barcodes discarded), asked it to restore its defaults and sent the set 010501.",
         "restored"},
        {"clock set refused on port 0",
         {"clock", "set", "--port", "0"},
         "fault_calls = csp2SetTime\nclock_offset = -86400\n",
         1,
         "clock not set: the scanner on port 0 was asked to take this computer's time (",
         "Set the clock",
         "port = 0\n"},
    };
    for (const auto& c : cases) {
        const auto result = run(c.args, c.scanner + c.device_extra);
        const std::string shown = result.out + result.err;
        EXPECT_EQ(result.exit_status, c.exit_status) << c.what << ": " << result.err;
        EXPECT_NE(shown.find(c.says), std::string::npos) << c.what << ": " << shown;
        if (!c.never.empty()) {
            EXPECT_EQ(shown.find(c.never), std::string::npos) << c.what << ": " << shown;
        }
    }
}

TEST_F(CliSafety, OverwriteKeepsTheReplacedFilesMode) {
    for (const mode_t mode : {0600, 0640, 0604, 0755}) {
        const fs::path output = dir / "scans.csv";
        std::ofstream(output) << "an earlier download\n";
        ASSERT_EQ(::chmod(output.c_str(), mode), 0);
        const auto saved = run({"download", "--output", output.string(), "--overwrite"});
        EXPECT_EQ(saved.exit_status, 0) << saved.err;
        struct stat st {};
        ASSERT_EQ(::stat(output.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(read(output).rfind("item,", 0), 0u);
    }
}

// The part file is made before the scanner is read, beside the target, under a name the folder
// accepts for any name the folder accepts.
TEST_F(CliSafety, OutputIsCreatedFirstUnderANameThatFits) {
    const long name_max = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    ASSERT_GT(name_max, 16);
    std::string euros;
    while (euros.size() + 3 + 4 <= static_cast<std::size_t>(name_max)) euros += "\xE2\x82\xAC";  // the euro sign
    const std::vector<std::string> names = {std::string(static_cast<std::size_t>(name_max) - 4, 'a') + ".csv",
                                            euros + ".csv"};
    for (const auto& name : names) {
        if (name.starts_with("\xE2") && not_for_this_program("euro signs")) continue;
        const auto saved = run({"download", "--output", (dir / name).string(), "--empty-after"});
        EXPECT_EQ(saved.exit_status, 0) << name.size() << ": " << saved.err;
        EXPECT_EQ(read(dir / name).rfind("item,", 0), 0u) << name.size();
    }
    // A folder that is missing: refused before the library is even loaded.
    CliRun options;
    options.args = {"--library", (dir / "nowhere" / "libcsp2a.so").string(), "download", "--output",
                    (dir / "missing" / "scans.csv").string()};
    const auto refused = run_cli(options);
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_EQ(refused.err.rfind("not downloaded: cannot create a file in", 0), 0u) << refused.err;
    EXPECT_EQ(refused.err.find("error 53"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace harrowtally::testing
