#pragma once
// An in-process scanner library for unit tests: records every call with its arguments and answers
// with scripted results.
#include <array>
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "scanner/csp2.h"

namespace harrowtally::testing {

using Bytes = std::vector<std::uint8_t>;

class ScriptedCSP2 : public CSP2 {
public:
    // Every call as "name(arg,...)"; buffers appear as their length argument only.
    std::vector<std::string> calls;
    // Told of each call as it is recorded, before it answers.
    std::function<void(const std::string& call)> on_call;
    // The call named here (a name such as "csp2GetParam") fails with a runtime error, as a library
    // whose function cannot be found does.
    std::string fail_call;
    // With keep_areas, each whole buffer area as it was handed over: csp2GetParam, csp2SetParam
    // (all 10 bytes of the core's parameter buffer), csp2GetSwVersion.
    bool keep_areas = false;
    std::vector<Bytes> areas;

    // csp2Init: result per port, else init_default.
    std::map<std::int32_t, std::int32_t> init_results;
    std::int32_t init_default = -1;
    // csp2ReadData / csp2GetSystemStatus / csp2ClearData: queued results, then the default.
    std::deque<std::int32_t> read_data_results;
    std::int32_t read_data_default = 0;
    std::deque<std::int32_t> status_results;
    std::int32_t status_default = 0;
    std::deque<std::int32_t> clear_results;
    std::int32_t clear_default = 0;
    // csp2GetDeviceId copies these bytes (at most the length given) when set.
    std::optional<Bytes> device_id;
    // csp2GetPacket(index) copies packets[index] when present and index < fail_packet_from;
    // otherwise it returns -1 and leaves the buffer alone.
    std::vector<Bytes> packets;
    std::int32_t fail_packet_from = INT32_MAX;
    // What csp2GetPacket(index) returns instead of the packet's size, when set here.
    std::map<std::int32_t, std::int32_t> packet_results;
    // csp2TimeStamp2Str writes this text for a stamp (without a terminator beyond the text).
    std::function<std::string(const std::uint8_t* stamp)> stamp_text = [](const std::uint8_t*) {
        return std::string("14:30:05   12/06/26");
    };
    // csp2GetTime copies this value when set; csp2SetTime records what it was given.
    std::optional<std::array<std::uint8_t, 6>> clock_value;
    std::vector<std::array<std::uint8_t, 6>> set_times;
    // csp2GetParam copies params[number] when present; csp2SetParam records (number, bytes).
    std::map<std::int32_t, Bytes> params;
    std::vector<std::pair<std::int32_t, Bytes>> written_params;
    std::int32_t set_param_result = 0;
    std::int32_t protocol_result = 1;
    std::int32_t ascii_result = 1;
    std::int32_t rtc_result = 0;
    std::optional<Bytes> sw_version;

    // Port bookkeeping: opened by an csp2Init that returned 0, closed by csp2Restore.
    bool port_open = false;
    int restores = 0;

    // A packet holding type, barcode and a 4-byte stamp.
    static Bytes packet(std::uint8_t type, const std::string& barcode,
                        std::array<std::uint8_t, 4> stamp = {1, 2, 3, 4});

    std::int32_t csp2Init(std::int32_t port) override;
    std::int32_t csp2Restore() override;
    std::int32_t csp2WakeUp() override;
    std::int32_t csp2Interrogate() override;
    std::int32_t csp2PowerDown() override;
    std::int32_t csp2ReadData() override;
    std::int32_t csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) override;
    std::int32_t csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) override;
    std::int32_t csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) override;
    std::int32_t csp2GetSystemStatus() override;
    std::int32_t csp2ClearData() override;
    std::int32_t csp2GetTime(std::uint8_t* clock) override;
    std::int32_t csp2SetTime(std::uint8_t* clock) override;
    std::int32_t csp2SetDefaults() override;
    std::int32_t csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) override;
    std::int32_t csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) override;
    std::int32_t csp2GetProtocol() override;
    std::int32_t csp2GetASCIIMode() override;
    std::int32_t csp2GetRTCMode() override;
    std::int32_t csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) override;

private:
    void record(std::string call) {
        if (on_call) on_call(call);
        calls.push_back(std::move(call));
    }
    // Keeps the buffer area and fails the call when the test asked for it.
    void inspect(const char* name, const std::uint8_t* area, std::int32_t size);
    static std::int32_t next(std::deque<std::int32_t>& queue, std::int32_t fallback);
};

// A clock whose time the test sets; each read can advance it.
class FakeClock : public Clock {
public:
    TimeOfDay now{14, 30, 5};
    LocalDateTime date{2026, 12, 6, 14, 30, 5};
    int reads = 0;
    TimeOfDay time_of_day() override {
        ++reads;
        return now;
    }
    LocalDateTime local_now() override { return date; }
};

// A pause that returns at once and counts; an optional hook runs inside it (re-entrancy tests).
class CountingPause : public Pause {
public:
    int count = 0;
    std::function<void()> during;
    void scanner_pause() override {
        ++count;
        if (during) during();
    }
};

}  // namespace harrowtally::testing
