#pragma once
// Runs harrowtally as a separate process with a chosen environment, optionally with a file size
// limit or with its standard output or standard error on a terminal.
#include <string>
#include <vector>

#include "support/run_process.h"

namespace harrowtally::testing {

struct CliRun : ProcessOptions {
    std::vector<std::string> args;  // after the executable
    std::string executable;         // a copy of harrowtally elsewhere; empty: the one built
};

using CliResult = ProcessResult;

CliResult run_cli(const CliRun& run);

}  // namespace harrowtally::testing
