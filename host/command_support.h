#pragma once
// What the commands for people share: reading their options, one Clicker over the real library,
// finding the scanner, and saying what happened in plain words.
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clicker/clicker.h"
#include "host/command.h"
#include "host/host_services.h"

namespace harrowtally::host {

// A port number given on the command line; throws UsageError.
std::int32_t parse_port(const std::string& command, const std::string& text);

// Walks a command's arguments: options (--name, --name VALUE, --name=VALUE) anywhere, the rest
// positional. Unknown options are usage errors. --help (or -h) ends the walk: the command shows its
// help whatever else was given after it.
class ArgReader {
public:
    ArgReader(std::string command, const std::vector<std::string>& args);

    // The next argument; false at the end or at --help. Sets option() when it is an option.
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
    bool help_asked_ = false;
};

// Prints a command's help and gives its exit status.
int show_help(std::ostream& out, const char* help);

// One Clicker over the scanner library the options name.
struct Session {
    explicit Session(const GlobalOptions& options) : host(options.library), clicker(host.services()) {}
    HostServices host;
    Clicker clicker;
};

// Runs body; a runtime error of a member is printed as "error N: text" on err and gives
// kExitFailed, as does running out of memory.
int with_runtime_errors(std::ostream& err, const std::function<int()>& body);

// Runs body with the Clicker of a Session over the options' library, under with_runtime_errors,
// so that a library that cannot be loaded is reported as well.
int with_clicker(const GlobalOptions& options, std::ostream& err, const std::function<int(Clicker&)>& body);

// The port search of open_clicker from `port` (port 0 when none is given). Prints why when no
// scanner answered and returns false; startport is left at the port found otherwise.
bool find_scanner(Clicker& clicker, std::optional<std::int32_t> port, std::ostream& err);

// "ports 0 to 15", "ports 5 to 15 and 0 to 4": what a search from `start` covers.
std::string searched_ports(std::int32_t start);

// Texts of the core for printing: UTF-8, characters below U+0020 shown as \xNN.
std::string printable(std::u16string_view text);
std::string utf8(const Variant& text);

// "yes" / "no".
const char* yes_no(bool value);

// What the trace of EmptyScanner says, in words: "erased at try 2", "the port did not open", ...
std::string empty_outcome(std::u16string_view log);

// A clock text (seconds, minutes, hours, day, month, two-digit year) as a date value; nullopt
// when its digits do not form a date and time.
std::optional<double> clock_text_value(std::u16string_view clock_text);
// A valid date value as "YYYY-MM-DD hh:mm:ss".
std::string date_value_text(double value);

// The clock text (seconds, minutes, hours, day, month, two-digit year) as "YYYY-MM-DD hh:mm:ss";
// nullopt when its digits do not form a date and time.
std::optional<std::string> clock_text_time(std::u16string_view clock_text);

// The clock text of the computer's local time, `ahead` from now.
std::u16string local_clock_text(std::chrono::seconds ahead = std::chrono::seconds(0));

}  // namespace harrowtally::host
