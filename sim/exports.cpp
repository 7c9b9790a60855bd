// The exported C functions of the simulated scanner library. No C++ exception leaves them: anything
// unforeseen becomes the negative result `internal`. Every call goes into the call journal when one
// is asked for.
#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>

#include "journal.h"
#include "scanner/csp2_abi.h"
#include "simulator.h"

#if defined(_WIN32)
#define CSP2_EXPORT  // the module-definition file lists the exports
#else
#define CSP2_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using harrowtally::sim::Simulator;
using Call = harrowtally::csp2_abi::Function;

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

// Runs the call and journals it; `arguments` gives the text between the parentheses and is only
// built when the journal is on.
template <typename Body, typename Arguments>
std::int32_t call(Call function, Body&& body, Arguments&& arguments) noexcept {
    const std::int32_t r = guarded(body);
    if (harrowtally::sim::journal_active()) {
        std::string text;
        try {
            text = arguments();
        } catch (...) {
            text = "?";
        }
        harrowtally::sim::journal_call(harrowtally::csp2_abi::name_of(function), text, r);
    }
    return r;
}

std::string no_arguments() {
    return {};
}

std::string list(std::initializer_list<std::string> parts) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) text += ',';
        text += part;
    }
    return text;
}

using harrowtally::sim::input_bytes;
using harrowtally::sim::output_buffer;
using std::to_string;

// The bytes of a parameter write that the journal shows: the length asked for, at most 16.
std::int32_t shown_length(std::int32_t length) {
    return std::clamp(length, 0, 16);
}

}  // namespace

extern "C" {

CSP2_EXPORT std::int32_t CSP2_CALL csp2Init(std::int32_t port) {
    return call(
        Call::csp2Init, [&](Simulator& s) { return s.init(port); }, [&] { return to_string(port); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2Restore() {
    return call(
        Call::csp2Restore, [](Simulator& s) { return s.restore(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2WakeUp() {
    return call(
        Call::csp2WakeUp, [](Simulator& s) { return s.wake_up(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2Interrogate() {
    return call(
        Call::csp2Interrogate, [](Simulator& s) { return s.interrogate(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2PowerDown() {
    return call(
        Call::csp2PowerDown, [](Simulator& s) { return s.power_down(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2ReadData() {
    return call(
        Call::csp2ReadData, [](Simulator& s) { return s.read_data(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetPacket(char* buffer, std::int32_t index, std::int32_t max_length) {
    return call(
        Call::csp2GetPacket, [&](Simulator& s) { return s.get_packet(buffer, index, max_length); },
        [&] {
            return list({output_buffer(buffer), to_string(index), to_string(max_length)});
        });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2TimeStamp2Str(unsigned char* stamp, char* text, std::int32_t max_length) {
    return call(
        Call::csp2TimeStamp2Str, [&](Simulator& s) { return s.time_stamp_to_text(stamp, text, max_length); },
        [&] {
            return list({input_bytes(stamp, 4), output_buffer(text), to_string(max_length)});
        });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetDeviceId(char* id, std::int32_t max_length) {
    return call(
        Call::csp2GetDeviceId, [&](Simulator& s) { return s.get_device_id(id, max_length); },
        [&] {
            return list({output_buffer(id), to_string(max_length)});
        });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetSystemStatus() {
    return call(
        Call::csp2GetSystemStatus, [](Simulator& s) { return s.get_system_status(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2ClearData() {
    return call(
        Call::csp2ClearData, [](Simulator& s) { return s.clear_data(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetTime(unsigned char* clock) {
    return call(
        Call::csp2GetTime, [&](Simulator& s) { return s.get_time(clock); }, [&] { return output_buffer(clock); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetTime(unsigned char* clock) {
    return call(
        Call::csp2SetTime, [&](Simulator& s) { return s.set_time(clock); }, [&] { return input_bytes(clock, 6); });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetDefaults() {
    return call(
        Call::csp2SetDefaults, [](Simulator& s) { return s.set_defaults(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetParam(std::int32_t param, char* buffer, std::int32_t max_length) {
    return call(
        Call::csp2GetParam, [&](Simulator& s) { return s.get_param(param, buffer, max_length); },
        [&] {
            return list({to_string(param), output_buffer(buffer), to_string(max_length)});
        });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2SetParam(std::int32_t param, char* buffer, std::int32_t length) {
    return call(
        Call::csp2SetParam, [&](Simulator& s) { return s.set_param(param, buffer, length); },
        [&] {
            const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
            return list({to_string(param), input_bytes(bytes, shown_length(length)), to_string(length)});
        });
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetProtocol() {
    return call(
        Call::csp2GetProtocol, [](Simulator& s) { return s.get_protocol(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetASCIIMode() {
    return call(
        Call::csp2GetASCIIMode, [](Simulator& s) { return s.get_ascii_mode(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetRTCMode() {
    return call(
        Call::csp2GetRTCMode, [](Simulator& s) { return s.get_rtc_mode(); }, no_arguments);
}
CSP2_EXPORT std::int32_t CSP2_CALL csp2GetSwVersion(char* buffer, std::int32_t max_length) {
    return call(
        Call::csp2GetSwVersion, [&](Simulator& s) { return s.get_sw_version(buffer, max_length); },
        [&] {
            return list({output_buffer(buffer), to_string(max_length)});
        });
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
