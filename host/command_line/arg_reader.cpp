#include "host/command_line/arg_reader.h"

#include <algorithm>
#include <charconv>
#include <ostream>

#include "host/command_line/command.h"

namespace harrowtally::host {

namespace {

struct GlobalOption {
    const char* name;
    const char* as_written;  // with its value, as the usage writes it
};

constexpr GlobalOption kGlobalOptions[] = {
    {"--library", "--library PATH"}, {"--typed", "--typed"}, {"--verbose", "--verbose"}};

}  // namespace

bool is_help_option(std::string_view arg) {
    const std::string_view name = arg.substr(0, arg.find('='));
    return name == "--help" || name == "-h";
}

std::string misplaced_global_option(const std::string& command, std::string_view arg) {
    const std::string_view name = arg.substr(0, arg.find('='));
    for (const GlobalOption& option : kGlobalOptions) {
        if (name != option.name) continue;
        std::string words = command + ": " + option.name + " is an option of harrowtally itself";
        // --typed changes only what invoke prints.
        if (name == "--typed" && command != "invoke") return words + " and goes with invoke only";
        words += ": put it before the command word (harrowtally ";
        words += option.as_written;
        words += " " + command + " ...)";
        return words;
    }
    return {};
}

ArgReader::ArgReader(std::string command, const std::vector<std::string>& args)
    : command_(std::move(command)),
      args_(args),
      help_asked_(std::any_of(args.begin(), args.end(), [](const std::string& arg) { return is_help_option(arg); })) {}

bool ArgReader::next() {
    if (inline_value_) throw UsageError(command_ + ": " + option_ + " takes no value");
    if (help_asked_ || next_ == args_.size()) return false;
    arg_ = args_[next_++];
    option_.clear();
    inline_value_.reset();
    if (arg_.size() > 1 && arg_[0] == '-' && arg_ != "-") {
        const auto equals = arg_.find('=');
        option_ = arg_.substr(0, equals);
        // A repeated option would silently override the first: the user meant one of them.
        if (std::find(seen_.begin(), seen_.end(), option_) != seen_.end()) {
            throw UsageError(command_ + ": " + option_ + " is given twice");
        }
        seen_.push_back(option_);
        if (equals != std::string::npos) inline_value_ = arg_.substr(equals + 1);
    }
    return true;
}

std::string ArgReader::value() {
    if (inline_value_) {
        std::string v = std::move(*inline_value_);
        inline_value_.reset();
        return v;
    }
    if (next_ == args_.size()) throw UsageError(command_ + ": " + option_ + " needs a value");
    return args_[next_++];
}

void ArgReader::unknown() const {
    if (is_positional()) throw UsageError(command_ + ": unexpected argument " + arg_);
    if (std::string words = misplaced_global_option(command_, option_); !words.empty()) throw UsageError(words);
    throw UsageError(command_ + ": unknown option " + option_);
}

int show_help(std::ostream& out, const char* help) {
    out << help;
    return kExitOk;
}

std::int32_t parse_port(const std::string& command, const std::string& text) {
    std::int32_t port = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, port);
    if (text.empty() || ec != std::errc() || stop != end) {
        throw UsageError(command + ": --port needs a whole number, not \"" + text + "\"");
    }
    return port;
}

}  // namespace harrowtally::host
