// The scanner's clock: getdate reads it into the clock fields, setdate sets it to the PC's time.
#include "clicker/clicker.h"
#include "common/clock_text.h"
#include "common/conversions.h"
#include "scanner/port_guard.h"

namespace harrowtally {

void Clicker::getdate() {
    // An empty startport converts to 0; a value that does not convert fails here, before any call.
    const std::int32_t port = to_long(startport_, services_.number_format);
    CSP2& lib = *services_.library;
    PortGuard guard(lib);
    if (lib.csp2Init(port) == 0) guard.opened();
    lib.csp2WakeUp();
    ClockBuffer buffer{};
    lib.csp2GetTime(buffer.data());
    lib.csp2PowerDown();
    lib.csp2Restore();
    guard.released();
    const ClockSnapshot snap = clock_snapshot(buffer);
    clock_text_ = snap.text;
    clock_flag_ = snap.flag;
}

void Clicker::setdate() {
    ClockBuffer buffer = clock_buffer_from(services_.clock->local_now());
    CSP2& lib = *services_.library;
    PortGuard guard(lib);
    if (lib.csp2Init(0) == 0) guard.opened();
    lib.csp2WakeUp();
    lib.csp2SetTime(buffer.data());
    lib.csp2PowerDown();
    lib.csp2Restore();
    guard.released();
}

}  // namespace harrowtally
