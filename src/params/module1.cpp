#include "params/module1.h"

#include <array>

#include "common/code_page.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"
#include "scanner/scanner_port.h"

namespace harrowtally::Module1 {
namespace {

// Opens the port, wakes the scanner and asks it to identify itself; results are not examined.
// A port that does not convert fails before csp2Init.
void open_connection(const ScannerServices& services, const Variant& port, ScannerPort& connection) {
    const std::int32_t port_number = services.conversions->to_long(port);
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
    return static_cast<std::int16_t>(read_scanner_param(services, port, number).value);
}

ParameterReading read_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number) {
    scanner_pause(services);
    ScannerPort connection(services.library);
    open_connection(services, port, connection);
    std::array<std::uint8_t, csp2_size::param> buffer{};
    ParameterReading reading;
    reading.number = number;
    reading.getter_result = connection.library().csp2GetParam(number, buffer.data(), csp2_size::param);
    reading.value = buffer[0];
    close_connection(connection);
    return reading;
}

bool set_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number, std::int32_t value) {
    scanner_pause(services);
    ScannerPort connection(services.library);
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

ScannerInfo read_scanner_info(const ScannerServices& services, const Variant& port) {
    ScannerPort connection(services.library);
    open_connection(services, port, connection);
    CSP2& library = connection.library();
    ScannerInfo info;
    info.protocol = library.csp2GetProtocol();
    info.status = library.csp2GetSystemStatus();
    library.csp2GetSwVersion(info.version.data(), csp2_size::version);
    info.ascii_mode = library.csp2GetASCIIMode();
    info.rtc_mode = library.csp2GetRTCMode();
    close_connection(connection);
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
