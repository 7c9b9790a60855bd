// `params show LIST`: cur_clicker_params and showparams, the report read back into words.
// `params apply SET`: newparams and reset_params, which empties the scanner first; so, like
// `empty`, it leaves a scanner that holds barcodes alone unless told to discard them.
#include <cstdio>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

#include "common/code_page.h"
#include "common/text.h"
#include "common/trace_text.h"
#include "host/command_line/arg_reader.h"
#include "host/session/guarded_erase.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/words/words.h"
#include "params/parameter_texts.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally params show LIST [--port N]\n"
    "       harrowtally params apply SET [--port N] [--discard]\n"
    "  show   reads the listed parameters and the scanner's information. LIST is the count and\n"
    "         exactly that many parameter numbers, two digits each: 020731 lists parameters 7 and 31\n"
    "  apply  empties the scanner, asks it to restore its defaults, writes SET and reads the set's\n"
    "         parameters back. SET is the count, then exactly that many entries of number and value,\n"
    "         two digits each: 0205011200 sets 5 to 1 and 12 to 0\n"
    "  --discard  let apply erase barcodes the scanner still holds; without it a scanner holding\n"
    "             barcodes is left alone (save them with: harrowtally download --output FILE), and\n"
    "             one that holds barcodes by the time it is erased too\n"
    "  --port N   show: the port the scanner is read on, exactly (without it: the scanner is first\n"
    "             searched for on ports 0 to 15, which takes a download's time)\n"
    "             apply: where the search for the scanner starts: 16 ports from N, counting up and\n"
    "             wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "Each parameter takes a settling pause of one to two seconds.\n"
    "Exit status: 0 done; 1 no scanner, barcodes not discarded, a scanner that was not emptied or\n"
    "did not answer, a parameter that does not read back as set, or an error; 2 a mistake in the\n"
    "command line.\n";

// Why a parameter has no value: what the scanner library answered.
std::string not_read_reason(const ParameterReading& entry) {
    return "(the scanner library returned " + std::to_string(entry.getter_result) + ")";
}

// Reads back the parameters a set wrote (the last value of a number written twice); the lines
// naming each parameter that holds another value, none when all hold theirs.
std::vector<std::string> parameters_not_held(Clicker& clicker, const std::vector<ParameterEntry>& set) {
    std::map<std::int16_t, std::int32_t> expected;
    for (const ParameterEntry& entry : set) expected[entry.number] = entry.value;
    if (expected.empty()) return {};
    std::vector<std::int16_t> numbers;
    numbers.reserve(expected.size());
    for (const auto& [number, value] : expected) numbers.push_back(number);
    clicker.cur_clicker_params(Variant::string(parameter_list_text(numbers)));
    clicker.showparams();
    std::vector<std::string> differing;
    const std::vector<ParameterReading>& read = clicker.parameter_report().entries;
    for (const ParameterReading& entry : read) {
        const std::int32_t wanted = expected.at(entry.number);
        if (!entry.read()) {
            differing.push_back("parameter " + to_utf8(two_digit_text(entry.number)) + " was not read back " +
                                not_read_reason(entry) + ", so it is not known to hold " + std::to_string(wanted));
        } else if (entry.value != wanted) {
            differing.push_back("parameter " + to_utf8(two_digit_text(entry.number)) + " reads back " +
                                std::to_string(entry.value) + ", not " + std::to_string(wanted));
        }
    }
    return differing;
}

