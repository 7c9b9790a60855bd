#include "cli_process.h"

namespace harrowtally::testing {

CliResult run_cli(const CliRun& run) {
    std::vector<std::string> argv = {run.executable.empty() ? std::string(HARROWTALLY_EXE) : run.executable};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    return run_process_with(argv, run);
}

}  // namespace harrowtally::testing
