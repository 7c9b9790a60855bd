#include "support/scripted_csp2.h"

#include "common/runtime_error.h"

#include <algorithm>
#include <cstring>

namespace harrowtally::testing {

Bytes ScriptedCSP2::packet(std::uint8_t type, const std::string& barcode, std::array<std::uint8_t, 4> stamp) {
    Bytes p(barcode.size() + 6);
    p[0] = static_cast<std::uint8_t>(barcode.size() + 5);
    p[1] = type;
    for (std::size_t i = 0; i < barcode.size(); ++i) p[2 + i] = static_cast<std::uint8_t>(barcode[i]);
    for (std::size_t i = 0; i < stamp.size(); ++i) p[2 + barcode.size() + i] = stamp[i];
    return p;
}

std::int32_t ScriptedCSP2::next(std::deque<std::int32_t>& queue, std::int32_t fallback) {
    if (queue.empty()) return fallback;
    const std::int32_t v = queue.front();
    queue.pop_front();
    return v;
}

std::int32_t ScriptedCSP2::csp2Init(std::int32_t port) {
    record("csp2Init(" + std::to_string(port) + ")");
    auto it = init_results.find(port);
    const std::int32_t r = it == init_results.end() ? init_default : it->second;
    if (r == 0) port_open = true;
    return r;
}

std::int32_t ScriptedCSP2::csp2Restore() {
    record("csp2Restore()");
    port_open = false;
    ++restores;
    return 0;
}

std::int32_t ScriptedCSP2::csp2WakeUp() {
    record("csp2WakeUp()");
    return 0;
}

std::int32_t ScriptedCSP2::csp2Interrogate() {
    record("csp2Interrogate()");
    return 0;
}

std::int32_t ScriptedCSP2::csp2PowerDown() {
    record("csp2PowerDown()");
    return 0;
}

std::int32_t ScriptedCSP2::csp2ReadData() {
    record("csp2ReadData()");
    return next(read_data_results, read_data_default);
}

std::int32_t ScriptedCSP2::csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) {
    record("csp2GetPacket(" + std::to_string(index) + "," + std::to_string(max_length) + ")");
    if (index < 0 || index >= static_cast<std::int32_t>(packets.size()) || index >= fail_packet_from) return -1;
    const Bytes& p = packets[static_cast<std::size_t>(index)];
    std::copy_n(p.begin(), std::min<std::size_t>(p.size(), static_cast<std::size_t>(max_length)), buffer);
    const auto result = packet_results.find(index);
    return result != packet_results.end() ? result->second : static_cast<std::int32_t>(p.size());
}

std::int32_t ScriptedCSP2::csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) {
    record("csp2TimeStamp2Str(" + std::to_string(max_length) + ")");
    const std::string s = stamp_text(stamp);
    std::copy_n(s.begin(), std::min<std::size_t>(s.size(), static_cast<std::size_t>(max_length)), text);
    return 0;
}

std::int32_t ScriptedCSP2::csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) {
    record("csp2GetDeviceId(" + std::to_string(max_length) + ")");
    if (!device_id) return -1;
    std::memcpy(id, device_id->data(), std::min<std::size_t>(device_id->size(), static_cast<std::size_t>(max_length)));
    return 0;
}

std::int32_t ScriptedCSP2::csp2GetSystemStatus() {
    record("csp2GetSystemStatus()");
    return next(status_results, status_default);
}

std::int32_t ScriptedCSP2::csp2ClearData() {
    record("csp2ClearData()");
    return next(clear_results, clear_default);
}

std::int32_t ScriptedCSP2::csp2GetTime(std::uint8_t* clock) {
    record("csp2GetTime()");
    if (!clock_value) return -1;
    std::memcpy(clock, clock_value->data(), 6);
    return 0;
}

std::int32_t ScriptedCSP2::csp2SetTime(std::uint8_t* clock) {
    record("csp2SetTime()");
    std::array<std::uint8_t, 6> v{};
    std::memcpy(v.data(), clock, 6);
    set_times.push_back(v);
    return 0;
}

void ScriptedCSP2::inspect(const char* name, const std::uint8_t* area, std::int32_t size) {
    if (keep_areas && area != nullptr) areas.emplace_back(area, area + size);
    if (name == fail_call) throw RuntimeError(err::dll_function_missing);
}

std::int32_t ScriptedCSP2::csp2SetDefaults() {
    inspect("csp2SetDefaults", nullptr, 0);
    record("csp2SetDefaults()");
    return 0;
}

std::int32_t ScriptedCSP2::csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) {
    inspect("csp2GetParam", buffer, max_length);
    record("csp2GetParam(" + std::to_string(param) + "," + std::to_string(max_length) + ")");
    auto it = params.find(param);
    if (it == params.end()) return -1;
    std::memcpy(buffer, it->second.data(),
                std::min<std::size_t>(it->second.size(), static_cast<std::size_t>(max_length)));
    return 0;
}

std::int32_t ScriptedCSP2::csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) {
    inspect("csp2SetParam", buffer, 10);
    record("csp2SetParam(" + std::to_string(param) + "," + std::to_string(length) + ")");
    written_params.emplace_back(param, Bytes(buffer, buffer + length));
    return set_param_result;
}

std::int32_t ScriptedCSP2::csp2GetProtocol() {
    record("csp2GetProtocol()");
    return protocol_result;
}

std::int32_t ScriptedCSP2::csp2GetASCIIMode() {
    record("csp2GetASCIIMode()");
    return ascii_result;
}

std::int32_t ScriptedCSP2::csp2GetRTCMode() {
    record("csp2GetRTCMode()");
    return rtc_result;
}

std::int32_t ScriptedCSP2::csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) {
    inspect("csp2GetSwVersion", buffer, max_length);
    record("csp2GetSwVersion(" + std::to_string(max_length) + ")");
    if (!sw_version) return -1;
    std::memcpy(buffer, sw_version->data(),
                std::min<std::size_t>(sw_version->size(), static_cast<std::size_t>(max_length)));
    return 0;
}

}  // namespace harrowtally::testing
