#pragma once
// A folder of the test's own with a simulated scanner's state file in it, and harrowtally run
// against that scanner. What the scanner holds afterwards is read from the file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "cli_target.h"

namespace harrowtally::testing {

class SimCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto why = not_for_this_program()) GTEST_SKIP() << *why;
        std::string pattern = (std::filesystem::temp_directory_path() / "harrowtally-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        state = dir / "device.txt";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir, ignored);
    }

    void write_state(const std::string& text) const { std::ofstream(state) << text; }
    std::string state_text() const { return read(state); }
    static std::string read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Barcodes the simulated scanner holds, from its state file.
    int stored_barcodes() const {
        std::istringstream in(state_text());
        int count = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("barcode =")) ++count;
            if (line.starts_with("barcodes_generated =")) count += std::stoi(line.substr(20));
        }
        return count;
    }

    CliResult run(std::vector<std::string> args, CliRun options = {}) const {
        options.args = std::move(args);
        options.environment["HARROWTALLY_SIM_STATE"] = state.string();
        return run_cli(options);
    }

    std::filesystem::path dir, state;
};

// A test parameter's name for a row of a table: its description with every character that is not
// a letter or digit as "_".
inline std::string case_name(std::string_view what) {
    std::string name;
    for (const char c : what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// A barcode line of the stand-in library's script: type, the barcode's bytes and the stamp text,
// escaped as the script has them.
inline std::string barcode(int type, const std::string& text, const std::string& stamp = "14:30:05   12/06/26") {
    return "barcode=" + std::to_string(type) + "," + text + "," + stamp + "\n";
}

// harrowtally against the stand-in scanner library, staged by a script, with its call log.
class ScriptedCliTest : public SimCliTest {
protected:
    CliResult run_script(const std::string& script, std::vector<std::string> args, CliRun options = {}) const {
        std::ofstream(dir / "script.txt") << script;
        options.args = {"--library", stand_in_library()};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.environment["HARROWTALLY_TEST_SCANNER_SCRIPT"] = (dir / "script.txt").string();
        options.environment["HARROWTALLY_TEST_SCANNER_CALLS"] = (dir / "calls.txt").string();
        options.environment["HARROWTALLY_TEST_SCANNER_WATCH"] = watched.string();
        std::filesystem::remove(dir / "calls.txt");
        return run_cli(options);
    }
    // The library's calls in order, without their results.
    std::vector<std::string> calls() const {
        std::vector<std::string> names;
        std::istringstream in(read(dir / "calls.txt"));
        for (std::string line; std::getline(in, line);) names.push_back(line.substr(0, line.find(" = ")));
        return names;
    }
    long erases() const {
        const auto all = calls();
        return std::count(all.begin(), all.end(), "csp2ClearData()");
    }
    std::filesystem::path watched;
};

}  // namespace harrowtally::testing
