// The scanner's clock: getdate reads it into the clock fields, setdate sets it to the PC's time.
#include "clicker/clicker.h"
#include "common/clock_text.h"
#include "scanner/scanner_port.h"

namespace harrowtally {

void Clicker::getdate() {
    // An empty startport converts to 0; a value that does not convert fails here, before any call.
    const std::int32_t port = services_.conversions->to_long(startport_);
    ScannerPort connection(services_.library);
    connection.open(port);
    const ClockBuffer buffer = connection.read_clock();
    connection.close();
    const ClockSnapshot snap = clock_snapshot(buffer);
    clock_text_ = snap.text;
    clock_flag_ = snap.flag;
}

void Clicker::setdate() {
    const ClockBuffer buffer = clock_buffer_from(services_.clock->local_now());
    ScannerPort connection(services_.library);
    connection.open(0);
    connection.set_clock(buffer);
    connection.close();
}

}  // namespace harrowtally
