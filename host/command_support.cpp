#include "host/command_support.h"

#include <charconv>
#include <cstdio>
#include <new>
#include <ostream>

#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"

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

int with_runtime_errors(std::ostream& err, const std::function<int()>& body) {
    int number = 0;
    try {
        return body();
    } catch (const RuntimeError& e) {
        number = e.number();
    } catch (const std::bad_alloc&) {
        number = err::out_of_memory;
    }
    err << "error " << number << ": " << standard_error_text(number) << "\n";
    return kExitFailed;
}

int with_clicker(const GlobalOptions& options, std::ostream& err, const std::function<int(Clicker&)>& body) {
    return with_runtime_errors(err, [&] {
        Session session(options);
        return body(session.clicker);
    });
}

std::string searched_ports(std::int32_t start) {
    constexpr std::int32_t ports = 16;
    if (start == 0) return "ports 0 to 15";
    if (start > 0 && start < ports) {
        return "ports " + std::to_string(start) + " to 15 and 0 to " + std::to_string(start - 1);
    }
    return "ports " + std::to_string(start) + " to " + std::to_string(static_cast<std::int64_t>(start) + ports - 1);
}

bool find_scanner(Clicker& clicker, std::optional<std::int32_t> port, std::ostream& err) {
    if (port) clicker.let_startport(Variant::long_(*port));
    clicker.open_clicker();
    if (!clicker.open_ok()) {
        err << "no scanner answered on " << searched_ports(port.value_or(0)) << " (log " << utf8(clicker.log())
            << ")\n";
        return false;
    }
    clicker.let_startport(Variant::integer(clicker.comport()));
    return true;
}

std::string printable(std::u16string_view text) {
    std::u16string plain;
    std::string out;
    for (char16_t c : text) {
        if (c < u' ') {
            out += to_utf8(plain);
            plain.clear();
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            out += escape;
        } else {
            plain.push_back(c);
        }
    }
    return out + to_utf8(plain);
}

std::string utf8(const Variant& text) {
    return text.type() == VarType::String ? printable(text.as_string()) : std::string();
}

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string empty_outcome(std::u16string_view log) {
    if (log.starts_with(u"CLOK:")) {
        const auto colon = log.find(u':', 5);
        const auto tries = log.substr(5, colon == std::u16string_view::npos ? 0 : colon - 5);
        return "erased at try " + std::to_string(std::stoi(to_utf8(tries)));
    }
    if (log.starts_with(u"OPOK")) return "the scanner answered, but every erase try failed";
    if (log.starts_with(u"OPNG")) return "the scanner answered with a negative count or status";
    if (log.starts_with(u"OPNP")) return "the port did not open";
    if (log.starts_with(u"ENSP")) return "no port was given";
    return "unknown outcome";
}

std::optional<double> clock_text_value(std::u16string_view clock_text) {
    if (clock_text.size() != 12) return std::nullopt;
    int field[6] = {};
    for (int k = 0; k < 6; ++k) {
        const char16_t tens = clock_text[2 * k], ones = clock_text[2 * k + 1];
        if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9') return std::nullopt;
        field[k] = (tens - u'0') * 10 + (ones - u'0');
    }
    const int year = expand_two_digit_year(field[5]);
    if (!is_valid_date(year, field[4], field[3]) || !is_valid_time(field[2], field[1], field[0])) return std::nullopt;
    return date_serial(year, field[4], field[3]) + time_serial(field[2], field[1], field[0]);
}

std::string date_value_text(double value) {
    const DateTimeParts p = split_date(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

std::optional<std::string> clock_text_time(std::u16string_view clock_text) {
    const auto value = clock_text_value(clock_text);
    if (!value) return std::nullopt;
    return date_value_text(*value);
}

std::u16string local_clock_text(std::chrono::seconds ahead) {
    SystemClock clock;
    const LocalDateTime t = clock.local_now();
    const double value = date_serial(t.year, t.month, t.day) + time_serial(t.hour, t.minute, t.second) +
                         static_cast<double>(ahead.count()) / 86400;
    const DateTimeParts p = split_date(value);
    const int fields[6] = {p.second, p.minute, p.hour, p.day, p.month, p.year % 100};
    std::u16string text;
    for (int field : fields) {
        text += static_cast<char16_t>(u'0' + field / 10);
        text += static_cast<char16_t>(u'0' + field % 10);
    }
    return text;
}

}  // namespace harrowtally::host
