// What hostile users and seeded faults found at the download's edges: output names, standard
// output, a lost clock, the JSON members, parameters 90 to 99, and signals during a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;
using DownloadEdges = ScriptedCliTest;

const std::string kTwo = barcode(10, "12345670") + barcode(3, "ABC-42");
const std::string kCsvHeaderLine = "item,barcode,type,scan_time,stamp_text,serial,scanner_clock\r\n";

// Each output name either is refused before any scanner call, or gives a file of that name.
TEST_F(DownloadEdges, OutputNames) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exit_status;
        std::string says;  // on standard error; empty: nothing
        std::string file;  // the file written; empty: none
        bool scanner_touched;
    };
    const std::string d = dir.string() + "/";
    const std::string too_long(256, 'n');
    const std::vector<Case> cases = {
        {"a name that is all extension", {"--output", d + ".csv"}, 2, "cannot be told from its extension", "", false},
        {"the same with --format", {"--output", d + ".csv", "--format", "csv"}, 0, "", ".csv", true},
        {"a name longer than the folder allows",
         {"--output", d + too_long + ".csv"},
         1,
         "has 260 " + platform_words().name_length_unit + ", and a file name in",
         "",
         false},
        {"standard output by name", {"--output", "-", "--format", "csv"}, 0, "", "", true},
        {"standard output cannot be read back",
         {"--output", "-", "--empty-after"},
         2,
         "--empty-after needs --output FILE, not standard output",
         "",
         false},
        {"nothing to overwrite on standard output",
         {"--output", "-", "--overwrite"},
         2,
         "--overwrite goes with --output FILE",
         "",
         false},
        {"a symbolic link", {"--output", d + "link.csv"}, 1, "is a symbolic link", "", false},
    };
    fs::create_symlink(dir / "elsewhere.csv", dir / "link.csv");
    for (const Case& c : cases) {
        if (not_for_this_program(c.what)) continue;
        std::vector<std::string> args = {"download"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto result = run_script(kTwo, args);
        EXPECT_EQ(result.exit_status, c.exit_status) << c.what << "\n" << result.err;
        if (!c.says.empty()) {
            EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << "\n" << result.err;
        }
        EXPECT_EQ(!calls().empty(), c.scanner_touched) << c.what;
        if (!c.file.empty()) {
            EXPECT_EQ(read(dir / c.file).rfind(kCsvHeaderLine, 0), 0u) << c.what;
        }
        if (c.args[1] == "-" && c.exit_status == 0) {
            EXPECT_EQ(result.out.rfind(kCsvHeaderLine, 0), 0u) << result.out;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "elsewhere.csv")) << "nothing is written through a link";
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << entry.path();
    }
}

// A clock whose first byte is 255 is lost, whatever the other five bytes say.
TEST_F(DownloadEdges, AClockWithFirstByte255IsLost) {
    const std::string script = kTwo + "clock=255,30,14,6,12,26\n";
    const auto table = run_script(script, {"download", "--format", "table"});
    EXPECT_NE(table.out.find("Scanner clock  lost (not set)\n"), std::string::npos) << table.out;
    const auto csv = run_script(script, {"download", "--format", "csv"});
    EXPECT_NE(csv.out.find("\r\n1,12345670,10,2026-12-06 14:30:05,14:30:05   12/06/26,123456789ABCDEF0,\r\n"),
              std::string::npos)
        << csv.out;
    const auto json = run_script(script, {"download", "--format", "json"});
    EXPECT_NE(json.out.find("\"scanner_clock\": null,\n  \"clock_text\": \"003014061226\",\n  \"clock_flag\": \"L\""),
              std::string::npos)
        << json.out;
}

// Data shown on a terminal cannot drive it: a label's escape sequence arrives as \xNN.
TEST_F(DownloadEdges, DataOnATerminalCannotDriveIt) {
    const std::string script = barcode(10, "A\\x1B]0;X\\x07\\x9D2J") + barcode(3, "ABC-42");
    const std::vector<std::vector<std::string>> commands = {
        {"download", "--format", "csv"}, {"download", "--format", "record"}, {"invoke", "alldata"}};
    for (const auto& args : commands) {
        CliRun options;
        options.stdout_on_terminal = true;
        const auto shown = run_script(script, args, options);
        EXPECT_EQ(shown.exit_status, 0) << args[0];
        EXPECT_NE(shown.terminal.find("A\\x1B]0;X\\x07\\x9D2J"), std::string::npos) << shown.terminal;
        EXPECT_EQ(shown.terminal.find('\x1b'), std::string::npos) << shown.terminal;
    }
}

