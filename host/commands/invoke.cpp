// `invoke STEP...`: one Clicker, its members called by name in order. A failing step prints
// "error N: text" and the run goes on; the exit status tells whether any step failed.
#include <algorithm>
#include <ostream>

#include "clicker/clicker.h"
#include "common/runtime_error.h"
#include "host/command_line/arg_reader.h"
#include "host/command_line/command.h"
#include "host/commands/invoke_steps.h"
#include "host/platform/terminal.h"
#include "host/session/guarded_erase.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/text/value_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

// Runs one step; prints what it reads. Throws RuntimeError as the member does.
void run_step(Clicker& clicker, const Step& step, bool typed, std::ostream& out) {
    const Member* member = find_member(step.name);
    if (member == nullptr) throw RuntimeError(harrowtally::err::no_such_member);
    if (step.value) {
        if (member->let == nullptr) throw RuntimeError(harrowtally::err::no_such_member);
        member->let(clicker, *step.value);
    } else if (member->get != nullptr) {
        const Variant value = member->get(clicker);
        // A text shown on a terminal cannot drive it (--typed escapes every control already).
        const std::string shown = format_value(value, typed);
        out << (is_terminal(kStandardOutput) ? terminal_data(shown) : shown) << "\n";
    } else if (member->call != nullptr) {
        member->call(clicker);
    } else {
        throw RuntimeError(harrowtally::err::no_such_member);  // can only be assigned
    }
}

constexpr const char* kHelp =
    "usage: harrowtally [--library PATH] [--typed] invoke STEP...\n"
    "Creates one Clicker and runs the steps in order, as a script through the component would:\n"
    "  NAME        reads the property NAME and prints its value, or calls the method NAME\n"
    "  NAME=VALUE  assigns VALUE, written as a VBScript literal: 5, 2.5, \"text\", True, Null, Empty,\n"
    "              #2026-12-07 08:14:05#; anything else is the text as written\n"
    "Names match without regard to case. A failing step prints \"error N: text\" and the run goes\n"
    "on; why the scanner library could not be used goes to standard error. The members use the\n"
    "port in startport as the component does: open_clicker searches 16 ports from it, the others\n"
    "use it exactly (harrowtally invoke startport=5 open_clicker num_barcodes).\n"
    "Exit status: 0 every step ran; 1 a step failed; 2 a mistake in the command line.\n";

}  // namespace

int run_invoke(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
    if (std::any_of(args.begin(), args.end(), [](const std::string& arg) { return is_help_option(arg); })) {
        return show_help(out, kHelp);
    }
    if (args.empty()) throw UsageError("invoke needs at least one step");
    std::vector<Step> steps;
    steps.reserve(args.size());
    for (const auto& arg : args) {
        if (std::string words = misplaced_global_option("invoke", arg); !words.empty()) throw UsageError(words);
        steps.push_back(parse_step(arg));
    }

    return with_session(options, err, ErrorAdvice(), [&](Session& session) {
        // The members exactly as a script calls them: EmptyScanner and reset_params erase unguarded.
        const ClickerHooks as_a_script(session.clicker, nullptr, nullptr);
        bool failed = false;
        bool library_explained = false;
        // A failing step is told on standard output and the run goes on; why the library failed is
        // told once, beside it, on standard error.
        const auto explain = [&](int error) -> std::vector<std::string> {
            const auto lines = library_failure_lines(error, session.host.library());
            if (!lines.empty() && !library_explained) {
                out.flush();
                for (const auto& line : lines) err << line << "\n";
                library_explained = error != harrowtally::err::dll_function_missing;
            }
            return {};
        };
        for (const auto& step : steps) {
            const int status = with_runtime_errors(
                out,
                [&] {
                    run_step(session.clicker, step, options.typed, out);
                    return kExitOk;
                },
                explain);
            failed = failed || status != kExitOk;
            out.flush();
        }
        return failed ? kExitFailed : kExitOk;
    });
}

}  // namespace harrowtally::host
