#pragma once
// The simulated scanner library as the tests use it: each SimLibrary is a private copy of the built
// file loaded with dlopen, so every instance starts as a freshly loaded library would, as a second
// process would see it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "scanner/csp2_abi.h"

namespace harrowtally::sim_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The simulator's results, as documented for the state file's users.
namespace result {
inline constexpr int ok = 0;
inline constexpr int no_scanner = -1;
inline constexpr int port_busy = -2;
inline constexpr int already_open = -3;
inline constexpr int not_open = -4;
inline constexpr int no_packet = -5;
inline constexpr int bad_argument = -6;
inline constexpr int state_file = -7;
inline constexpr int injected = -8;
}  // namespace result

class SimLibrary {
public:
    SimLibrary(const fs::path& folder, int copy_number);
    ~SimLibrary();
    SimLibrary(const SimLibrary&) = delete;
    SimLibrary& operator=(const SimLibrary&) = delete;

    csp2_abi::Init init;
    csp2_abi::NoArgs restore, wake_up, interrogate, power_down, read_data, system_status, clear_data, set_defaults,
        protocol, ascii_mode, rtc_mode;
    csp2_abi::GetPacket get_packet;
    csp2_abi::TimeStamp2Str stamp_to_text;
    csp2_abi::BufferLength device_id, sw_version;
    csp2_abi::ClockBuffer get_time, set_time;
    csp2_abi::ParamBuffer get_param, set_param;

    // Conveniences over the calls above. packet() is empty when csp2GetPacket fails.
    Bytes packet(int index);
    std::string stamp_text(const std::uint8_t* stamp);
    int param(int number);

private:
    void* handle_ = nullptr;
};

std::string read_file(const fs::path& path);
inline std::string example_device() {
    return read_file(HARROWTALLY_SIM_EXAMPLE);
}

// Every function but csp2Init by its exported name, called with valid arguments and these buffers.
struct CallBuffers {
    std::array<char, 500> bytes{};
    std::array<std::uint8_t, 6> clock{0, 0, 12, 1, 6, 30};
    std::array<std::uint8_t, 4> stamp{0x03, 0x82, 0x08, 0x69};
};
using NamedCalls = std::vector<std::pair<std::string, std::function<int()>>>;
NamedCalls every_call(SimLibrary& lib, CallBuffers& b);

// Each test gets its own folder, its own library instances and the state file variable set to
// `state` in that folder (unset for the built-in device).
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new instance of the library; earlier instances stay loaded.
    SimLibrary& load();
    // Writes the state file and points the simulator at it.
    void use_state(const std::string& text);
    void use_builtin_device();
    std::string state_text() const { return read_file(state); }

    fs::path folder;
    fs::path state;

private:
    std::vector<std::unique_ptr<SimLibrary>> libraries_;
};

// A packet taken apart: byte 0 the length L after it, byte 1 the type, then L - 5 characters of
// barcode and a 4-byte stamp.
struct Packet {
    int type;
    std::string text;
    std::array<std::uint8_t, 4> stamp;
};
Packet split(const Bytes& packet);

// Whether a barcode of the simulator's code types 13 (EAN-13), 12 (UPC-A), 8 (EAN-8), 39 (Code 39)
// and 128 (GS1-128 with application identifier 00 or 01) ends in its valid check character.
bool valid_check_character(int type, const std::string& text);

}  // namespace harrowtally::sim_test
