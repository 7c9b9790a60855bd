// `clock get`: getdate on the scanner's port. `clock set`: setdate, which addresses port 0 only,
// then getdate to see whether the clock took the computer's time.
#include <cmath>
#include <optional>
#include <ostream>
#include <sstream>

#include "common/clock_text.h"
#include "common/text.h"
#include "host/command_line/arg_reader.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/text/value_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally clock [get|set] [--port N]\n"
    "  get  reads the scanner's clock (the default)\n"
    "  set  sets the scanner's clock to this computer's local time; the component sets clocks on\n"
    "       port 0 only, so a scanner on another port is refused (`harrowtally empty --set-clock now`\n"
    "       sets the clock while emptying)\n"
    "  --port N  the port the clock is read on, exactly (without it: the scanner is first searched\n"
    "            for on ports 0 to 15, which takes a download's time)\n"
    "Exit status: 0 done; 1 no scanner, no clock read, a clock that did not take the time or could\n"
    "not be read back, or an error; 2 a mistake in the command line.\n";

// A clock read further from the computer's than this did not take the time.
constexpr double kSetTolerance = 5;

double local_now_value() {
    SystemClock clock;
    return date_value_of(clock.local_now());
}

// Reads the clock with getdate; prints it. False when nothing readable came back.
bool read_clock(Clicker& clicker, std::int32_t port, std::ostream& out, std::ostream& err,
                std::optional<double>* difference = nullptr) {
    clicker.let_startport(Variant::long_(port));
    clicker.getdate();
    const std::u16string text = clicker.clock_text();
    if (clicker.clock_flag() == u'L') {
        out << "The scanner on port " << port << " has lost its clock (clock text " << terminal_text(text)
            << "); set it with `harrowtally empty --set-clock now`.\n";
        return true;
    }
    const auto value = clock_text_date_value(text);
    if (!value) {
        err << "no clock read on port " << port << " (clock text " << terminal_text(text) << ")\n";
        return false;
    }
    const double seconds = std::round((*value - local_now_value()) * 86400);
    out << "Scanner clock on port " << port << ": " << date_value_text(*value) << " (clock text " << terminal_text(text)
        << "), ";
    if (seconds == 0) {
        out << "the same as this computer's.\n";
    } else {
        out << duration_words(static_cast<std::int64_t>(seconds)) << " " << (seconds < 0 ? "behind" : "ahead of")
            << " this computer's.\n";
    }
    if (difference) *difference = seconds;
    return true;
}

}  // namespace

int run_clock(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    std::optional<std::int32_t> port;
    bool set = false, action_given = false;
    ArgReader reader("clock", args);
    while (reader.next()) {
        if (reader.is_option("--port")) {
            port = reader.port_value();
        } else if (reader.is_positional() && !action_given &&
                   (reader.positional() == "get" || reader.positional() == "set")) {
            set = reader.positional() == "set";
            action_given = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) return show_help(out, kHelp);

    return with_clicker(options, err, [&](Clicker& clicker) {
        if (!port) {
            if (!find_scanner(clicker, std::nullopt, err)) return kExitFailed;
            port = clicker.comport();
        }
        if (!set) return read_clock(clicker, *port, out, err) ? kExitOk : kExitFailed;

        if (*port != 0) {
            err << "clock not set: the scanner is on port " << *port
                << ", and the component sets clocks on port 0 only; `harrowtally empty --set-clock now` sets it "
                   "while emptying\n";
            return kExitFailed;
        }
        const double asked = local_now_value();
        clicker.setdate();
        // The read-back decides what is said: the success line only for a clock that holds the time.
        std::ostringstream read_back, not_read;
        std::optional<double> difference;
        if (!read_clock(clicker, 0, read_back, not_read, &difference)) {
            err << "clock not checked: the scanner on port 0 was set to this computer's time ("
                << date_value_text(asked) << "), but its clock could not be read back (clock text "
                << terminal_text(clicker.clock_text()) << ")\n";
            return kExitFailed;
        }
        if (!difference || std::fabs(*difference) > kSetTolerance) {
            out << read_back.str();
            err << "clock not set: the scanner on port 0 was asked to take this computer's time ("
                << date_value_text(asked) << ") and did not take it\n";
            return kExitFailed;
        }
        out << "Set the clock of the scanner on port 0 to this computer's time.\n" << read_back.str();
        return kExitOk;
    });
}

}  // namespace harrowtally::host