// A getter's value as the report shows it.
std::string info_field(std::int32_t value) {
    if (!ScannerInfo::reported(value)) return "not reported";
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// Prints the report in words; false when a parameter was not read or the scanner did not answer
// the information requests.
bool print_report(const ParameterReport& report, std::u16string_view report_text, std::int32_t port, std::ostream& out,
                  std::ostream& err) {
    out << "Parameters on port " << port << ": ";
    if (report.entries.empty()) out << "none listed";
    bool all_read = true;
    for (std::size_t i = 0; i < report.entries.size(); ++i) {
        const ParameterReading& entry = report.entries[i];
        out << (i == 0 ? "" : ", ") << to_utf8(two_digit_text(entry.number));
        if (entry.read()) {
            out << " = " << entry.value;
        } else {
            out << " not read " << not_read_reason(entry);
            all_read = false;
        }
    }
    out << "\n";

    const ScannerInfo& info = report.info;
    const std::u16string version = trimmed_version(bytes_to_text(info.version.data(), info.version.size()));
    out << "Scanner: protocol " << info_field(info.protocol) << ", system status " << info_field(info.status)
        << ", software version " << (version.empty() ? "not reported" : terminal_text(version)) << ", ASCII mode "
        << info_field(info.ascii_mode) << ", clock mode " << info_field(info.rtc_mode) << "\n";
    out << "Report: " << terminal_text(report_text) << "\n";
    if (!info.answered()) {
        err << "the scanner on port " << port << " did not answer\n";
        return false;
    }
    if (!all_read) err << "not every parameter listed was read from the scanner on port " << port << "\n";
    return all_read;
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
    const std::u16string plain_text = from_utf8(*text);
    const std::optional<std::vector<ParameterEntry>> entries = plain_parameter_set(plain_text);
    if (action == "show" ? !plain_parameter_list(plain_text) : !entries) {
        throw UsageError(action == "show"
                             ? "params show: the list " + *text +
                                   " is not a two-digit count followed by that many two-digit parameter numbers, "
                                   "such as 020731"
                             : "params apply: the set " + *text +
                                   " is not a two-digit count followed by that many entries of a two-digit "
                                   "parameter number and a two-digit value, such as 0205011200");
    }

    return with_clicker(options, err, [&](Clicker& clicker) {
        if (action == "show") {
            if (port) {
                clicker.let_startport(Variant::long_(*port));
            } else if (!find_scanner(clicker, std::nullopt, err)) {
                return kExitFailed;
            }
            clicker.cur_clicker_params(Variant::string(from_utf8(*text)));
            const std::u16string report = clicker.showparams().as_string();
            return print_report(clicker.parameter_report(), report, port.value_or(clicker.comport()), out, err)
                       ? kExitOk
                       : kExitFailed;
        }

        if (!find_scanner(clicker, port, err)) return kExitFailed;
        const EraseReport erase = guarded_erase(clicker, discard, [&] {
            clicker.newparams(Variant::string(from_utf8(*text)));
            clicker.reset_params();
        });
        const std::int16_t found = erase.port;
        if (erase.result == EraseReport::Result::held) {
            err << "not applied: applying a parameter set empties the scanner, and "
                << held_barcodes_words(found, erase.held) << ", or give --discard\n";
            return kExitFailed;
        }
        if (erase.result == EraseReport::Result::refused) {
            err << "not applied: " << erase.refusal << "; " << refused_erase_words(erase)
                << ", and no parameter was changed\n";
            return kExitFailed;
        }
        // Only what was checked is claimed: csp2SetDefaults' answer is not, and a port that did not
        // open took nothing.
        if (!erase.emptied) {
            err << "the scanner on port " << found
                << " was not emptied: " << empty_outcome_words(clicker.empty_outcome());
            const EmptyOutcome::Result result = clicker.empty_outcome().result;
            if (result == EmptyOutcome::Result::not_opened || result == EmptyOutcome::Result::no_port) {
                err << "; the port did not open, so the defaults and the set " << *text
                    << " may not have reached the scanner\n";
            } else {
                err << "; it was still asked to restore its defaults and sent the set " << *text << "\n";
            }
            return kExitFailed;
        }
        out << "Emptied the scanner on port " << found << " ("
            << emptied_words(clicker.empty_outcome(), erase.discarded)
            << "), asked it to restore its defaults and sent the set " << *text << ".\n";
        const std::vector<std::string> differing = parameters_not_held(clicker, *entries);
        for (const std::string& line : differing) err << "not applied: " << line << "\n";
        if (!differing.empty()) return kExitFailed;
        if (!entries->empty()) out << "Read back: every parameter of the set holds its value.\n";
        return kExitOk;
    });
}

}  // namespace harrowtally::host
