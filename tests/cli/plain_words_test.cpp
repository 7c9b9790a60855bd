// What the commands say when something goes wrong, and what they print for people: one table of
// command lines, each with the scanner it meets, the exit status and the words that must (and
// must not) appear. Through the real loader, with the simulated scanner library or a library that
// cannot be used.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;

const char* const kScanner =
    "port = 5\n"
    "sw_version = SIM 2.14\n"
    "barcode = EAN-8 2026-12-04 16:59:01 96385074\n";

// A label with an escape sequence, DEL, the C1 controls OSC (0x9D) and DCS (0x90), and two
// characters outside ASCII (0xE9, 0x80: e acute and the euro sign in the scanner's character set).
const char* const kHostileLabel = "port = 5\nbarcode = Code128 2026-12-04 08:14:03 A\x1b[31mB\x7f\x9d\x90\xe9\x80\n";

struct WordsCase {
    const char* name;
    std::string state;  // the simulated scanner
    std::vector<std::string> args;
    int exit_status;
    std::vector<std::string> says;  // in standard output or standard error
    std::vector<std::string> never = {};
    std::map<std::string, std::optional<std::string>> environment = {};
    bool without_library_beside = false;  // run a copy of harrowtally from a folder of its own
};

// The data folder as the other platform names it, which this one's program never shows.
std::string other_data_folder() {
    return testing_windows_program() ? "/c/larkvale" : "c:\\larkvale";
}

void PrintTo(const WordsCase& c, std::ostream* os) {
    *os << c.name;
}

// {dir} is a folder of the test's own; {incomplete} a library that lacks csp2GetSwVersion;
// {not_a_library} a text file named libcsp2a.so.
const std::vector<WordsCase>& cases() {
    static const std::vector<WordsCase> table = {
        // The scanner library: which files were tried, in order, and the loader's own reason.
        {"library named but missing",
         kScanner,
         {"--library", "{dir}/nowhere/libcsp2a.so", "download"},
         1,
         {"error 53: File not found\n", "1. {dir}/nowhere/libcsp2a.so (the named file): No such file or directory"}},
        {"library named is a folder",
         kScanner,
         {"--library", "{dir}", "download"},
         1,
         {"error 48: Error in loading DLL\n", "{dir} (the named file): ", "Is a directory"}},
        {"library named is a device",
         kScanner,
         {"--library", "/dev/zero", "info"},
         1,
         {"error 48: Error in loading DLL\n", "/dev/zero (the named file): ", "scanner library: not usable"}},
        {"library named is a text file",
         kScanner,
         {"--library", "{not_a_library}", "empty"},
         1,
         {"error 48: Error in loading DLL\n", "{not_a_library} (the named file): {not_a_library}: "}},
        {"no library beside the executable",
         kScanner,
         {"download"},
         1,
         {"error 53: File not found\n", "1. {dir}/lone/libcsp2a.so (beside the executable): No such file",
          "2. libcsp2a.so (the system's library search): "},
         {},
         {{"LD_LIBRARY_PATH", std::nullopt}},
         true},
        {"library lacking a function",
         kScanner,
         {"--library", "{incomplete}", "info"},
         1,
         {"error 453: Specified DLL function not found\n", "{incomplete} has no function csp2GetSwVersion"}},
        {"invoke keeps the standard line and explains beside it",
         kScanner,
         {"--library", "{dir}/nowhere.so", "invoke", "SwVersion"},
         1,
         {"error 53: File not found\n", "{shown_dir}/nowhere.so (the named file)"}},

        // Outcomes in words; the trace only when asked for.
        {"scanner answered with a failure status",
         kScanner + std::string("system_status = -8\n"),
         {"download"},
         1,
         {"the scanner on port 5 answered but reported status -8"},
         {"no scanner answered", "log", "OPNC"}},
        {"scanner answered with a negative count",
         kScanner + std::string("fault_count = -2\n"),
         {"empty"},
         1,
         {"the scanner on port 5 answered but reported a count of -2"},
         {"no scanner answered", "OPNC"}},
        {"trace with --verbose",
         kScanner + std::string("system_status = -8\n"),
         {"--verbose", "download"},
         1,
         {"reported status -8", "\ncomponent: open_ok no, empty_ok no, log OPNC:00"}},
        {"emptied without the trace",
         kScanner,
         {"empty", "--discard"},
         0,
         {"Emptied the scanner on port 5: erased at try 1"},
         {"log", "open_ok", "CLOK"}},
        {"more barcodes than the component counts",
         kScanner + std::string("fault_count = 40000\n"),
         {"download"},
         1,
         {"error 6: Overflow\n", "the scanner on port 5 reported 40000 barcodes, more than the 32767"}},
        {"a port number the component cannot keep",
         "port = 40000\n",
         {"download", "--port", "40000"},
         1,
         {"error 6: Overflow\n", "answered on port 40000, but the component keeps port numbers up to 32767"}},
        {"a search past the largest port",
         kScanner,
         {"empty", "--port", "2147483647"},
         1,
         {"error 6: Overflow\n", "runs past 2147483647", "give --port 2147483632 or less"}},
        {"a time stamp the component cannot read",
         kScanner + std::string("fault_stamp_text = no_slash\n"),
         {"download"},
         1,
         {"error 5: Invalid procedure call or argument\n", "time stamp text", "the scanner keeps its barcodes"}},
        {"a parameter set that is not one",
         kScanner,
         {"params", "apply", "ab", "--discard"},
         2,
         {"params apply: the set ab is not a two-digit count", "such as 0205011200"}},

        // Help and usage.
        {"invoke has help", kScanner, {"invoke", "--help"}, 0, {"usage: harrowtally", "invoke STEP"}, {"malformed"}},
        {"a mistake shows that command's usage only",
         kScanner,
         {"download", "--format", "xml"},
         2,
         {"unknown format xml", "usage: harrowtally [--library PATH] [--verbose] download [--port N]"},
         {"invoke STEP", "params show"}},
        {"a repeated option",
         kScanner,
         {"download", "--format", "csv", "--format", "json"},
         2,
         {"download: --format is given twice"}},
        {"a repeated port", kScanner, {"clock", "--port", "5", "--port=6"}, 2, {"clock: --port is given twice"}},
        {"a repeated global option", kScanner, {"--verbose", "--verbose", "info"}, 2, {"--verbose is given twice"}},

        // A safe table; CSV keeps the exact text.
        {"table escapes controls for a UTF-8 terminal",
         kHostileLabel,
         {"download", "--format", "table"},
         0,
         {"A\\x1B[31mB\\x7F\\x9D\\x90\xc3\xa9\xe2\x82\xac   128"},
         {"\x1b", "\x7f", "\xc2\x9d", "\xc2\x90"},
         {{"LC_ALL", "C.UTF-8"}}},
        {"table escapes what an ASCII terminal cannot show",
         kHostileLabel,
         {"download", "--format", "table"},
         0,
         {"A\\x1B[31mB\\x7F\\x9D\\x90\\xE9\\x80   128"},
         {"\x1b", "\xc3\xa9"},
         {{"LC_ALL", "C"}}},
        {"table shows a stamp that is not a date as its text",
         kScanner + std::string("fault_stamp_text = bad_date\n"),
         {"download", "--format", "table"},
         0,
         {"  stamp \"16:59:01   00/00/26\" not read as a date\n"},
         {"2001-01-01"}},
        {"CSV keeps the exact text",
         kHostileLabel,
         {"download", "--format", "csv"},
         0,
         {"1,A\x1b[31mB\x7f\xc2\x9d\xc2\x90\xc3\xa9\xe2\x82\xac,128,"},
         {"\\x"}},

        // The small things.
        {"info names the folder it reads",
         kScanner,
         {"info"},
         0,
         {"data files in {data_folder}: ", "scanner library: {root}"},
         {"{other_data_folder}"}},
        {"clock differences in days, hours, minutes and seconds",
         kScanner + std::string("clock_offset = -900030\n"),
         {"clock", "--port", "5"},
         0,
         {"10 days 10 hours ", " seconds behind this computer's"},
         {"e+", " s behind"}},
        {"--port in download's help",
         kScanner,
         {"download", "--help"},
         0,
         {"--port N         where the search for the scanner starts: 16 ports from N"}},
        {"--port in clock's help",
         kScanner,
         {"clock", "--help"},
         0,
         {"--port N  the port the clock is read on, exactly"}},
        {"--port in params' help",
         kScanner,
         {"params", "--help"},
         0,
         {"show: the port the scanner is read on, exactly", "apply: where the search for the scanner starts"}},
        {"the encoding is stated",
         kScanner,
         {"--help"},
         0,
         {"Output is UTF-8; the scanner's bytes are read as Windows-1252"}},
    };
    return table;
}

