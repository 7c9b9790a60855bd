#include "scanner/scanner_port.h"

namespace harrowtally {

ScannerPort::~ScannerPort() {
    if (!open_) return;
    try {
        library_.csp2Restore();
    } catch (...) {  // the member's own error is the one that reaches the host
    }
}

std::int32_t ScannerPort::open(std::int32_t port) {
    const std::int32_t result = library_.csp2Init(port);
    open_ = result == 0;
    return result;
}

void ScannerPort::close() {
    library_.csp2Restore();
    open_ = false;
}

ClockBuffer ScannerPort::read_clock() {
    ClockBuffer clock{};
    library_.csp2WakeUp();
    library_.csp2GetTime(clock.data());
    library_.csp2PowerDown();
    return clock;
}

void ScannerPort::set_clock(ClockBuffer clock) {
    library_.csp2WakeUp();
    library_.csp2SetTime(clock.data());
    library_.csp2PowerDown();
}

}  // namespace harrowtally
