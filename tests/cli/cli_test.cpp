// The commands for people end to end: the real harrowtally, the real loader and the simulated
// scanner library, each device in a state file of its own. What the scanner holds afterwards is
// read from that file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;

const char* const kDevice =
    "port = 5\n"
    "device_id = 00 1F A4 3C 90 0B 77 E1\n"
    "sw_version = SIM 2.14\n"
    "clock_offset = -45\n"
    "param 7 = 1\n"
    "param 31 = 200\n"
    "barcode = EAN-13 2026-01-02 03:04:05 4006381333931\n"
    "barcode = Code128 2026-12-04 08:14:03 A,B\n"
    "barcode = Code39 2026-12-04 08:15:40 SAY \"HI\"\n"
    "barcode = 7 2026-12-04 09:00:00 C:\\TMP\n"
    "barcode = Code128 2026-12-04 10:47:55 00340123450000001175\n"
    "barcode = Code39 2026-12-04 15:00:00\n";
constexpr int kDeviceBarcodes = 6;
const std::string kTime = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";

class Cli : public SimCliTest {
protected:
    void SetUp() override {
        SimCliTest::SetUp();
        write_state(kDevice);
    }

    // Files in dir other than the state file: what a command left behind.
    std::vector<std::string> left_in_dir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path() != state) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// `text` matched literally inside a regular expression.
