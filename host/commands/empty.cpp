// `empty`: EmptyScanner on the port where the scanner is found, optionally setting its clock. A
// scanner that still holds barcodes is only emptied with --discard: saving them first is the job
// of `download --empty-after`.
#include <ostream>

#include "common/clock_text.h"
#include "common/text.h"
#include "host/command_line/arg_reader.h"
#include "host/session/guarded_erase.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/text/value_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally empty [--port N] [--set-clock now|TEXT] [--discard]\n"
    "Finds the scanner and erases its memory with up to five tries.\n"
    "  --port N          where the search for the scanner starts: 16 ports from N, counting up and\n"
    "                    wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "  --set-clock now   also set the scanner's clock to this computer's local time\n"
    "  --set-clock TEXT  ... or to TEXT, 12 digits: seconds, minutes, hours, day, month, year (two\n"
    "                    digits each) of a real date and time, such as 051408071226 for\n"
    "                    2026-12-07 08:14:05 (years 00 to 99 are 2000 to 2099); the clock is read\n"
    "                    back afterwards\n"
    "  --discard         erase barcodes the scanner still holds; without it a scanner holding\n"
    "                    barcodes is left alone (save them with: harrowtally download --output FILE\n"
    "                    --empty-after), and one that holds barcodes by the time it is erased too\n"
    "Exit status: 0 emptied (and the clock holds the time set); 1 no scanner, barcodes not\n"
    "discarded, the erase failed or was refused, the clock does not hold the time set, or an error;\n"
    "2 a mistake in the command line.\n";

// A scanner clock set a moment ago may be read back this far from the time it was given.
constexpr double clock_tolerance_seconds = 3;

// Reads the scanner's clock back after it was set to `expected` at some moment since `set_from`;
// empty when it holds that time, else what it holds instead.
std::string clock_not_held(Clicker& clicker, double expected, std::chrono::steady_clock::time_point set_from) {
    clicker.getdate();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - set_from).count();
    const std::optional<double> held =
        clicker.clock_flag() == u'H' ? clock_text_date_value(clicker.clock_text()) : std::nullopt;
    if (!held)
        return "the scanner's clock reads back as no date and time (" + terminal_text(clicker.clock_text()) + ")";
    const double ahead = (*held - expected) * 86400;
    if (ahead >= -clock_tolerance_seconds && ahead <= elapsed + clock_tolerance_seconds) return {};
    return "the scanner's clock reads back " + date_value_text(*held);
}

// The clock text of the computer's local time, `ahead` from now.
std::u16string local_clock_text(std::chrono::seconds ahead) {
    SystemClock clock;
    return clock_text_of(date_value_of(clock.local_now()) + static_cast<double>(ahead.count()) / 86400);
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
            // clock_text_date_value takes only twelve digits of a real date and time.
            if (*set_clock != "now" && !clock_text_date_value(ascii(*set_clock))) {
                throw UsageError(
                    "empty: --set-clock takes now or 12 digits ssmmhhDDMMYY of a real date and time, not \"" +
                    *set_clock + "\"");
            }
        } else if (reader.is_option("--discard")) {
            discard = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) return show_help(out, kHelp);

    return with_clicker(options, err, [&](Clicker& clicker) {
        if (!find_scanner(clicker, port, err)) return kExitFailed;
        std::u16string clock_text;
        auto started = std::chrono::steady_clock::now();
        const EraseReport erase = guarded_erase(clicker, discard, [&] {
            if (set_clock) {
                // The clock is set after a settling pause: "now" is the time it will be then.
                const auto pause = std::chrono::round<std::chrono::seconds>(SettlingPause::duration);
                clock_text = *set_clock == "now" ? local_clock_text(pause) : ascii(*set_clock);
                clicker.pnewdatetime(clock_text);
            }
            started = std::chrono::steady_clock::now();
            clicker.EmptyScanner();
        });
        const std::int16_t found = erase.port;
        if (erase.result == EraseReport::Result::held) {
            err << "not emptied: " << held_barcodes_words(found, erase.held) << ", or give --discard to erase "
                << (erase.held == 1 ? "it" : "them") << "\n";
            return kExitFailed;
        }
        const EmptyOutcome& outcome = clicker.empty_outcome();
        const bool emptied = erase.emptied;
        // EmptyScanner sets the clock just before it erases, in a connection that opened and answered
        // well: whether or not the erase then worked, or was refused after it.
        const bool clock_sent = set_clock && outcome.clock_set;
        if (erase.result == EraseReport::Result::refused) {
            err << "not emptied: " << erase.refusal << "; " << refused_erase_words(erase);
            if (set_clock && !clock_sent) err << " and the clock was not set";
            err << "\n";
        } else if (emptied) {
            out << "Emptied the scanner on port " << found << ": " << emptied_words(outcome, erase.discarded) << ".\n";
        } else {
            err << "not emptied: " << empty_outcome_words(outcome);
            if (set_clock && !clock_sent) err << "; the clock was not set either";
            err << "\n";
        }
        const int status = emptied ? kExitOk : kExitFailed;
        if (!clock_sent) return status;

        const double expected = *clock_text_date_value(clock_text);
        clicker.let_startport(Variant::integer(found));
        if (const std::string problem = clock_not_held(clicker, expected, started); !problem.empty()) {
            err << "clock not set: it was to be " << date_value_text(expected) << ", but " << problem << "\n";
            return kExitFailed;
        }
        out << "Clock set to " << date_value_text(expected) << " (read back from the scanner).\n";
        return status;
    });
}

}  // namespace harrowtally::host
