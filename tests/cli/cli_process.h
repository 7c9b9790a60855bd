#pragma once
// Runs harrowtally as a separate process with a chosen environment, optionally with a file size
// limit or with its standard output or standard error on a terminal.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace harrowtally::testing {

struct CliRun {
    std::vector<std::string> args;           // after the executable
    std::map<std::string, std::string> env;  // set in the child
    std::optional<long> file_size_limit;     // RLIMIT_FSIZE in bytes
    bool stdout_on_terminal = false;
    bool stderr_on_terminal = false;
    // Called with everything the terminal has shown so far, each time more arrives.
    std::function<void(const std::string&)> on_terminal_output;
};

struct CliResult {
    int exit_status = -1;  // -1 when it did not exit normally
    std::string out, err;  // what went to a terminal is in `terminal` instead
    std::string terminal;
};

CliResult run_cli(const CliRun& run);

}  // namespace harrowtally::testing
