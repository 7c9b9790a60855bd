// `ledger`: what `collect` recorded in a folder, the latest runs first, for whoever wonders which
// night failed and where a scanner's barcodes went.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "host/command_line/arg_reader.h"
#include "host/command_line/command.h"
#include "host/ledger/ledger.h"
#include "host/text/terminal_text.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally ledger --into FOLDER [--last N]\n"
    "Lists the latest runs of `collect` into FOLDER, newest first (20 without --last): when each\n"
    "began, the scanner and its port, how many barcodes it held, how many were saved and how many\n"
    "were saved before, the file, what became of the file and of the erase, and the run's words.\n"
    "Exit status: 0 listed; 1 FOLDER holds no ledger, or it cannot be read; 2 a mistake in the\n"
    "command line.\n";

}  // namespace

int run_ledger(const GlobalOptions&, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string into;
    int last = 20;
    ArgReader reader("ledger", args);
    while (reader.next()) {
        if (reader.is_option("--into")) {
            into = reader.value();
        } else if (reader.is_option("--last")) {
            const std::string value = reader.value();
            if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) == 0) {
                throw UsageError("ledger: --last takes a number of runs from 1 to 999999");
            }
            last = std::stoi(value);
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) {
        out << kHelp;
        return kExitOk;
    }
    if (into.empty()) throw UsageError("ledger: --into FOLDER is needed");
    const std::filesystem::path database = std::filesystem::path(std::u8string(into.begin(), into.end())) / "ledger.db";
    if (!std::filesystem::exists(database)) {
        err << "ledger: " << terminal_path(into) << " holds no ledger: collect has not run into it\n";
        return kExitFailed;
    }
    try {
        Ledger ledger(into);
        for (const LedgerRun& run : ledger.recent_runs(last)) {
            out << run.started << " " << (run.serial.empty() ? "-" : run.serial);
            if (run.port) out << " port " << *run.port;
            out << ": held " << run.held << ", saved " << run.saved << " (" << run.already << " before)";
            if (!run.file.empty()) out << ", " << terminal_path(run.file) << " " << run.file_state;
            out << ", erase " << run.erase << "; " << terminal_path(run.outcome) << "\n";
        }
    } catch (const DatabaseError& e) {
        err << "ledger: the ledger in " << terminal_path(into) << " cannot be read: " << e.what() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace harrowtally::host
