#pragma once
// The real collaborators of a Clicker in the command-line host: the scanner library loaded from
// its file, the system clock, the settling pause (sleeping: the host has no message queue) and
// the file system.
#include <string>

#include "common/clock.h"
#include "common/posix/posix_directory_listing.h"
#include "common/services.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally::host {

class HostServices {
public:
    // `library`: the scanner library file, or empty for the default name and search.
    explicit HostServices(const std::string& library);
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    const ScannerServices& services() const { return services_; }

private:
    LoadedCSP2 library_;
    SystemClock clock_;
    SleepingPump pump_;
    SettlingPause pause_{pump_};
    PosixDirectoryListing listing_;
    ScannerServices services_;
};

}  // namespace harrowtally::host
