// `invoke STEP...`: one Clicker, its members called by name in order. A failing step prints
// "error N: text" and the run goes on; the exit status tells whether any step failed.
#include <new>
#include <ostream>

#include "clicker/clicker.h"
#include "common/runtime_error.h"
#include "host/command.h"
#include "host/host_services.h"
#include "host/member_table.h"
#include "host/step_parser.h"
#include "host/value_format.h"

namespace harrowtally::host {
namespace {

// Runs one step; prints what it reads. Throws RuntimeError as the member does.
void run_step(Clicker& clicker, const Step& step, bool typed, std::ostream& out) {
    const Member* member = find_member(step.name);
    if (member == nullptr) throw RuntimeError(err::no_such_member);
    if (step.value) {
        if (member->let == nullptr) throw RuntimeError(err::no_such_member);
        member->let(clicker, *step.value);
    } else if (member->get != nullptr) {
        const Variant value = member->get(clicker);
        out << format_value(value, typed) << "\n";
    } else if (member->call != nullptr) {
        member->call(clicker);
    } else {
        throw RuntimeError(err::no_such_member);  // can only be assigned
    }
}

}  // namespace

int run_invoke(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& /*err*/) {
    if (args.empty()) throw UsageError("invoke needs at least one step");
    std::vector<Step> steps;
    steps.reserve(args.size());
    for (const auto& arg : args) steps.push_back(parse_step(arg));

    HostServices services(options.library);
    Clicker clicker(services.services());
    bool failed = false;
    for (const auto& step : steps) {
        int error = 0;
        try {
            run_step(clicker, step, options.typed, out);
        } catch (const RuntimeError& e) {
            error = e.number();
        } catch (const std::bad_alloc&) {
            error = err::out_of_memory;
        }
        if (error != 0) {
            failed = true;
            out << "error " << error << ": " << standard_error_text(error) << "\n";
        }
        out.flush();
    }
    return failed ? kExitFailed : kExitOk;
}

}  // namespace harrowtally::host
