#include "scanner/scanner_port.h"

#include <array>

namespace harrowtally {

ScannerPort::ScannerPort(const ScannerLibrary& scanner) : hold_(scanner.lock_), library_(*scanner.library_) {}

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

std::u16string ScannerPort::read_serial(std::int32_t* result) {
    constexpr std::size_t serial_bytes = 8;
    constexpr char16_t hex[] = u"0123456789ABCDEF";
    std::array<std::uint8_t, csp2_size::device_id> id{};
    const std::int32_t answer = library_.csp2GetDeviceId(id.data(), csp2_size::device_id);
    if (result) *result = answer;
    std::u16string text;
    text.reserve(2 * serial_bytes);
    for (std::size_t i = 0; i < serial_bytes; ++i) {
        text += hex[id[i] >> 4];
        text += hex[id[i] & 0x0F];
    }
    return text;
}

}  // namespace harrowtally
