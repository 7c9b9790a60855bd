// `empty`: EmptyScanner on the port where the scanner is found, optionally setting its clock. A
// scanner that still holds barcodes is only emptied with --discard: saving them first is the job
// of `download --empty-after`.
#include <ostream>

#include "common/runtime_error.h"
#include "common/text.h"
#include "host/arg_reader.h"
#include "host/clicker_session.h"
#include "host/clock_texts.h"
#include "host/outcome_words.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally empty [--port N] [--set-clock now|TEXT] [--discard]\n"
    "Finds the scanner and erases its memory with up to five tries.\n"
    "  --port N          where the search for the scanner starts: 16 ports from N, counting up and\n"
    "                    wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "  --set-clock now   also set the scanner's clock to this computer's local time\n"
    "  --set-clock TEXT  ... or to TEXT, 12 digits: seconds, minutes, hours, day, month, year (two\n"
    "                    digits each), such as 051408071226 for 2026-12-07 08:14:05\n"
    "  --discard         erase barcodes the scanner still holds; without it a scanner holding\n"
    "                    barcodes is left alone (save them with: harrowtally download --output FILE\n"
    "                    --empty-after)\n"
    "Exit status: 0 emptied; 1 no scanner, barcodes not discarded, the erase failed or an error;\n"
    "2 a mistake in the command line.\n";

bool is_clock_text(const std::string& text) {
    if (text.size() != 12) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

int run_empty(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err) {
    std::optional<std::int32_t> port;
    std::optional<std::string> set_clock;
    bool discard = false;
    ArgReader reader("empty", args);
    while (reader.next()) {
        if (reader.is_option("--port")) {
            port = reader.port_value();
        } else if (reader.is_option("--set-clock")) {
            set_clock = reader.value();
            if (*set_clock != "now" && !is_clock_text(*set_clock)) {
                throw UsageError("empty: --set-clock takes now or 12 digits (ssmmhhDDMMYY), not \"" + *set_clock +
                                 "\"");
            }
        } else if (reader.is_option("--discard")) {
            discard = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) return show_help(out, kHelp);

    const ErrorAdvice advice = [&](int number) -> std::string {
        if (!set_clock || number == harrowtally::err::overflow) return {};
        return "the clock text " + *set_clock +
               " could not be used: give now, or 12 digits ssmmhhDDMMYY of a real date and time";
    };
    return with_clicker(options, err, advice, [&](Clicker& clicker) {
        if (!find_scanner(clicker, port, err, options.verbose)) return kExitFailed;
        const std::int16_t found = clicker.comport();
        const std::int16_t held = clicker.num_barcodes();
        if (held > 0 && !discard) {
            err << "not emptied: the scanner on port " << found << " holds " << held
                << " barcodes that would be lost; save them with `harrowtally download --output FILE "
                   "--empty-after`, or give --discard to erase them\n";
            return kExitFailed;
        }

        std::u16string clock_text;
        if (set_clock) {
            // The clock is set after a settling pause: "now" is the time it will be then.
            const auto pause = std::chrono::round<std::chrono::seconds>(SettlingPause::duration);
            clock_text = *set_clock == "now" ? local_clock_text(pause) : ascii(*set_clock);
            clicker.pnewdatetime(clock_text);
        }
        clicker.EmptyScanner();
        const std::u16string log = clicker.log().as_string();
        const std::string words = empty_outcome_words(clicker.empty_outcome());
        if (!clicker.empty_ok()) {
            err << "not emptied: " << words;
            if (options.verbose) {
                err << " (port " << found << ", open_ok " << yes_no(clicker.open_ok()) << ", empty_ok no, log "
                    << terminal_text(log) << ")";
            }
            err << "\n";
            return kExitFailed;
        }
        out << "Emptied the scanner on port " << found << ": " << words;
        if (held > 0) out << ", " << held << " barcodes discarded";
        if (set_clock) out << "; clock set to " << clock_text_time(clock_text).value_or(to_utf8(clock_text));
        if (options.verbose) out << " (open_ok yes, empty_ok yes, log " << terminal_text(log) << ")";
        out << ".\n";
        return kExitOk;
    });
}

}  // namespace harrowtally::host
