#include "cli_process.h"

#include "cli_target.h"

namespace harrowtally::testing {

namespace {

// Wine's own notices ("wine: Read access denied for device ..." where it cannot read a volume's
// label), which no harrowtally writes.
void drop_wine_notices(std::string& text) {
    for (auto at = text.find("wine: "); at != std::string::npos; at = text.find("wine: ", at)) {
        if (at != 0 && text[at - 1] != '\n') {
            ++at;
            continue;
        }
        const auto end = text.find('\n', at);
        text.erase(at, end == std::string::npos ? std::string::npos : end - at + 1);
    }
}

}  // namespace

CliResult run_cli(const CliRun& run) {
    std::vector<std::string> argv = cli_command(run.executable);
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    CliResult result = run_process_with(argv, run);
    if (testing_windows_program()) {
        drop_wine_notices(result.err);
        drop_wine_notices(result.terminal);
    }
    return result;
}

}  // namespace harrowtally::testing
