#pragma once
// The real collaborators of a Clicker in the command-line host: the scanner library loaded from
// its file, the system clock, the settling pause (sleeping: the host has no message queue) and
// the file system. With a trace stream every scanner library call is also written there.
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/posix/posix_directory_listing.h"
#include "common/services.h"
#include "host/signals.h"
#include "host/tracing_csp2.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally::host {

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
    std::string folder(std::u16string_view windows_folder) const { return listing_.map_folder(windows_folder); }

private:
    LoadedCSP2 library_;
    std::optional<TracingCSP2> tracing_;
    SystemClock clock_;
    InterruptiblePump pump_;
    SettlingPause pause_{pump_};
    PosixDirectoryListing listing_;
    ScannerServices services_;
};

}  // namespace harrowtally::host
