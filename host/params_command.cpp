// `params show LIST`: cur_clicker_params and showparams, the report read back into words.
// `params apply SET`: newparams and reset_params, which empties the scanner first; so, like
// `empty`, it leaves a scanner that holds barcodes alone unless told to discard them.
#include <ostream>

#include <cstdio>

#include "common/code_page.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "common/trace_text.h"
#include "host/arg_reader.h"
#include "host/clicker_session.h"
#include "host/outcome_words.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally params show LIST [--port N]\n"
    "       harrowtally params apply SET [--port N] [--discard]\n"
    "  show   reads the listed parameters and the scanner's information. LIST is the count and the\n"
    "         parameter numbers, two digits each: 020731 lists parameters 7 and 31\n"
    "  apply  empties the scanner, restores its default parameters and writes SET: the count, then\n"
    "         number and value, two digits each: 0205011200 sets 5 to 1 and 12 to 0\n"
    "  --discard  let apply erase barcodes the scanner still holds; without it a scanner holding\n"
    "             barcodes is left alone (save them with: harrowtally download --output FILE)\n"
    "  --port N   show: the port the scanner is read on, exactly (without it: the scanner is first\n"
    "             searched for on ports 0 to 15, which takes a download's time)\n"
    "             apply: where the search for the scanner starts: 16 ports from N, counting up and\n"
    "             wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "Each parameter takes a settling pause of one to two seconds.\n"
    "Exit status: 0 done; 1 no scanner, barcodes not discarded, a scanner that was not emptied or\n"
    "did not answer, or an error; 2 a mistake in the command line.\n";

// A getter's value as the report shows it; a negative one was not reported.
std::string info_field(std::int32_t value) {
    if (value < 0) return "not reported";
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// Prints the report in words; false when the scanner did not answer the information requests.
bool print_report(const ParameterReport& report, std::u16string_view report_text, std::int32_t port, std::ostream& out,
                  std::ostream& err) {
    out << "Parameters on port " << port << ": ";
    if (report.entries.empty()) out << "none listed";
    for (std::size_t i = 0; i < report.entries.size(); ++i) {
        const ParameterEntry& entry = report.entries[i];
        out << (i == 0 ? "" : ", ") << to_utf8(two_digit_text(entry.number)) << " = " << entry.value;
    }
    out << "\n";

    const ScannerInfo& info = report.info;
    std::u16string version = bytes_to_text(info.version.data(), info.version.size());
    while (!version.empty() && (version.back() == u' ' || version.back() == u'\0')) version.pop_back();
    out << "Scanner: protocol " << info_field(info.protocol) << ", system status " << info_field(info.status)
        << ", software version " << (version.empty() ? "not reported" : terminal_text(version)) << ", ASCII mode "
        << info_field(info.ascii_mode) << ", clock mode " << info_field(info.rtc_mode) << "\n";
    out << "Report: " << terminal_text(report_text) << "\n";
    if (info.protocol < 0 && info.status < 0 && info.ascii_mode < 0 && info.rtc_mode < 0) {
        err << "the scanner on port " << port << " did not answer\n";
        return false;
    }
    return true;
}

}  // namespace

int run_params(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
    std::optional<std::int32_t> port;
    std::string action;
    std::optional<std::string> text;
    bool discard = false;
    ArgReader reader("params", args);
    while (reader.next()) {
        if (reader.is_option("--port")) {
            port = reader.port_value();
        } else if (reader.is_option("--discard")) {
            discard = true;
        } else if (reader.is_positional() && action.empty() &&
                   (reader.positional() == "show" || reader.positional() == "apply")) {
            action = reader.positional();
        } else if (reader.is_positional() && !action.empty() && !text) {
            text = reader.positional();
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) return show_help(out, kHelp);
    if (action.empty()) throw UsageError("params: show LIST or apply SET");
    if (!text) throw UsageError("params " + action + ": the " + (action == "show" ? "LIST" : "SET") + " is missing");
    if (discard && action == "show") throw UsageError("params show: --discard goes with apply");

    const ErrorAdvice advice = [&](int number) -> std::string {
        using namespace harrowtally::err;
        if (number != invalid_call && number != type_mismatch && number != overflow) return {};
        if (action == "show") {
            return "the parameter list " + *text +
                   " could not be read: write the count, then each parameter number, two digits each, such as "
                   "020731";
        }
        return "the parameter set " + *text +
               " could not be read: write the count, then each parameter's number and value (0 to 255), two digits "
               "each, such as 0205011200; nothing was changed";
    };
    return with_clicker(options, err, advice, [&](Clicker& clicker) {
        if (action == "show") {
            if (port) {
                clicker.let_startport(Variant::long_(*port));
            } else if (!find_scanner(clicker, std::nullopt, err, options.verbose)) {
                return kExitFailed;
            }
            clicker.cur_clicker_params(Variant::string(from_utf8(*text)));
            const std::u16string report = clicker.showparams().as_string();
            return print_report(clicker.parameter_report(), report, port.value_or(clicker.comport()), out, err)
                       ? kExitOk
                       : kExitFailed;
        }

        if (!find_scanner(clicker, port, err, options.verbose)) return kExitFailed;
        const std::int16_t found = clicker.comport();
        const std::int16_t held = clicker.num_barcodes();
        if (held > 0 && !discard) {
            err << "not applied: applying a parameter set empties the scanner, and the scanner on port " << found
                << " holds " << held
                << " barcodes that would be lost; save them with `harrowtally download --output FILE "
                   "--empty-after`, or give --discard\n";
            return kExitFailed;
        }
        clicker.newparams(Variant::string(from_utf8(*text)));
        clicker.reset_params();
        const std::u16string log = clicker.log().as_string();
        const std::string outcome = !options.verbose
                                        ? std::string()
                                        : " (open_ok " + std::string(yes_no(clicker.open_ok())) + ", empty_ok " +
                                              yes_no(clicker.empty_ok()) + ", log " + terminal_text(log) + ")";
        if (!clicker.empty_ok()) {
            err << "the scanner on port " << found
                << " was not emptied: " << empty_outcome_words(clicker.empty_outcome()) << outcome
                << "; its defaults and the set " << *text << " were still sent\n";
            return kExitFailed;
        }
        out << "Emptied the scanner on port " << found << " (" << empty_outcome_words(clicker.empty_outcome())
            << "), restored its default "
            << "parameters and wrote the set " << *text << outcome << ".\n"
            << "Check the values with: harrowtally params show LIST --port " << found << "\n";
        return kExitOk;
    });
}

}  // namespace harrowtally::host