class PlainWords : public ::testing::TestWithParam<WordsCase> {
protected:
    void SetUp() override {
        if (const auto why = not_for_this_program()) GTEST_SKIP() << *why;
        std::string pattern = (fs::temp_directory_path() / "harrowtally-words-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string expand(std::string text) const {
        const std::pair<std::string, std::string> names[] = {{"{dir}", dir.string()},
                                                             {"{shown_dir}/", library_folder_shown(dir.string())},
                                                             {"{root}", library_folder_shown("")},
                                                             {"{data_folder}", platform_words().data_folder},
                                                             {"{other_data_folder}", other_data_folder()},
                                                             {"{incomplete}", TEST_LIBRARY_INCOMPLETE},
                                                             {"{not_a_library}", TEST_NOT_A_LIBRARY}};
        for (const auto& [name, value] : names) {
            for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
                text.replace(at, name.size(), value);
            }
        }
        return text;
    }

    fs::path dir;
};

TEST_P(PlainWords, SaysWhatHappened) {
    const WordsCase& c = GetParam();
    const fs::path state = dir / "device.txt";
    std::ofstream(state) << c.state;
    CliRun run;
    for (const auto& arg : c.args) run.args.push_back(expand(arg));
    run.environment = c.environment;
    run.environment["HARROWTALLY_SIM_STATE"] = state.string();
    if (c.without_library_beside) {
        fs::create_directory(dir / "lone");
        const fs::path copy = dir / "lone" / fs::path(cli_program()).filename();
        fs::copy_file(cli_program(), copy);
        run.executable = copy.string();
    }
    const auto result = run_cli(run);
    const std::string shown = result.out + result.err;
    EXPECT_EQ(result.exit_status, c.exit_status) << shown;
    for (const auto& words : c.says) EXPECT_NE(shown.find(expand(words)), std::string::npos) << words << "\n" << shown;
    for (const auto& words : c.never) EXPECT_EQ(shown.find(words), std::string::npos) << words << "\n" << shown;
}

INSTANTIATE_TEST_SUITE_P(Cli, PlainWords, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return case_name(info.param.name); });

}  // namespace
}  // namespace harrowtally::testing