// download --help names every member the JSON output has.
TEST_F(DownloadEdges, HelpNamesEveryJsonMember) {
    const auto json = run_script(kTwo, {"download", "--format", "json"});
    const auto help = run_script(kTwo, {"download", "--help"});
    ASSERT_EQ(help.exit_status, 0);
    const std::regex member("\"([a-z_]+)\":");
    int members = 0;
    for (auto m = std::sregex_iterator(json.out.begin(), json.out.end(), member); m != std::sregex_iterator(); ++m) {
        ++members;
        EXPECT_NE(help.out.find((*m)[1].str()), std::string::npos) << (*m)[1];
    }
    EXPECT_GT(members, 12);
}

// Parameters 90 to 99 are read as the two-digit numbers they are.
TEST_F(DownloadEdges, ParametersNinetyToNinetyNine) {
    std::string device = "port = 3\n", list = "10", expected = "Parameters on port 3: ";
    for (int n = 90; n <= 99; ++n) {
        device += "param " + std::to_string(n) + " = " + std::to_string(n - 80) + "\n";
        list += std::to_string(n);
        expected += (n == 90 ? "" : ", ") + std::to_string(n) + " = " + std::to_string(n - 80);
    }
    write_state(device);
    const auto shown = run({"params", "show", list, "--port", "3"});
    EXPECT_EQ(shown.exit_status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind(expected + "\n", 0), 0u) << shown.out;
}

// A signal during a run: the part file goes, nothing is erased, and the process ends by the
// signal. Sent while the part file exists (the download), and once the file took its name (the
// settling pause before the erase).
TEST_F(DownloadEdges, ASignalStopsTheRunWithoutErasing) {
    write_state("port = 3\nbarcodes_generated = 32767\n");
    const fs::path output = dir / "scans.csv";
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const bool renamed : {false, true}) {
            const std::string what = std::string(strsignal(signal)) + (renamed ? " in the pause" : " in the download");
            fs::remove(output);
            CliRun options;
            options.args = {"download", "--output", output.string(), "--empty-after"};
            options.environment["HARROWTALLY_SIM_STATE"] = state.string();
            options.while_running = [&](int pid) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                const auto ready = [&] {
                    if (renamed) return fs::exists(output);
                    for (const auto& entry : fs::directory_iterator(dir)) {
                        if (entry.path().filename().string().find(".part-") != std::string::npos) return true;
                    }
                    return false;
                };
                while (!ready() && std::chrono::steady_clock::now() < until) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                ::kill(pid, signal);
            };
            const auto result = run_cli(options);
            EXPECT_EQ(result.signal, signal) << what << "\n" << result.err;
            EXPECT_EQ(stored_barcodes(), 32767) << what;
            for (const auto& entry : fs::directory_iterator(dir)) {
                EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << what;
            }
            // A file under the name is whole: the header and every barcode.
            if (renamed || fs::exists(output)) {
                const std::string saved = read(output);
                EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 32768) << what;
            }
        }
    }
}

// The usage line shown after a mistake, and the help, name every format --format takes: a format
// left out of them is one nobody finds.
TEST_F(DownloadEdges, UsageAndHelpNameEveryFormat) {
    const auto mistake = run({"download", "--format", "nosuch"});
    const auto help = run({"download", "--help"});
    EXPECT_EQ(mistake.exit_status, 2);
    EXPECT_NE(mistake.err.find("[--format table|record|csv|json|xlsx]"), std::string::npos) << mistake.err;
    EXPECT_EQ(help.exit_status, 0);
    for (const char* format : {"table", "record", "csv", "json", "xlsx"}) {
        EXPECT_NE(run({"download", "--format", format, "--help"}).exit_status, 2) << format;
        EXPECT_NE(help.out.find(format), std::string::npos) << format;
    }
}

}  // namespace
}  // namespace harrowtally::testing
