#include "scanner/tracing_csp2.h"

#include <cstdio>
#include <initializer_list>
#include <ostream>

#include "common/runtime_error.h"

namespace harrowtally {
namespace {

// At most this many bytes of a buffer the library reads are shown.
constexpr std::int32_t kShownBytes = 16;

// A buffer the library fills: its contents before the call mean nothing.
std::string filled(const std::uint8_t* buffer) {
    return buffer == nullptr ? "null" : "buf";
}

// A buffer the library reads: its bytes in hexadecimal.
std::string read_bytes(const std::uint8_t* buffer, std::int32_t length) {
    if (buffer == nullptr) return "null";
    std::string text;
    for (std::int32_t i = 0; i < length && i < kShownBytes; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(buffer[i]));
        text += hex;
    }
    return text;
}

std::string list(std::initializer_list<std::string> arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += (text.empty() ? "" : ", ") + argument;
    return text;
}

std::string number(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace

template <typename Call>
std::int32_t TracingCSP2::traced(csp2_abi::Function function, const std::string& arguments, Call call) {
    const char* const name = csp2_abi::name_of(function);
    const std::string called = std::string("library: ") + name + "(" + arguments + ")";
    try {
        const std::int32_t result = call();
        write_line_(called + " = " + std::to_string(result));
        return result;
    } catch (const RuntimeError& e) {
        write_line_(called + " not called: error " + std::to_string(e.number()) + ": " +
                    standard_error_text(e.number()));
        throw;
    }
}

TracingCSP2::TracingCSP2(CSP2& library, std::ostream& trace)
    : TracingCSP2(library, [&trace](std::string_view line) { trace << line << "\n"; }) {}

std::int32_t TracingCSP2::csp2Init(std::int32_t port) {
    return traced(csp2_abi::Function::csp2Init, number(port), [&] { return library_.csp2Init(port); });
}

std::int32_t TracingCSP2::csp2Restore() {
    return traced(csp2_abi::Function::csp2Restore, "", [&] { return library_.csp2Restore(); });
}

std::int32_t TracingCSP2::csp2WakeUp() {
    return traced(csp2_abi::Function::csp2WakeUp, "", [&] { return library_.csp2WakeUp(); });
}

std::int32_t TracingCSP2::csp2Interrogate() {
    return traced(csp2_abi::Function::csp2Interrogate, "", [&] { return library_.csp2Interrogate(); });
}

std::int32_t TracingCSP2::csp2PowerDown() {
    return traced(csp2_abi::Function::csp2PowerDown, "", [&] { return library_.csp2PowerDown(); });
}

std::int32_t TracingCSP2::csp2ReadData() {
    return traced(csp2_abi::Function::csp2ReadData, "", [&] { return library_.csp2ReadData(); });
}

std::int32_t TracingCSP2::csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) {
    return traced(csp2_abi::Function::csp2GetPacket, list({filled(buffer), number(index), number(max_length)}),
                  [&] { return library_.csp2GetPacket(buffer, index, max_length); });
}

std::int32_t TracingCSP2::csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) {
    return traced(csp2_abi::Function::csp2TimeStamp2Str, list({read_bytes(stamp, 4), filled(text), number(max_length)}),
                  [&] { return library_.csp2TimeStamp2Str(stamp, text, max_length); });
}

std::int32_t TracingCSP2::csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) {
    return traced(csp2_abi::Function::csp2GetDeviceId, list({filled(id), number(max_length)}),
                  [&] { return library_.csp2GetDeviceId(id, max_length); });
}

std::int32_t TracingCSP2::csp2GetSystemStatus() {
    return traced(csp2_abi::Function::csp2GetSystemStatus, "", [&] { return library_.csp2GetSystemStatus(); });
}

std::int32_t TracingCSP2::csp2ClearData() {
    return traced(csp2_abi::Function::csp2ClearData, "", [&] { return library_.csp2ClearData(); });
}

std::int32_t TracingCSP2::csp2GetTime(std::uint8_t* clock) {
    return traced(csp2_abi::Function::csp2GetTime, filled(clock), [&] { return library_.csp2GetTime(clock); });
}

std::int32_t TracingCSP2::csp2SetTime(std::uint8_t* clock) {
    return traced(csp2_abi::Function::csp2SetTime, read_bytes(clock, csp2_size::clock),
                  [&] { return library_.csp2SetTime(clock); });
}

std::int32_t TracingCSP2::csp2SetDefaults() {
    return traced(csp2_abi::Function::csp2SetDefaults, "", [&] { return library_.csp2SetDefaults(); });
}

std::int32_t TracingCSP2::csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) {
    return traced(csp2_abi::Function::csp2GetParam, list({number(param), filled(buffer), number(max_length)}),
                  [&] { return library_.csp2GetParam(param, buffer, max_length); });
}

std::int32_t TracingCSP2::csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) {
    return traced(csp2_abi::Function::csp2SetParam, list({number(param), read_bytes(buffer, length), number(length)}),
                  [&] { return library_.csp2SetParam(param, buffer, length); });
}

std::int32_t TracingCSP2::csp2GetProtocol() {
    return traced(csp2_abi::Function::csp2GetProtocol, "", [&] { return library_.csp2GetProtocol(); });
}

std::int32_t TracingCSP2::csp2GetASCIIMode() {
    return traced(csp2_abi::Function::csp2GetASCIIMode, "", [&] { return library_.csp2GetASCIIMode(); });
}

std::int32_t TracingCSP2::csp2GetRTCMode() {
    return traced(csp2_abi::Function::csp2GetRTCMode, "", [&] { return library_.csp2GetRTCMode(); });
}

std::int32_t TracingCSP2::csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) {
    return traced(csp2_abi::Function::csp2GetSwVersion, list({filled(buffer), number(max_length)}),
                  [&] { return library_.csp2GetSwVersion(buffer, max_length); });
}

}  // namespace harrowtally
