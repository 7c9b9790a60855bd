// collect over several nights with the simulated scanner: whatever fails on the way, every barcode
// the scanner held ends up in exactly one file of the folder, and each night says how it went.
#include <signal.h>

#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim_cli_test.h"

namespace harrowtally::testing {
namespace {

namespace fs = std::filesystem;

const char* const kScanner =
    "port = 3\n"
    "device_id = 1A 2B 3C 4D 5E 6F 70 81\n"
    "barcode = 10 2026-12-06 14:30:05 12345670\n"
    "barcode = 3 2026-12-06 14:31:17 ABC-42\n";

// One night: lines added to the scanner's state first, then the exit status and words expected.
struct Night {
    std::string change;
    int exit_status;
    std::string words;
};

struct CollectCase {
    const char* name;
    std::vector<Night> nights;
    std::vector<std::string> saved;  // every barcode in the folder's files, with the file's serial
};

class Collect : public SimCliTest, public ::testing::WithParamInterface<CollectCase> {
protected:
    // "serial barcode" for each row of every CSV file of the folder, sorted.
    std::vector<std::string> saved_rows() const {
        std::vector<std::string> rows;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "scans")) {
            if (entry.path().extension() != ".csv") continue;
            std::istringstream in(read(entry.path()));
            std::string line;
            std::getline(in, line);  // the header
            while (std::getline(in, line)) {
                std::vector<std::string> field;
                std::istringstream cells(line);
                for (std::string cell; std::getline(cells, cell, ',');) field.push_back(cell);
                if (field.size() >= 6 && !field[1].empty()) rows.push_back(field[5] + " " + field[1]);
            }
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

TEST_P(Collect, EveryBarcodeIsSavedOnce) {
    const CollectCase& c = GetParam();
    write_state(kScanner);
    int night = 0;
    for (const Night& n : c.nights) {
        ++night;
        std::ofstream(state, std::ios::app) << n.change;
        const CliResult r = run({"collect", "--into", (dir / "scans").string(), "--format", "csv"});
        EXPECT_EQ(r.exit_status, n.exit_status) << "night " << night << ": " << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(n.words), std::string::npos) << "night " << night << ": " << r.out << r.err;
        EXPECT_NE(read(dir / "scans" / "collect.log").find(n.words), std::string::npos) << "night " << night;
    }
    std::vector<std::string> expected = c.saved;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(saved_rows(), expected);
    // The ledger lists every night, the last first, with its words.
    const CliResult listed = run({"ledger", "--into", (dir / "scans").string()});
    EXPECT_EQ(listed.exit_status, 0) << listed.err;
    ASSERT_EQ(listed.lines().size(), c.nights.size()) << listed.out;
    EXPECT_NE(listed.lines().front().find(c.nights.back().words), std::string::npos) << listed.out;
}

const std::string kFirst = "1A2B3C4D5E6F7081 12345670";
const std::string kSecond = "1A2B3C4D5E6F7081 ABC-42";

INSTANTIATE_TEST_SUITE_P(
    Cli, Collect,
    ::testing::Values(
        CollectCase{"SavedAndEmptiedThenEmpty", {{"", 0, "saved 2 barcodes in"}, {"", 0, "empty"}}, {kFirst, kSecond}},
        CollectCase{"EraseFailsTwiceThenANewBarcode",
                    {{"fault_erase_failures = always\n", 4, "every erase try failed"},
                     {"", 4, "nothing new (2 saved before)"},
                     {"fault_erase_failures = 0\nbarcode = 10 2026-12-07 10:00:00 77777\n", 0,
                      "saved 1 barcode in 1A2B3C4D5E6F7081-"}},
                    {kFirst, kSecond, "1A2B3C4D5E6F7081 77777"}},
        CollectCase{"AnUnreadablePacketThenAWholeDownload",
                    {{"fault_packet_at = 2\n", 4, "-incomplete.csv; not emptied"},
                     {"fault_packet_at = 1000\n", 0, "saved 1 barcode in"}},
                    {kFirst, kSecond}},
        CollectCase{"AnotherScannerWithTheSameBarcodes",
                    {{"fault_erase_failures = always\n", 4, "not emptied"},
                     {"device_id = 11 22 33 44 55 66 77 88\nfault_erase_failures = 0\n", 0, "saved 2 barcodes"}},
                    {kFirst, kSecond, "1122334455667788 12345670", "1122334455667788 ABC-42"}},
        CollectCase{"NoScanner", {{"port = none\n", 3, "no scanner answered"}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A log that cannot be written fails the night, though the scanner was saved and emptied.
TEST_F(SimCliTest, CollectWithAnUnwritableLogFails) {
    write_state(kScanner);
    std::filesystem::create_directories(dir / "scans" / "collect.log");
    const CliResult r = run({"collect", "--into", (dir / "scans").string()});
    EXPECT_EQ(r.exit_status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("collect.log could not be written"), std::string::npos) << r.err;
}

// A run killed or stopped while the file is written, or once it has its name, loses nothing and
// saves nothing twice: the next run saves what is not saved and empties the scanner.
TEST_F(SimCliTest, CollectStoppedAtAnyStepSavesEachBarcodeOnce) {
    const fs::path scans = dir / "scans";
    for (const int signal : {SIGKILL, SIGINT}) {
        for (const bool named : {false, true}) {
            const std::string what = std::string(strsignal(signal)) + (named ? " once named" : " while written");
            fs::remove_all(scans);
            write_state("port = 3\ndevice_id = 1A 2B 3C 4D 5E 6F 70 81\nbarcodes_generated = 3000\n");
            CliRun options;
            options.while_running = [&](int pid) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                const auto ready = [&] {
                    if (!fs::exists(scans)) return false;
                    for (const auto& entry : fs::directory_iterator(scans)) {
                        const std::string name = entry.path().filename().string();
                        if (named ? entry.path().extension() == ".csv" : name.find(".part-") != std::string::npos)
                            return true;
                    }
                    return false;
                };
                while (!ready() && std::chrono::steady_clock::now() < until) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                ::kill(pid, signal);
            };
            const std::vector<std::string> args = {"collect", "--into", scans.string(), "--format", "csv"};
            const CliResult stopped = run(args, options);
            EXPECT_EQ(stopped.signal, signal) << what << stopped.err;
            const CliResult next = run(args);
            EXPECT_EQ(next.exit_status, 0) << what << next.out << next.err;
            std::vector<int> items;
            for (const auto& entry : fs::directory_iterator(scans)) {
                if (entry.path().extension() != ".csv") continue;
                std::istringstream in(read(entry.path()));
                std::string line;
                std::getline(in, line);
                while (std::getline(in, line)) items.push_back(std::stoi(line));
            }
            std::sort(items.begin(), items.end());
            EXPECT_EQ(items.size(), 3000u) << what;
            EXPECT_EQ(std::adjacent_find(items.begin(), items.end()), items.end()) << what << ": an item saved twice";
            EXPECT_EQ(stored_barcodes(), 0) << what;
        }
    }
}

// --watch collects each docking once, whichever scanner it is, and says once that an emptied
// scanner left in its cradle is empty; a signal stops it.
TEST_F(SimCliTest, CollectWatchCollectsEachDockingOnce) {
    write_state(std::string(kScanner) + "docked = no\n");
    const std::filesystem::path log = dir / "scans" / "collect.log";
    const auto count_in_log = [&](const std::string& words) {
        const std::string text = read(log);
        int n = 0;
        for (auto at = text.find(words); at != std::string::npos; at = text.find(words, at + 1)) ++n;
        return n;
    };
    const auto wait_for = [&](const std::string& words, int times) {
        for (int tries = 0; tries < 300 && count_in_log(words) < times; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return count_in_log(words) >= times;
    };
    const auto set_state = [&](const std::string& from, const std::string& to) {
        std::string text = state_text();
        text.replace(text.find(from), from.size(), to);
        write_state(text);
    };
    CliRun options;
    options.while_running = [&](int pid) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        EXPECT_FALSE(std::filesystem::exists(log)) << "a scanner out of its cradle was collected";
        set_state("docked = no", "docked = yes");
        EXPECT_TRUE(wait_for("saved 2 barcodes", 1));
        EXPECT_TRUE(wait_for("1A2B3C4D5E6F7081 port 3: empty", 1));
        // Another scanner takes its place in the cradle.
        set_state("device_id = 1A 2B 3C 4D 5E 6F 70 81",
                  "device_id = 11 22 33 44 55 66 77 88\nbarcode = 3 2026-12-07 09:00:00 B-7");
        EXPECT_TRUE(wait_for("1122334455667788 port 3: saved 1 barcode", 1));
        EXPECT_TRUE(wait_for("1122334455667788 port 3: empty", 1));
        std::this_thread::sleep_for(std::chrono::seconds(5));
        ::kill(pid, SIGINT);
    };
    const CliResult r = run({"collect", "--into", (dir / "scans").string(), "--format", "csv", "--watch"}, options);
    EXPECT_EQ(r.signal, SIGINT) << r.exit_status << r.err;
    EXPECT_EQ(count_in_log(": empty"), 2) << read(log);
    EXPECT_EQ(count_in_log("saved"), 2) << read(log);
}

}  // namespace
}  // namespace harrowtally::testing
