#pragma once
// The host's subcommands: `harrowtally [OPTION...] COMMAND ARG...`. Each command lives in its own
// file and has one entry in the table of command_table.cpp.
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace harrowtally::host {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // some member call failed
inline constexpr int kExitUsage = 2;

// Options given before the command word.
struct GlobalOptions {
    std::string library;   // scanner library file; empty: the default name and search
    bool typed = false;    // print values as TypeName:value
    bool verbose = false;  // trace every library call, then the component's trace and flags
};

// A mistake in the command line: reported with the usage text, exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command writes what it did to out and what failed to err.
using CommandFunction = int (*)(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                                std::ostream& err);

struct Command {
    const char* name;
    const char* synopsis;  // the arguments, for the usage text
    CommandFunction run;
};

std::span<const Command> commands();

// Commands.
int run_invoke(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
int run_download(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err);
int run_empty(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_clock(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_params(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
int run_collect(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err);
int run_ledger(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);
int run_info(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace harrowtally::host
