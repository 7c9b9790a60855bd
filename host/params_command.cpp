// `params show LIST`: cur_clicker_params and showparams, the report read back into words.
// `params apply SET`: newparams and reset_params, which empties the scanner first; so, like
// `empty`, it leaves a scanner that holds barcodes alone unless told to discard them.
#include <ostream>

#include "common/text.h"
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
    "Each parameter takes a settling pause of one to two seconds. Without --port the scanner is\n"
    "searched for from port 0 first; apply always searches, from port N when given.\n"
    "Exit status: 0 done; 1 no scanner, barcodes not discarded, a scanner that was not emptied or\n"
    "did not answer, or an error; 2 a mistake in the command line.\n";

struct Entry {
    std::string number, value;
};

// Splits the entries of a report (number, then value, at least two digits each; a value of 100 to
// 255 has three) into `count` entries. Counts the possible splits, up to two, and keeps the first.
void split_entries(std::string_view text, int count, std::vector<Entry>& current, std::vector<Entry>& first,
                   int& solutions) {
    if (solutions > 1) return;
    if (count == 0) {
        if (text.empty() && ++solutions == 1) first = current;
        return;
    }
    for (std::size_t value_width : {2, 3}) {
        if (text.size() < 2 + value_width) continue;
        const std::string_view value = text.substr(2, value_width);
        if (value_width == 3 && (value[0] == '0' || value > "255")) continue;
        current.push_back({std::string(text.substr(0, 2)), std::string(value)});
        split_entries(text.substr(2 + value_width), count - 1, current, first, solutions);
        current.pop_back();
    }
}

std::string info_field(const std::string& text) {
    return text == "0x??" || text == "0x????" ? "not reported" : text;
}

// Prints the report in words; false when the scanner did not answer the information requests.
bool print_report(const std::string& list, const std::string& report, std::int32_t port, std::ostream& out,
                  std::ostream& err) {
    const std::string count_text = list.substr(0, 2);
    const auto colon = report.find(':', count_text.size());
    if (!report.starts_with(count_text) || colon == std::string::npos) {
        err << "unexpected report: " << report << "\n";
        return false;
    }
    const std::string entries_text = report.substr(count_text.size(), colon - count_text.size());
    const std::string info = report.substr(colon + 1);
    out << "Parameters on port " << port << ": ";
    std::vector<Entry> entries, current;
    int solutions = 0;
    int count = -1;
    try {
        count = entries_text.empty() ? 0 : std::stoi(count_text);
    } catch (const std::exception&) {
    }
    if (count >= 0) split_entries(entries_text, count, current, entries, solutions);
    if (solutions == 1) {
        if (entries.empty()) out << "none listed";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            out << (i == 0 ? "" : ", ") << entries[i].number << " = " << std::stoi(entries[i].value);
        }
    } else {
        out << entries_text;
    }
    out << "\n";

    // protocol:status:version (10 characters):ASCII mode:clock mode
    const auto p1 = info.find(':');
    const auto p2 = p1 == std::string::npos ? p1 : info.find(':', p1 + 1);
    std::string protocol, status, version, rest;
    if (p2 != std::string::npos) {
        protocol = info.substr(0, p1);
        status = info.substr(p1 + 1, p2 - p1 - 1);
        rest = info.substr(p2 + 1);
    }
    const auto p4 = rest.rfind(':');
    const auto p3 = p4 == std::string::npos || p4 == 0 ? std::string::npos : rest.rfind(':', p4 - 1);
    if (p3 == std::string::npos) {
        out << "Scanner information: " << info << "\n";
        return true;
    }
    version = rest.substr(0, p3);
    while (!version.empty() && (version.back() == ' ' || version.ends_with("\\x00"))) {
        version.erase(version.size() - (version.back() == ' ' ? 1 : 4));
    }
    const std::string ascii_mode = rest.substr(p3 + 1, p4 - p3 - 1), clock_mode = rest.substr(p4 + 1);
    out << "Scanner: protocol " << info_field(protocol) << ", system status " << info_field(status)
        << ", software version " << (version.empty() ? "not reported" : version) << ", ASCII mode "
        << info_field(ascii_mode) << ", clock mode " << info_field(clock_mode) << "\n";
    out << "Report: " << report << "\n";
    if (protocol == "0x??" && status == "0x????" && ascii_mode == "0x????" && clock_mode == "0x????") {
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

    return with_clicker(options, err, [&](Clicker& clicker) {
        if (action == "show") {
            if (port) {
                clicker.let_startport(Variant::long_(*port));
            } else if (!find_scanner(clicker, std::nullopt, err)) {
                return kExitFailed;
            }
            clicker.cur_clicker_params(Variant::string(from_utf8(*text)));
            const std::string report = to_utf8(clicker.showparams().as_string());
            const std::string shown = terminal_text(from_utf8(report));
            return print_report(*text, shown, port.value_or(clicker.comport()), out, err) ? kExitOk : kExitFailed;
        }

        if (!find_scanner(clicker, port, err)) return kExitFailed;
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
        const std::string outcome = "(open_ok " + std::string(yes_no(clicker.open_ok())) + ", empty_ok " +
                                    yes_no(clicker.empty_ok()) + ", log " + terminal_text(log) + ")";
        if (!clicker.empty_ok()) {
            err << "the scanner on port " << found << " was not emptied: " << empty_outcome(log) << " " << outcome
                << "; its defaults and the set " << *text << " were still sent\n";
            return kExitFailed;
        }
        out << "Emptied the scanner on port " << found << " (" << empty_outcome(log) << "), restored its default "
            << "parameters and wrote the set " << *text << " " << outcome << ".\n"
            << "Check the values with: harrowtally params show LIST --port " << found << "\n";
        return kExitOk;
    });
}

}  // namespace harrowtally::host
