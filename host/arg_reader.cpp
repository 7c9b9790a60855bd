#include "host/arg_reader.h"

#include <algorithm>
#include <charconv>
#include <ostream>

#include "host/command.h"

namespace harrowtally::host {

ArgReader::ArgReader(std::string command, const std::vector<std::string>& args)
    : command_(std::move(command)), args_(args) {}

bool ArgReader::next() {
    if (inline_value_) throw UsageError(command_ + ": " + option_ + " takes no value");
    if (next_ == args_.size()) return false;
    arg_ = args_[next_++];
    option_.clear();
    inline_value_.reset();
    if (arg_.size() > 1 && arg_[0] == '-' && arg_ != "-") {
        const auto equals = arg_.find('=');
        option_ = arg_.substr(0, equals);
        if (option_ == "-h") option_ = "--help";
        if (option_ == "--help") {
            help_asked_ = true;
            return false;
        }
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
