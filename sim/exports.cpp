// The exported C functions of the simulated scanner library. No C++ exception leaves them: anything
// unforeseen becomes the negative result `internal`.
#include <cstdint>
#include <type_traits>

#include "scanner/csp2_abi.h"
#include "simulator.h"

#if defined(_WIN32)
#define CSP2_EXPORT  // the module-definition file lists the exports
#else
#define CSP2_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using harrowtally::sim::Simulator;

Simulator& simulator() noexcept {
    static Simulator instance;
    return instance;
}

template <typename Body>
std::int32_t guarded(Body&& body) noexcept {
    try {
        return body(simulator());
    } catch (...) {
        return harrowtally::sim::result::internal;
    }
}

}  // namespace

extern "C" {

CSP2_EXPORT std::int32_t CSP2_CALL csp2Init(std::int32_t port) {
    return guarded([&](Simulator& s) { return s.init(port); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2Restore() {
    return guarded([](Simulator& s) { return s.restore(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2WakeUp() {
    return guarded([](Simulator& s) { return s.wake_up(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2Interrogate() {
    return guarded([](Simulator& s) { return s.interrogate(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2PowerDown() {
    return guarded([](Simulator& s) { return s.power_down(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2ReadData() {
    return guarded([](Simulator& s) { return s.read_data(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetPacket(char* buffer, std::int32_t index, std::int32_t max_length) {
    return guarded([&](Simulator& s) { return s.get_packet(buffer, index, max_length); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2TimeStamp2Str(unsigned char* stamp, char* text, std::int32_t max_length) {
    return guarded([&](Simulator& s) { return s.time_stamp_to_text(stamp, text, max_length); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetDeviceId(char* id, std::int32_t max_length) {
    return guarded([&](Simulator& s) { return s.get_device_id(id, max_length); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetSystemStatus() {
    return guarded([](Simulator& s) { return s.get_system_status(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2ClearData() {
    return guarded([](Simulator& s) { return s.clear_data(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetTime(unsigned char* clock) {
    return guarded([&](Simulator& s) { return s.get_time(clock); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetTime(unsigned char* clock) {
    return guarded([&](Simulator& s) { return s.set_time(clock); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetDefaults() {
    return guarded([](Simulator& s) { return s.set_defaults(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetParam(std::int32_t param, char* buffer, std::int32_t max_length) {
    return guarded([&](Simulator& s) { return s.get_param(param, buffer, max_length); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetParam(std::int32_t param, char* buffer, std::int32_t length) {
    return guarded([&](Simulator& s) { return s.set_param(param, buffer, length); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetProtocol() {
    return guarded([](Simulator& s) { return s.get_protocol(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetASCIIMode() {
    return guarded([](Simulator& s) { return s.get_ascii_mode(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetRTCMode() {
    return guarded([](Simulator& s) { return s.get_rtc_mode(); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetSwVersion(char* buffer, std::int32_t max_length) {
    return guarded([&](Simulator& s) { return s.get_sw_version(buffer, max_length); });
}

}  // extern "C"

// The exports have exactly the types the component's loader casts them to.
namespace abi = harrowtally::csp2_abi;
static_assert(std::is_same_v<decltype(&csp2Init), abi::Init>);
static_assert(std::is_same_v<decltype(&csp2Restore), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2WakeUp), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2Interrogate), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2PowerDown), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2ReadData), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetPacket), abi::GetPacket>);
static_assert(std::is_same_v<decltype(&csp2TimeStamp2Str), abi::TimeStamp2Str>);
static_assert(std::is_same_v<decltype(&csp2GetDeviceId), abi::BufferLength>);
static_assert(std::is_same_v<decltype(&csp2GetSystemStatus), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2ClearData), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetTime), abi::ClockBuffer>);
static_assert(std::is_same_v<decltype(&csp2SetTime), abi::ClockBuffer>);
static_assert(std::is_same_v<decltype(&csp2SetDefaults), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetParam), abi::ParamBuffer>);
static_assert(std::is_same_v<decltype(&csp2SetParam), abi::ParamBuffer>);
static_assert(std::is_same_v<decltype(&csp2GetProtocol), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetASCIIMode), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetRTCMode), abi::NoArgs>);
static_assert(std::is_same_v<decltype(&csp2GetSwVersion), abi::BufferLength>);
