#pragma once
// What a command works in: one Clicker over the real scanner library, the member's runtime errors
// turned into words and an exit status, what --verbose adds, and the port search.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clicker/clicker.h"
#include "common/clock.h"
#include "common/services.h"
#include "host/command_line/command.h"
#include "host/platform/folder_listing.h"
#include "host/platform/signals.h"
#include "host/session/guarded_erase.h"
#include "scanner/loaded_csp2.h"
#include "scanner/tracing_csp2.h"

namespace harrowtally::host {

// The real collaborators of a Clicker in the command-line host: the scanner library loaded from
// its file, the system clock, the settling pause (sleeping: the host has no message queue) and
// the file system. With a trace stream every scanner library call is also written there.
class HostServices {
public:
    // `library`: the scanner library file, or empty for the default name and search. `trace`: where
    // each scanner library call is written as it happens (--verbose), or none.
    explicit HostServices(const std::string& library, std::ostream* trace = nullptr);
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    const ScannerServices& services() const { return services_; }
    const LoadedCSP2& library() const { return library_; }
    // Where a folder named as on Windows is read here.
    std::string folder(std::u16string_view windows_folder) const { return listing_->local_folder(windows_folder); }

private:
    LoadedCSP2 library_;
    std::optional<TracingCSP2> tracing_;
    SystemClock clock_;
    InterruptiblePump pump_;
    SettlingPause pause_{pump_};
    std::unique_ptr<FolderListing> listing_ = platform_folder_listing();
    ScannerServices services_;
};

// One Clicker over the scanner library the options name; with --verbose every library call is
// written to `trace` as it happens. Its Clicker refuses every erase unless a command hands it a
// guard for the call (guarded_erase, a download's keeper), or says it runs the members as a
// script would (invoke).
struct Session {
    Session(const GlobalOptions& options, std::ostream& trace)
        : host(options.library, options.verbose ? &trace : nullptr), clicker(host.services()) {
        clicker.set_erase_guard(&no_erase_outside_the_guard);
    }
    HostServices host;
    NoEraseOutsideTheGuard no_erase_outside_the_guard;
    Clicker clicker;
};

// What a runtime error of a member means in a command, in lines for people; none when it has
// nothing to add to the standard text.
using ErrorWords = std::function<std::vector<std::string>(int number)>;

// Runs body; a runtime error of a member is printed as "error N: text" on err, followed by the
// lines `words` gives for it, and gives kExitFailed, as does running out of memory. The one place
// that turns a member's failure into words.
int with_runtime_errors(std::ostream& err, const std::function<int()>& body, const ErrorWords& words = {});

// Runs body with a Session over the options' library, under with_runtime_errors. A library that
// cannot be used is explained by what the loader tried, an overflow by what the port search found,
// other errors by `advice` (one line, or empty). With --verbose the component's trace and flags
// follow on err once the body has ended, whether it succeeded or not.
using ErrorAdvice = std::function<std::string(int number)>;
int with_session(const GlobalOptions& options, std::ostream& err, const ErrorAdvice& advice,
                 const std::function<int(Session&)>& body);
// The same, for a body that needs only the Clicker.
int with_clicker(const GlobalOptions& options, std::ostream& err, const ErrorAdvice& advice,
                 const std::function<int(Clicker&)>& body);
inline int with_clicker(const GlobalOptions& options, std::ostream& err, const std::function<int(Clicker&)>& body) {
    return with_clicker(options, err, ErrorAdvice(), body);
}

// "component: open_ok yes, empty_ok no, log OPOK:...": what --verbose adds at the end of a command.
std::string component_state_line(const Clicker& clicker);

// The port search of open_clicker from `port` (port 0 when none is given). Prints why when no
// scanner was accepted and returns false; startport is left at the port found otherwise.
bool find_scanner(Clicker& clicker, std::optional<std::int32_t> port, std::ostream& err);

}  // namespace harrowtally::host
