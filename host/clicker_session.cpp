#include "host/clicker_session.h"

#include <new>
#include <ostream>

#include "common/runtime_error.h"
#include "host/terminal_text.h"

namespace harrowtally::host {

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
        err << "no scanner answered on " << searched_ports(port.value_or(0)) << " (log "
            << terminal_text(clicker.log().as_string()) << ")\n";
        return false;
    }
    clicker.let_startport(Variant::integer(clicker.comport()));
    return true;
}

}  // namespace harrowtally::host
