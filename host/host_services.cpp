#include "host/host_services.h"

#include "scanner/library_opener.h"

namespace harrowtally::host {

HostServices::HostServices(const std::string& library, std::ostream* trace)
    : library_(platform_library_opener(library)) {
    services_.library = &library_;
    if (trace != nullptr) services_.library = &tracing_.emplace(library_, *trace);
    services_.clock = &clock_;
    services_.pause = &pause_;
    services_.listing = &listing_;
}

}  // namespace harrowtally::host
