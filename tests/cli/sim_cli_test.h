#pragma once
// A folder of the test's own with a simulated scanner's state file in it, and harrowtally run
// against that scanner. What the scanner holds afterwards is read from the file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"

namespace harrowtally::testing {

class SimCliTest : public ::testing::Test {
protected:
    void SetUp() override {
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

}  // namespace harrowtally::testing
