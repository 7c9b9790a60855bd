#include "host/command_line.h"

#include <ostream>
#include <string_view>

namespace harrowtally::host {

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            return line;
        }
        if (arg == "--typed") {
            line.options.typed = true;
        } else if (arg == "--library" || arg.starts_with("--library=")) {
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
    out << "usage: harrowtally [--library PATH] [--typed] COMMAND ARG...\n"
           "commands:\n";
    for (const auto& command : commands()) out << "  " << command.name << " " << command.synopsis << "\n";
    out << "options:\n"
           "  --library PATH  the scanner library file to load instead of libcsp2a.so\n"
           "  --typed         print each value as TypeName:value, control characters as \\xNN\n";
}

int run_host(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const CommandLine line = parse_command_line(args);
        if (line.help) {
            print_usage(out);
            return kExitOk;
        }
        for (const auto& command : commands()) {
            if (line.command == command.name) return command.run(line.options, line.args, out, err);
        }
        throw UsageError("unknown command " + line.command);
    } catch (const UsageError& e) {
        err << "harrowtally: " << e.what() << "\n";
        print_usage(err);
        return kExitUsage;
    }
}

}  // namespace harrowtally::host
