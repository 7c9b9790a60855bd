#include "host/command_line/command_line.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "host/command_line/arg_reader.h"
#include "scanner/library_opener.h"

namespace harrowtally::host {
namespace {

const Command* find_command(std::string_view name) {
    for (const auto& command : commands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// The command a line asking for help names: its first word that is neither an option nor the value
// of --library, whatever mistakes the options hold. Null when there is none.
const Command* command_asked_about(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--library") {
            ++i;
        } else if (!args[i].starts_with("-")) {
            return find_command(args[i]);
        }
    }
    return nullptr;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    bool library_given = false;
    const auto once = [](bool& given, const std::string& option) {
        if (given) throw UsageError(option + " is given twice");
        given = true;
    };
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (is_help_option(arg)) {
            line.help = true;
            return line;
        }
        if (arg == "--typed") {
            once(line.options.typed, arg);
        } else if (arg == "--verbose") {
            once(line.options.verbose, arg);
        } else if (arg == "--library" || arg.starts_with("--library=")) {
            once(library_given, "--library");
            std::string file;
            if (arg == "--library") {
                if (i + 1 < args.size()) file = args[++i];
            } else {
                file = arg.substr(std::string_view("--library=").size());
            }
            if (file.empty()) throw UsageError("--library needs a file name");
            line.options.library = file;
        } else if (arg.starts_with("-")) {
            throw UsageError("unknown option " + arg);
        } else {
            break;
        }
    }
    if (i == args.size()) throw UsageError("no command given");
    line.command = args[i];
    line.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return line;
}

void print_usage(std::ostream& out) {
    out << "usage: harrowtally [--library PATH] [--typed] [--verbose] COMMAND ARG...\n"
           "commands:\n";
    for (const auto& command : commands()) out << "  " << command.name << " " << command.synopsis << "\n";
    out << "options:\n"
           "  --library PATH  the scanner library file to load instead of "
        << platform_library_name()
        << "\n"
           "  --typed         (invoke only) print each value as TypeName:value, control characters as \\xNN\n"
           "  --verbose       write each scanner library call as it happens, and at the end the\n"
           "                  component's trace (log) and flags, to standard error\n"
           "These options go before the command word; each command has --help.\n"
           "Output is UTF-8; the scanner's bytes are read as Windows-1252.\n";
}

void print_command_usage(std::ostream& out, const Command& command) {
    out << "usage: harrowtally [--library PATH] [--verbose] " << command.name << " " << command.synopsis << "\n"
        << "(harrowtally " << command.name << " --help tells more)\n";
}

int run_host(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Command* running = nullptr;
    try {
        // Help anywhere on the line is all that is done: the help of the command named, if any.
        if (std::any_of(args.begin(), args.end(), [](const std::string& arg) { return is_help_option(arg); })) {
            if (const Command* command = command_asked_about(args)) return command->run({}, {"--help"}, out, err);
            print_usage(out);
            return kExitOk;
        }
        const CommandLine line = parse_command_line(args);
        running = find_command(line.command);
        if (running == nullptr) throw UsageError("unknown command " + line.command);
        if (line.options.typed && std::string_view(running->name) != "invoke") {
            throw UsageError("--typed goes with invoke only, not with " + line.command);
        }
        return running->run(line.options, line.args, out, err);
    } catch (const UsageError& e) {
        err << "harrowtally: " << e.what() << "\n";
        if (running != nullptr) {
            print_command_usage(err, *running);
        } else {
            print_usage(err);
        }
        return kExitUsage;
    }
}

}  // namespace harrowtally::host
