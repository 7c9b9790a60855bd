#pragma once
// One Clicker over the real scanner library for a command, the member's runtime errors turned into
// one line and an exit status, and the port search.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "clicker/clicker.h"
#include "host/command.h"
#include "host/host_services.h"

namespace harrowtally::host {

// One Clicker over the scanner library the options name.
struct Session {
    explicit Session(const GlobalOptions& options) : host(options.library), clicker(host.services()) {}
    HostServices host;
    Clicker clicker;
};

// Runs body; a runtime error of a member is printed as "error N: text" on err and gives
// kExitFailed, as does running out of memory.
int with_runtime_errors(std::ostream& err, const std::function<int()>& body);

// Runs body with the Clicker of a Session over the options' library, under with_runtime_errors,
// so that a library that cannot be loaded is reported as well.
int with_clicker(const GlobalOptions& options, std::ostream& err, const std::function<int(Clicker&)>& body);

// The port search of open_clicker from `port` (port 0 when none is given). Prints why when no
// scanner answered and returns false; startport is left at the port found otherwise.
bool find_scanner(Clicker& clicker, std::optional<std::int32_t> port, std::ostream& err);

// "ports 0 to 15", "ports 5 to 15 and 0 to 4": what a search from `start` covers.
std::string searched_ports(std::int32_t start);

}  // namespace harrowtally::host
