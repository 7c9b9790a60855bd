#include "params/module1.h"

#include <array>

#include "common/code_page.h"
#include "common/conversions.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"
#include "scanner/scanner_port.h"

namespace harrowtally::Module1 {
namespace {

// Opens the port, wakes the scanner and asks it to identify itself; results are not examined.
// A port that does not convert fails before csp2Init.
void open_connection(const ScannerServices& services, const Variant& port, ScannerPort& connection) {
    const std::int32_t port_number = to_long(port, services.number_format);
    connection.open(port_number);
    connection.library().csp2WakeUp();
    connection.library().csp2Interrogate();
}

void close_connection(ScannerPort& connection) {
    connection.library().csp2PowerDown();
    connection.close();
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
    ScannerPort connection(*services.library);
    open_connection(services, port, connection);
    std::array<std::uint8_t, csp2_size::param> buffer{};
    connection.library().csp2GetParam(number, buffer.data(), csp2_size::param);
    const std::int16_t value = buffer[0];
    close_connection(connection);
    return value;
}

bool set_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number, std::int32_t value) {
    scanner_pause(services);
    ScannerPort connection(*services.library);
    open_connection(services, port, connection);
    if (value < 0 || value > 255) {
        close_connection(connection);
        throw RuntimeError(err::invalid_call);
    }
    // The value byte and a zero byte are sent; the blanks after them only fill the area.
    std::array<std::uint8_t, csp2_size::param> buffer{};
    buffer.fill(0x20);
    buffer[0] = static_cast<std::uint8_t>(value);
    buffer[1] = 0x00;
    const bool written = connection.library().csp2SetParam(number, buffer.data(), 2) == 0;
    close_connection(connection);
    return written;
}

std::u16string scanner_info_text(const ScannerServices& services, const Variant& port) {
    ScannerPort connection(*services.library);
    open_connection(services, port, connection);
    CSP2& library = connection.library();
    const std::u16string protocol = getter_field(library.csp2GetProtocol(), u"0x??");
    const std::u16string status = getter_field(library.csp2GetSystemStatus(), u"0x????");
    std::array<std::uint8_t, csp2_size::version> version{};
    library.csp2GetSwVersion(version.data(), csp2_size::version);
    const std::u16string ascii_mode = getter_field(library.csp2GetASCIIMode(), u"0x????");
    const std::u16string rtc_mode = getter_field(library.csp2GetRTCMode(), u"0x????");
    close_connection(connection);
    return protocol + u":" + status + u":" + bytes_to_text(version.data(), version.size()) + u":" + ascii_mode + u":" +
           rtc_mode;
}

}  // namespace harrowtally::Module1
