#include "params/module1.h"

#include <array>

#include "common/code_page.h"
#include "common/conversions.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"
#include "scanner/port_guard.h"

namespace harrowtally::Module1 {
namespace {

// Opens the port, wakes the scanner and asks it to identify itself; results are not examined.
// A port that does not convert fails before csp2Init.
void open_connection(const ScannerServices& services, const Variant& port, PortGuard& guard) {
    const std::int32_t port_number = to_long(port, services.number_format);
    CSP2& library = *services.library;
    if (library.csp2Init(port_number) == 0) guard.opened();
    library.csp2WakeUp();
    library.csp2Interrogate();
}

void close_connection(const ScannerServices& services, PortGuard& guard) {
    CSP2& library = *services.library;
    library.csp2PowerDown();
    library.csp2Restore();
    guard.released();
}

std::u16string getter_field(std::int32_t result, const char16_t* placeholder) {
    if (result < 0) return placeholder;
    return u"0x" + hex_text(static_cast<std::uint32_t>(result));
}

}  // namespace

void scanner_pause(const ScannerServices& services) {
    services.pause->scanner_pause();
}

std::int16_t get_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number) {
    scanner_pause(services);
    PortGuard guard(*services.library);
    open_connection(services, port, guard);
    std::array<std::uint8_t, csp2_size::param> buffer{};
    services.library->csp2GetParam(number, buffer.data(), csp2_size::param);
    const std::int16_t value = buffer[0];
    close_connection(services, guard);
    return value;
}

bool set_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number, std::int32_t value) {
    scanner_pause(services);
    PortGuard guard(*services.library);
    open_connection(services, port, guard);
    if (value < 0 || value > 255) {
        close_connection(services, guard);
        throw RuntimeError(err::invalid_call);
    }
    // The value byte and a zero byte are sent; the blanks after them only fill the area.
    std::array<std::uint8_t, csp2_size::param> buffer{};
    buffer.fill(0x20);
    buffer[0] = static_cast<std::uint8_t>(value);
    buffer[1] = 0x00;
    const bool written = services.library->csp2SetParam(number, buffer.data(), 2) == 0;
    close_connection(services, guard);
    return written;
}

ScannerInfo read_scanner_info(const ScannerServices& services, const Variant& port) {
    PortGuard guard(*services.library);
    open_connection(services, port, guard);
    CSP2& library = *services.library;
    ScannerInfo info;
    info.protocol = library.csp2GetProtocol();
    info.status = library.csp2GetSystemStatus();
    library.csp2GetSwVersion(info.version.data(), csp2_size::version);
    info.ascii_mode = library.csp2GetASCIIMode();
    info.rtc_mode = library.csp2GetRTCMode();
    close_connection(services, guard);
    return info;
}

std::u16string scanner_info_text(const ScannerInfo& info) {
    return getter_field(info.protocol, u"0x??") + u":" + getter_field(info.status, u"0x????") + u":" +
           bytes_to_text(info.version.data(), info.version.size()) + u":" + getter_field(info.ascii_mode, u"0x????") +
           u":" + getter_field(info.rtc_mode, u"0x????");
}

std::u16string scanner_info_text(const ScannerServices& services, const Variant& port) {
    return scanner_info_text(read_scanner_info(services, port));
}

}  // namespace harrowtally::Module1
