#pragma once
// One simulated batch scanner behind the scanner library's calls: the connection rules, the packets
// of the last read, and the device's state kept in a state file or, without one, in memory.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "device.h"
#include "error_report.h"

namespace harrowtally::sim {

// The environment variable naming the state file.
inline constexpr const char* kStateVariable = "HARROWTALLY_SIM_STATE";

// Results. 0 and positive values are successes.
namespace result {
inline constexpr std::int32_t ok = 0;
inline constexpr std::int32_t no_scanner = -1;    // nothing answers on that port
inline constexpr std::int32_t port_busy = -2;     // another program holds the port
inline constexpr std::int32_t already_open = -3;  // csp2Init while a port is open
inline constexpr std::int32_t not_open = -4;      // the call needs an open port
inline constexpr std::int32_t no_packet = -5;     // index outside the packets of the last read
inline constexpr std::int32_t bad_argument = -6;  // missing or short buffer, value out of range
inline constexpr std::int32_t state_file = -7;    // the state file could not be read or written
inline constexpr std::int32_t injected = -8;      // a fault switch of the state file
inline constexpr std::int32_t internal = -9;      // anything unforeseen
}  // namespace result

class Simulator {
public:
    std::int32_t init(std::int32_t port);
    std::int32_t restore();
    std::int32_t wake_up() { return simple(Call::csp2WakeUp); }
    std::int32_t interrogate() { return simple(Call::csp2Interrogate); }
    std::int32_t power_down() { return simple(Call::csp2PowerDown); }
    std::int32_t read_data();
    std::int32_t get_packet(char* buffer, std::int32_t index, std::int32_t max_length);
    std::int32_t time_stamp_to_text(const unsigned char* stamp, char* text, std::int32_t max_length);
    std::int32_t get_device_id(char* id, std::int32_t max_length);
    std::int32_t get_system_status();
    std::int32_t clear_data();
    std::int32_t get_time(unsigned char* clock);
    std::int32_t set_time(const unsigned char* clock);
    std::int32_t set_defaults();
    std::int32_t get_param(std::int32_t param, char* buffer, std::int32_t max_length);
    std::int32_t set_param(std::int32_t param, const char* buffer, std::int32_t length);
    std::int32_t get_protocol();
    std::int32_t get_ascii_mode();
    std::int32_t get_rtc_mode();
    std::int32_t get_sw_version(char* buffer, std::int32_t max_length);

private:
    // Makes device_ the device the environment names; false when its state file is unusable.
    bool load();
    // The checks every call on an open port starts with: result::ok or the failure to return.
    std::int32_t check_open(Call call) const;
    std::int32_t simple(Call call);
    // Applies `change` to a copy of the device, stores the copy and only then adopts it.
    template <typename Change>
    std::int32_t commit(Change&& change);
    bool save(const Device& device);
    void drop_packets();

    std::optional<Device> demo_;                 // the built-in device, changed in memory only
    std::optional<Device> file_device_;          // the device of the state file, as last read
    std::optional<std::filesystem::path> path_;  // the state file behind device_, none for the demo
    Device* device_ = nullptr;
    bool open_ = false;
    ErrorReport errors_;  // what went wrong with the state file, each message said once

    // The packets of the last csp2ReadData, one after another; packet i starts at offsets_[i].
    bool data_read_ = false;
    std::vector<std::uint8_t> packets_;
    std::vector<std::size_t> offsets_;
};

}  // namespace harrowtally::sim