std::string quoted(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

std::string crlf_to_lf(const std::string& text) {
    return std::regex_replace(text, std::regex("\r\n"), "\n");
}

// The clock value a download carries varies from run to run; tests take it from the output.
std::string field_after(const std::string& text, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(key + R"(\s*"?()" + kTime + ")"))) return "<no clock>";
    return m[1];
}

TEST_F(Cli, DownloadWritesEveryFormat) {
    const auto record = run({"download", "--format", "record"});
    ASSERT_EQ(record.exit_status, 0) << record.err;
    // The export record: header, then 32 characters per item (a longer barcode moves the rest).
    const std::regex record_shape(
        "V01001FA43C900B77E1H\\d{12}0006"
        "0014006381333931"
        "1320260102030405"
        "002A,B          12820261204081403"
        "003SAY \"HI\"     3920261204081540"
        "004C:\\\\TMP       0720261204090000"
        "00500340123450000001175128"
        "20261204104755"
        "006             3920261204150000");
    EXPECT_TRUE(std::regex_match(record.out, record_shape)) << record.out;

    const auto csv = run({"download", "--format", "csv"});
    ASSERT_EQ(csv.exit_status, 0) << csv.err;
    std::smatch clock;
    ASSERT_TRUE(std::regex_search(csv.out, clock, std::regex("," + kTime + "\r\n"))) << csv.out;
    const std::string c = clock.str().substr(0, clock.length() - 2);  // ",YYYY-MM-DD hh:mm:ss"
    EXPECT_EQ(csv.out,
              "item,barcode,type,scan_time,stamp_text,serial,scanner_clock\r\n"
              "1,4006381333931,13,2026-01-02 03:04:05,03:04:05   01/02/26,001FA43C900B77E1" +
                  c +
                  "\r\n"
                  "2,\"A,B\",128,2026-12-04 08:14:03,08:14:03   12/04/26,001FA43C900B77E1" +
                  c +
                  "\r\n"
                  "3,\"SAY \"\"HI\"\"\",39,2026-12-04 08:15:40,08:15:40   12/04/26,001FA43C900B77E1" +
                  c +
                  "\r\n"
                  "4,C:\\TMP,7,2026-12-04 09:00:00,09:00:00   12/04/26,001FA43C900B77E1" +
                  c +
                  "\r\n"
                  "5,00340123450000001175,128,2026-12-04 10:47:55,10:47:55   12/04/26,001FA43C900B77E1" +
                  c +
                  "\r\n"
                  "6,,39,2026-12-04 15:00:00,15:00:00   12/04/26,001FA43C900B77E1" +
                  c + "\r\n");

    const auto json = run({"download", "--format", "json"});
    ASSERT_EQ(json.exit_status, 0) << json.err;
    std::smatch iso, text;
    ASSERT_TRUE(std::regex_search(json.out, iso, std::regex(R"re("scanner_clock": "(\d{4}-\d\d-\d\dT[\d:]{8})")re")));
    ASSERT_TRUE(std::regex_search(json.out, text, std::regex(R"re("clock_text": "(\d{12})")re"))) << json.out;
    EXPECT_EQ(
        json.out,
        "{\n"
        "  \"serial\": \"001FA43C900B77E1\",\n"
        "  \"port\": 5,\n"
        "  \"scanner_clock\": \"" +
            iso[1].str() +
            "\",\n"
            "  \"clock_text\": \"" +
            text[1].str() +
            "\",\n"
            "  \"clock_flag\": \"H\",\n"
            "  \"count\": 6,\n"
            "  \"complete\": true,\n"
            "  \"barcodes\": [\n"
            "    {\"item\": 1, \"barcode\": \"4006381333931\", \"type\": 13, \"scan_time\": \"2026-01-02T03:04:05\", "
            "\"stamp_text\": \"03:04:05   01/02/26\"},\n"
            "    {\"item\": 2, \"barcode\": \"A,B\", \"type\": 128, \"scan_time\": \"2026-12-04T08:14:03\", "
            "\"stamp_text\": \"08:14:03   12/04/26\"},\n"
            "    {\"item\": 3, \"barcode\": \"SAY \\\"HI\\\"\", \"type\": 39, \"scan_time\": "
            "\"2026-12-04T08:15:40\", \"stamp_text\": \"08:15:40   12/04/26\"},\n"
            "    {\"item\": 4, \"barcode\": \"C:\\\\TMP\", \"type\": 7, \"scan_time\": \"2026-12-04T09:00:00\", "
            "\"stamp_text\": \"09:00:00   12/04/26\"},\n"
            "    {\"item\": 5, \"barcode\": \"00340123450000001175\", \"type\": 128, \"scan_time\": "
            "\"2026-12-04T10:47:55\", \"stamp_text\": \"10:47:55   12/04/26\"},\n"
            "    {\"item\": 6, \"barcode\": \"\", \"type\": 39, \"scan_time\": \"2026-12-04T15:00:00\", "
            "\"stamp_text\": \"15:00:00   12/04/26\"}\n"
            "  ]\n"
            "}\n");

    const auto table = run({"download", "--format", "table"});
    ASSERT_EQ(table.exit_status, 0) << table.err;
    const std::string t = field_after(table.out, "Scanner clock");
    EXPECT_EQ(table.out,
              "Serial number  001FA43C900B77E1\n"
              "Port           5\n"
              "Scanner clock  " +
                  t +
                  "\n"
                  "Barcodes       6\n"
                  "\n"
                  "Item  Barcode               Type  Scan time\n"
                  "   1  4006381333931           13  2026-01-02 03:04:05\n"
                  "   2  A,B                    128  2026-12-04 08:14:03\n"
                  "   3  SAY \"HI\"                39  2026-12-04 08:15:40\n"
                  "   4  C:\\TMP                   7  2026-12-04 09:00:00\n"
                  "   5  00340123450000001175   128  2026-12-04 10:47:55\n"
                  "   6                          39  2026-12-04 15:00:00\n");
    EXPECT_EQ(stored_barcodes(), kDeviceBarcodes) << "a download alone never empties";
}

TEST_F(Cli, DefaultFormatIsTheTableOnATerminalAndTheRecordElsewhere) {
    write_state("port = 2\nbarcode = EAN-8 2026-12-04 16:59:01 96385074\n");
    CliRun on_terminal;
    on_terminal.stdout_on_terminal = true;
    const auto shown = run({"download"}, on_terminal);
    EXPECT_EQ(shown.exit_status, 0) << shown.err;
    EXPECT_NE(
        crlf_to_lf(shown.terminal).find("Item  Barcode   Type  Scan time\n   1  96385074     8  2026-12-04 16:59:01\n"),
        std::string::npos)
        << shown.terminal;

    const auto piped = run({"download"});
    EXPECT_TRUE(std::regex_match(piped.out, std::regex(R"(V010{16}H\d{12}000100196385074     08\d{14})"))) << piped.out;
    const auto saved = run({"download", "--output", (dir / "saved.rec").string()});
    EXPECT_EQ(saved.exit_status, 0) << saved.err;
    EXPECT_TRUE(std::regex_match(read(dir / "saved.rec"), std::regex(R"(V01.{29}000100196385074     08\d{14})")));
}

TEST_F(Cli, EmptyAfterEmptiesOnceTheFileHoldsEveryBarcode) {
    const fs::path output = dir / "scans.json";
    const auto done = run({"download", "--format", "json", "--output", output.string(), "--empty-after"});
    EXPECT_EQ(done.exit_status, 0) << done.err;
    EXPECT_EQ(done.out.find("Saved 6 barcodes from scanner 001FA43C900B77E1 (port 5) in " + output.string()), 0u)
        << done.out;
    EXPECT_NE(done.out.find("Emptied the scanner on port 5: erased at try 1"), std::string::npos) << done.out;
    EXPECT_EQ(stored_barcodes(), 0);
    const std::string saved = read(output);
    EXPECT_NE(saved.find("\"count\": 6,\n  \"complete\": true"), std::string::npos) << saved;
    EXPECT_NE(saved.find("00340123450000001175"), std::string::npos);
    EXPECT_EQ(left_in_dir(), std::vector<std::string>{"scans.json"}) << "no temporary file stays behind";

    // An erase that fails: the file is saved, the scanner keeps everything, the exit says so.
    write_state(std::string(kDevice) + "fault_erase_failures = always\n");
    const auto kept = run({"download", "--output", (dir / "second.json").string(), "--empty-after"});
    EXPECT_EQ(kept.exit_status, 1);
    EXPECT_NE(kept.err.find("not emptied: the scanner answered, but every erase try failed"), std::string::npos)
        << kept.err;
    EXPECT_EQ(stored_barcodes(), kDeviceBarcodes);
    EXPECT_NE(read(dir / "second.json").find("\"count\": 6,\n  \"complete\": true"), std::string::npos);
}

TEST_F(Cli, EmptyAfterLeavesTheScannerAloneWhenTheFileCannotBeWritten) {
    fs::create_directory(dir / "a-folder");
    std::ofstream(dir / "earlier.csv") << "an earlier download\n";
    struct Case {
        const char* name;
        std::string output;
        std::vector<std::string> extra;
        std::optional<long> size_limit;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"folder missing", (dir / "missing" / "scans.csv").string(), {}, {}, platform_words().no_such_folder},
        {"folder nobody may write to", "/sys/harrowtally-scans.csv", {}, {}, "cannot create a file in /sys"},
        {"name of a folder", (dir / "a-folder").string(), {"--overwrite"}, {}, "is not an ordinary file"},
        {"a device that is full", "/dev/full", {"--overwrite"}, {}, "is not an ordinary file"},
        {"earlier file", (dir / "earlier.csv").string(), {}, {}, "already exists"},
        {"file size limit", (dir / "scans.csv").string(), {}, 4096, "File too large"},
    };
    // Large enough to pass the file size limit.
    write_state(std::string(kDevice) + "barcodes_generated = 300\n");
    for (const auto& c : cases) {
        if (not_for_this_program(c.name)) continue;
        std::vector<std::string> args = {"download", "--format", "csv", "--output", c.output, "--empty-after"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        CliRun options;
        options.file_size_limit = c.size_limit;
        const auto refused = run(args, options);
        EXPECT_EQ(refused.exit_status, 1) << c.name;
        EXPECT_NE(refused.err.find(c.reason), std::string::npos) << c.name << ": " << refused.err;
        EXPECT_EQ(refused.out.find("Emptied"), std::string::npos) << c.name << ": " << refused.out;
        EXPECT_EQ(stored_barcodes(), kDeviceBarcodes + 300) << c.name;
        EXPECT_EQ(left_in_dir(), (std::vector<std::string>{"a-folder", "earlier.csv"})) << c.name;
    }
    EXPECT_EQ(read(dir / "earlier.csv"), "an earlier download\n");
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "/dev/full is still the device";

    if (::geteuid() != 0) {  // root writes into read-only folders anyway
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        const auto read_only = run({"download", "--output", (dir / "scans.rec").string(), "--empty-after"});
        fs::permissions(dir, fs::perms::owner_all);
        EXPECT_EQ(read_only.exit_status, 1);
        EXPECT_NE(read_only.err.find("Permission denied"), std::string::npos) << read_only.err;
        EXPECT_EQ(stored_barcodes(), kDeviceBarcodes + 300);
    }
}

TEST_F(Cli, EmptyAfterRefusesADownloadThatMissedBarcodes) {
    struct Case {
        const char* fault;
        int exit_status;
        std::string says;
        bool file_written;
    };
    const std::vector<Case> cases = {
        {"fault_count = 10", 1, "not emptied: barcodes 7 to 10 were not downloaded", true},
        {"fault_packet_at = 4", 1, "not emptied: barcodes 4 to 6 were not downloaded", true},
        {"fault_stamp_text = no_slash", 1, "error 5: Invalid procedure call or argument\n", false},
        {"port = none", 1, "no scanner answered on ports 0 to 15; nothing was written", false},
        {"system_status = -3", 1, "the scanner on port 5 answered but reported status -3", false},
    };
    for (const auto& c : cases) {
        const fs::path output = dir / "scans.json";
        fs::remove(output);
        write_state(std::string(kDevice) + c.fault + "\n");
        const auto refused = run({"download", "--format", "json", "--output", output.string(), "--empty-after"});
        EXPECT_EQ(refused.exit_status, c.exit_status) << c.fault;
        EXPECT_NE(refused.err.find(c.says), std::string::npos) << c.fault << ": " << refused.err;
        EXPECT_EQ(stored_barcodes(), kDeviceBarcodes) << c.fault;
        EXPECT_EQ(fs::exists(output), c.file_written) << c.fault;
        if (c.file_written) {
            // What was read is kept, marked incomplete; the missing items are there as nulls.
            const std::string saved = read(output);
            EXPECT_NE(saved.find("\"complete\": false"), std::string::npos) << c.fault;
            EXPECT_NE(saved.find("\"barcode\": null, \"type\": null, \"scan_time\": null, \"stamp_text\": null"),
                      std::string::npos);
        }
    }
}

TEST_F(Cli, TableMarksBarcodesTheDownloadCouldNotRead) {
    write_state(std::string(kDevice) + "fault_packet_at = 5\n");
    const auto partial = run({"download", "--format", "table", "--port", "5"});
    EXPECT_EQ(partial.exit_status, 1);
    EXPECT_EQ(partial.err, "only 4 of 6 barcodes could be read: the download stopped at barcode 5\n");
    EXPECT_NE(partial.out.find("   4  C:\\TMP            7  2026-12-04 09:00:00\n"
                               "   5  (not read)\n"
                               "   6  (not read)\n"),
              std::string::npos)
        << partial.out;
}

TEST_F(Cli, ProgressOnlyOnATerminal) {
    write_state("port = 0\nbarcodes_generated = 3000\n");
    CliRun options;
    options.stderr_on_terminal = true;
    options.environment["TERM"] = "xterm";
    const auto shown = run({"download", "--format", "csv"}, options);
    EXPECT_EQ(shown.exit_status, 0);
    EXPECT_NE(shown.terminal.find("\rbarcode 1 of 3000"), std::string::npos) << shown.terminal;
    EXPECT_NE(shown.terminal.find("\rbarcode 3000 of 3000"), std::string::npos) << shown.terminal;
    EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 3001);
    EXPECT_NE(shown.terminal.find("\r\x1b[K"), std::string::npos) << "the line is taken away";

    // A terminal that takes no escape sequences gets the line taken away with blanks.
    for (const char* term : {"dumb", ""}) {
        options.environment["TERM"] = term;
        const auto dumb = run({"download", "--format", "csv"}, options);
        EXPECT_NE(dumb.terminal.find("\rbarcode 3000 of 3000\r                    \r"), std::string::npos)
            << term << ": " << dumb.terminal;
        EXPECT_EQ(dumb.terminal.find('\x1b'), std::string::npos) << term << ": " << dumb.terminal;
    }

    const auto quiet = run({"download", "--format", "csv"});
    EXPECT_EQ(quiet.exit_status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(Cli, EmptyNeedsDiscardForBarcodesNotSaved) {
    const auto refused = run({"empty"});
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_NE(refused.err.find("not emptied: the scanner on port 5 holds 6 barcodes that would be lost"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(stored_barcodes(), kDeviceBarcodes);

    const auto discarded = run({"--verbose", "empty", "--discard", "--port", "5"});
    EXPECT_EQ(discarded.exit_status, 0) << discarded.err;
    EXPECT_EQ(discarded.out, "Emptied the scanner on port 5: erased at try 1, 6 barcodes discarded.\n");
    EXPECT_TRUE(std::regex_search(
        discarded.err, std::regex(R"(\ncomponent: open_ok yes, empty_ok yes, log CLOK:01:OPOK:05\d{6}\*0:0\n$)")))
        << discarded.err;
    EXPECT_EQ(stored_barcodes(), 0);

    // An empty scanner needs no --discard; its clock is set on the way.
    const auto clock_set = run({"empty", "--set-clock", "000000010127"});
    EXPECT_EQ(clock_set.exit_status, 0) << clock_set.err;
    EXPECT_NE(clock_set.out.find("Clock set to 2027-01-01 00:00:00 (read back from the scanner)"), std::string::npos)
        << clock_set.out;
    const auto clock = run({"clock", "get", "--port", "5"});
    EXPECT_TRUE(std::regex_search(clock.out, std::regex("Scanner clock on port 5: 2027-01-01 00:00:0\\d")))
        << clock.out;
}

TEST_F(Cli, CommandsReportFailuresInOneLine) {
    write_state("port = 4\nbusy_ports = 4\nbarcode = EAN-8 2026-12-04 16:59:01 96385074\n");
    struct Case {
        std::vector<std::string> args;
        int exit_status;
        std::string err;
        long lines = 1;  // on standard error, when the exit status is 1
    };
    const std::vector<Case> cases = {
        {{"--library", "/nonexistent/libcsp2a.so", "download"}, 1, "error 53: File not found\n", 4},
        {{"--library", "/nonexistent/libcsp2a.so", "info"}, 1, "error 53: File not found\n", 4},
        {{"empty", "--port", "4"},
         1,
         "no scanner answered on ports 4 to 15 and 0 to 3 (port 4: the scanner library returned -2 on opening it)\n"},
        {{"clock", "get", "--port", "3"}, 1, "no clock read on port 3 (clock text 000000000000)\n"},
        {{"params", "show", "0107", "--port", "4"}, 1, "the scanner on port 4 did not answer\n"},
        {{"download", "--empty-after"}, 2, "harrowtally: download: --empty-after needs --output FILE"},
        {{"download", "--format", "xml"}, 2, "harrowtally: download: unknown format xml"},
        {{"empty", "--set-clock", "tomorrow"}, 2, "harrowtally: empty: --set-clock takes now or 12 digits"},
        {{"clock", "later"}, 2, "harrowtally: clock: unexpected argument later"},
        {{"params", "show"}, 2, "harrowtally: params show: the LIST is missing"},
    };
    for (const auto& c : cases) {
        const auto failed = run(c.args);
        EXPECT_EQ(failed.exit_status, c.exit_status) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(failed.err.find(c.err), 0u) << c.args[0] << " " << c.args[1] << ": " << failed.err;
        if (c.exit_status == 1) {
            EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), c.lines) << failed.err;
        }
    }
    EXPECT_EQ(stored_barcodes(), 1);
}

TEST_F(Cli, EveryCommandHasHelp) {
    for (const std::string command : {"download", "empty", "clock", "params", "info"}) {
        const auto help = run({command, "--help"});
        EXPECT_EQ(help.exit_status, 0) << command;
        EXPECT_EQ(help.out.find("usage: harrowtally " + command), 0u) << help.out;
        EXPECT_EQ(help.err, "") << command;
    }
}

TEST_F(Cli, ClockReadsAndSetsOnlyWhereTheComponentCan) {
    const auto behind = run({"clock"});
    EXPECT_EQ(behind.exit_status, 0) << behind.err;
    EXPECT_TRUE(std::regex_search(behind.out, std::regex("Scanner clock on port 5: " + kTime +
                                                         R"( \(clock text \d{12}\), 4[4-6] seconds behind)")))
        << behind.out;
    const auto refused = run({"clock", "set"});
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_NE(refused.err.find("clock not set: the scanner is on port 5"), std::string::npos) << refused.err;
    EXPECT_NE(state_text().find("clock_offset = -45"), std::string::npos);

    write_state("port = 0\nclock_offset = -3600\n");
    const auto set = run({"clock", "set", "--port", "0"});
    EXPECT_EQ(set.exit_status, 0) << set.err;
    EXPECT_EQ(
        set.out.rfind("Set the clock of the scanner on port 0 to this computer's time.\nScanner clock on port 0: ", 0),
        0u)
        << set.out;
    EXPECT_TRUE(std::regex_search(set.out, std::regex(R"(\), (the same as|[1-2] seconds? (behind|ahead of)) this)")))
        << set.out;
    EXPECT_EQ(state_text().find("clock_offset = -3600"), std::string::npos) << state_text();
}

TEST_F(Cli, ParamsShowAndApply) {
    const auto shown = run({"params", "show", "03073107"});
    EXPECT_EQ(shown.exit_status, 0) << shown.err;
    EXPECT_EQ(shown.out,
              "Parameters on port 5: 07 = 1, 31 = 200, 07 = 1\n"
              "Scanner: protocol 0x0, system status 0x0, software version SIM 2.14, ASCII mode 0x0, clock mode 0x0\n"
              "Report: 030701312000701:0x0:0x0:SIM 2.14\\x00\\x00:0x0:0x0\n");

    const auto refused = run({"params", "apply", "010501"});
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_NE(refused.err.find("not applied: applying a parameter set empties the scanner"), std::string::npos);
    EXPECT_EQ(stored_barcodes(), kDeviceBarcodes);

    const auto applied = run({"params", "apply", "010502", "--discard"});
    EXPECT_EQ(applied.exit_status, 0) << applied.err;
    EXPECT_EQ(applied.out.find("Emptied the scanner on port 5 (erased at try 1, 6 barcodes discarded), asked it to "
                               "restore its defaults and sent the set 010502.\nRead back: every parameter of the set "
                               "holds its value.\n"),
              0u)
        << applied.out;
    EXPECT_EQ(stored_barcodes(), 0);
    const std::string after = state_text();
    EXPECT_NE(after.find("param 5 = 2"), std::string::npos) << after;
    EXPECT_EQ(after.find("param 31 = 200"), std::string::npos) << "defaults restored";
}

TEST_F(Cli, InfoShowsInstallationAndVersion) {
    const auto info = run({"info"});
    EXPECT_EQ(info.exit_status, 0) << info.err;
    EXPECT_TRUE(std::regex_match(info.out, std::regex("hello: Clicker control successfully installed\n"
                                                      "data files in " +
                                                      quoted(platform_words().data_folder) +
                                                      ": \\d+\n"
                                                      "scanner library: .+" +
                                                      quoted(platform_words().library_name) +
                                                      "\n"
                                                      "scanner software version: SIM 2.14\n")))
        << info.out;
}

}  // namespace
}  // namespace harrowtally::testing
