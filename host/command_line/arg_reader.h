#pragma once
// Reading a command's arguments: options (--name, --name VALUE, --name=VALUE) anywhere, the rest
// positional.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harrowtally::host {

// A port number given on the command line; throws UsageError.
std::int32_t parse_port(const std::string& command, const std::string& text);

// Whether an argument asks for help: --help or -h.
bool is_help_option(std::string_view arg);

// The words for an option of harrowtally itself given after the command word ("download:
// --verbose is an option of harrowtally itself: put it before the command word (...)"); empty when
// `arg` is none of them.
std::string misplaced_global_option(const std::string& command, std::string_view arg);

// Unknown options and an option given twice are usage errors. --help (or -h) anywhere among the
// arguments means help and nothing else: the walk ends before the first argument, so the command
// shows its help whatever else was given.
class ArgReader {
public:
    ArgReader(std::string command, const std::vector<std::string>& args);

    // The next argument; false at the end, or at once when help is asked. Sets option() when it is an option.
    bool next();
    bool help_asked() const { return help_asked_; }
    bool is_option(std::string_view name) const { return option_ == name; }
    bool is_positional() const { return option_.empty(); }
    const std::string& positional() const { return arg_; }
    // The option's value, from "--name=VALUE" or the next argument.
    std::string value();
    // The option's value as a port number; throws UsageError.
    std::int32_t port_value() { return parse_port(command_, value()); }
    [[noreturn]] void unknown() const;

private:
    std::string command_;
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    std::string arg_, option_;
    std::optional<std::string> inline_value_;
    std::vector<std::string> seen_;
    bool help_asked_ = false;
};

// Prints a command's help and gives its exit status.
int show_help(std::ostream& out, const char* help);

}  // namespace harrowtally::host
