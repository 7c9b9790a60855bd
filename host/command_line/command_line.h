#pragma once
// Reading the command line and running the command it names.
#include <iosfwd>
#include <string>
#include <vector>

#include "host/command_line/command.h"

namespace harrowtally::host {

struct CommandLine {
    GlobalOptions options;
    bool help = false;
    std::string command;
    std::vector<std::string> args;
};

// Options come before the command word; throws UsageError.
CommandLine parse_command_line(const std::vector<std::string>& args);

// The usage of every command; of one command, after a mistake in its arguments.
void print_usage(std::ostream& out);
void print_command_usage(std::ostream& out, const Command& command);

// The whole host: returns the exit status.
int run_host(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace harrowtally::host
