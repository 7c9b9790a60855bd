#include "host/session/session.h"

#include <memory>
#include <new>
#include <ostream>

#include "common/runtime_error.h"
#include "host/text/terminal_text.h"
#include "host/words/words.h"
#include "scanner/library_opener.h"

namespace harrowtally::host {

HostServices::HostServices(const std::string& library, std::ostream* trace)
    : library_(platform_library_opener(library)) {
    services_.library = &library_;
    if (trace != nullptr) services_.library = &tracing_.emplace(library_, *trace);
    services_.clock = &clock_;
    services_.pause = &pause_;
    services_.listing = listing_.get();
}

int with_runtime_errors(std::ostream& err, const std::function<int()>& body, const ErrorWords& words) {
    int number = 0;
    try {
        return body();
    } catch (const RuntimeError& e) {
        number = e.number();
    } catch (const std::bad_alloc&) {
        number = harrowtally::err::out_of_memory;
    }
    err << error_line(number) << "\n";
    if (words) {
        for (const std::string& line : words(number)) err << line << "\n";
    }
    return kExitFailed;
}

int with_session(const GlobalOptions& options, std::ostream& err, const ErrorAdvice& advice,
                 const std::function<int(Session&)>& body) {
    std::unique_ptr<Session> session;
    const auto words = [&](int number) -> std::vector<std::string> {
        if (!session) return {};
        std::vector<std::string> lines = library_failure_lines(number, session->host.library());
        if (!lines.empty()) return lines;
        if (number == harrowtally::err::overflow) {
            if (std::string line = overflow_words(session->clicker); !line.empty()) return {line};
        }
        if (advice) {
            if (std::string line = advice(number); !line.empty()) return {line};
        }
        return {};
    };
    const int status = with_runtime_errors(
        err,
        [&] {
            session = std::make_unique<Session>(options, err);
            return body(*session);
        },
        words);
    if (options.verbose && session) err << component_state_line(session->clicker) << "\n";
    return status;
}

int with_clicker(const GlobalOptions& options, std::ostream& err, const ErrorAdvice& advice,
                 const std::function<int(Clicker&)>& body) {
    return with_session(options, err, advice, [&](Session& session) { return body(session.clicker); });
}

std::string component_state_line(const Clicker& clicker) {
    const std::u16string log = clicker.log().as_string();
    return std::string("component: open_ok ") + yes_no(clicker.open_ok()) + ", empty_ok " + yes_no(clicker.empty_ok()) +
           ", log " + (log.empty() ? std::string("(empty)") : terminal_text(log));
}

bool find_scanner(Clicker& clicker, std::optional<std::int32_t> port, std::ostream& err) {
    if (port) clicker.let_startport(Variant::long_(*port));
    clicker.open_clicker();
    if (!clicker.open_ok()) {
        err << no_scanner_words(clicker, port.value_or(0)) << "\n";
        return false;
    }
    clicker.let_startport(Variant::integer(clicker.comport()));
    return true;
}

}  // namespace harrowtally::host
