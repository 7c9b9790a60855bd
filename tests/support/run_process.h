#pragma once
// Runs a program to its end with a chosen environment and collects what it printed, optionally with
// a file size limit or with its standard output or standard error on a terminal.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace harrowtally::testing {

// The exit status of a child that a sanitizer stopped, or whose leaks it found at exit. The
// sanitizers' own default is 1, which a program under test also uses for its own failures; the
// child is told to use this status instead, so that a report can never pass for an ordinary exit.
inline constexpr int kSanitizerExitStatus = 86;

struct ProcessResult {
    int exit_status = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
    std::string terminal;                    // what went to a terminal, instead of `out` or `err`
    std::vector<std::string> lines() const;  // stdout split at newlines
    int signal = 0;                          // the signal that ended it, when one did
};

struct ProcessOptions {
    // Variables to set (a value) or remove (nullopt) relative to this process's. The sanitizer
    // options of the child get exitcode=kSanitizerExitStatus added last.
    std::map<std::string, std::optional<std::string>> environment;
    std::optional<long> file_size_limit;  // RLIMIT_FSIZE in bytes
    bool stdout_on_terminal = false;
    bool stderr_on_terminal = false;
    // Called with everything the terminal has shown so far, each time more arrives.
    std::function<void(const std::string&)> on_terminal_output;
    // Standard output to this file (such as /dev/full) instead of being collected.
    std::optional<std::string> stdout_file;
    // Standard output to a pipe whose reader has gone away before the child starts, with SIGPIPE at
    // its default action in the child, as after `| head -1`.
    bool stdout_reader_gone = false;
    // Called with the child's process ID once it runs, before its end is awaited (to signal it).
    std::function<void(int pid)> while_running;
};

ProcessResult run_process_with(const std::vector<std::string>& argv, const ProcessOptions& options);

inline ProcessResult run_process(const std::vector<std::string>& argv,
                                 const std::map<std::string, std::optional<std::string>>& environment = {}) {
    ProcessOptions options;
    options.environment = environment;
    return run_process_with(argv, options);
}

}  // namespace harrowtally::testing
