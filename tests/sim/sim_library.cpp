#include "tests/sim/sim_library.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace harrowtally::sim_test {
namespace {

template <typename Fn>
void bind(void* handle, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
    if (fn == nullptr) throw std::runtime_error(std::string("missing export ") + name);
}

}  // namespace

SimLibrary::SimLibrary(const fs::path& folder, int copy_number) {
    const fs::path copy = folder / ("libcsp2a-" + std::to_string(copy_number) + ".so");
    fs::copy_file(HARROWTALLY_SIM_LIBRARY, copy, fs::copy_options::overwrite_existing);
    handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
    bind(handle_, "csp2Init", init);
    bind(handle_, "csp2Restore", restore);
    bind(handle_, "csp2WakeUp", wake_up);
    bind(handle_, "csp2Interrogate", interrogate);
    bind(handle_, "csp2PowerDown", power_down);
    bind(handle_, "csp2ReadData", read_data);
    bind(handle_, "csp2GetPacket", get_packet);
    bind(handle_, "csp2TimeStamp2Str", stamp_to_text);
    bind(handle_, "csp2GetDeviceId", device_id);
    bind(handle_, "csp2GetSystemStatus", system_status);
    bind(handle_, "csp2ClearData", clear_data);
    bind(handle_, "csp2GetTime", get_time);
    bind(handle_, "csp2SetTime", set_time);
    bind(handle_, "csp2SetDefaults", set_defaults);
    bind(handle_, "csp2GetParam", get_param);
    bind(handle_, "csp2SetParam", set_param);
    bind(handle_, "csp2GetProtocol", protocol);
    bind(handle_, "csp2GetASCIIMode", ascii_mode);
    bind(handle_, "csp2GetRTCMode", rtc_mode);
    bind(handle_, "csp2GetSwVersion", sw_version);
}

SimLibrary::~SimLibrary() {
    if (handle_ != nullptr) {
        restore();
        dlclose(handle_);
    }
}

Bytes SimLibrary::packet(int index) {
    std::vector<char> buffer(500, '\x7F');
    const int r = get_packet(buffer.data(), index, 500);
    if (r < 0) return {};
    const auto length = static_cast<std::size_t>(static_cast<std::uint8_t>(buffer[0])) + 1;
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
}

std::string SimLibrary::stamp_text(const std::uint8_t* stamp) {
    std::array<std::uint8_t, 4> copy{stamp[0], stamp[1], stamp[2], stamp[3]};
    char text[30] = {};
    stamp_to_text(copy.data(), text, 30);
    return std::string(text, 30);
}

int SimLibrary::param(int number) {
    char buffer[10] = {};
    if (get_param(number, buffer, 10) < 0) return -1;
    return static_cast<std::uint8_t>(buffer[0]);
}

void SimTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "harrowtally-sim-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    state = folder / "device.txt";
    unsetenv("HARROWTALLY_SIM_STATE");
}

void SimTest::TearDown() {
    libraries_.clear();
    unsetenv("HARROWTALLY_SIM_STATE");
    std::error_code ec;
    fs::remove_all(folder, ec);
}

SimLibrary& SimTest::load() {
    libraries_.push_back(std::make_unique<SimLibrary>(folder, static_cast<int>(libraries_.size())));
    return *libraries_.back();
}

void SimTest::use_state(const std::string& text) {
    std::ofstream(state, std::ios::binary) << text;
    setenv("HARROWTALLY_SIM_STATE", state.c_str(), 1);
}

void SimTest::use_builtin_device() {
    unsetenv("HARROWTALLY_SIM_STATE");
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

NamedCalls every_call(SimLibrary& l, CallBuffers& b) {
    char* bytes = b.bytes.data();
    return {
        {"csp2Restore", [&l] { return l.restore(); }},
        {"csp2WakeUp", [&l] { return l.wake_up(); }},
        {"csp2Interrogate", [&l] { return l.interrogate(); }},
        {"csp2PowerDown", [&l] { return l.power_down(); }},
        {"csp2ReadData", [&l] { return l.read_data(); }},
        {"csp2GetPacket", [&l, bytes] { return l.get_packet(bytes, 0, 500); }},
        {"csp2TimeStamp2Str", [&l, &b, bytes] { return l.stamp_to_text(b.stamp.data(), bytes, 30); }},
        {"csp2GetDeviceId", [&l, bytes] { return l.device_id(bytes, 9); }},
        {"csp2GetSystemStatus", [&l] { return l.system_status(); }},
        {"csp2ClearData", [&l] { return l.clear_data(); }},
        {"csp2GetTime", [&l, &b] { return l.get_time(b.clock.data()); }},
        {"csp2SetTime", [&l, &b] { return l.set_time(b.clock.data()); }},
        {"csp2SetDefaults", [&l] { return l.set_defaults(); }},
        {"csp2GetParam", [&l, bytes] { return l.get_param(7, bytes, 10); }},
        {"csp2SetParam", [&l, bytes] { return l.set_param(7, bytes, 2); }},
        {"csp2GetProtocol", [&l] { return l.protocol(); }},
        {"csp2GetASCIIMode", [&l] { return l.ascii_mode(); }},
        {"csp2GetRTCMode", [&l] { return l.rtc_mode(); }},
        {"csp2GetSwVersion", [&l, bytes] { return l.sw_version(bytes, 10); }},
    };
}

Packet split(const Bytes& packet) {
    Packet p{};
    if (packet.size() < 6) {
        ADD_FAILURE() << "packet of " << packet.size() << " bytes";
        return p;
    }
    const std::size_t length = packet[0];
    EXPECT_EQ(packet.size(), length + 1);
    p.type = packet[1];
    p.text.assign(packet.begin() + 2, packet.begin() + static_cast<std::ptrdiff_t>(length - 3));
    std::copy(packet.begin() + static_cast<std::ptrdiff_t>(length - 3),
              packet.begin() + static_cast<std::ptrdiff_t>(length + 1), p.stamp.begin());
    return p;
}

namespace {

// GS1 numbers padded to 18 digits weigh 3, 1, 3, ... from the left; the 18th digit makes the sum a
// multiple of 10.
bool gs1_valid(const std::string& digits) {
    if (digits.empty() || digits.size() > 18) return false;
    const std::string padded = std::string(18 - digits.size(), '0') + digits;
    int sum = 0;
    for (std::size_t i = 0; i < 18; ++i) {
        if (padded[i] < '0' || padded[i] > '9') return false;
        sum += (padded[i] - '0') * (i % 2 == 0 ? 3 : 1);
    }
    return sum % 10 == 0;
}

}  // namespace

bool valid_check_character(int type, const std::string& text) {
    switch (type) {
        case 8:
            return text.size() == 8 && gs1_valid(text);
        case 12:
            return text.size() == 12 && gs1_valid(text);
        case 13:
            return text.size() == 13 && gs1_valid(text);
        case 39: {
            static const std::string set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
            if (text.size() < 2) return false;
            std::size_t sum = 0;
            for (std::size_t i = 0; i + 1 < text.size(); ++i) {
                const auto v = set.find(text[i]);
                if (v == std::string::npos) return false;
                sum += v;
            }
            return set[sum % 43] == text.back();
        }
        case 128:
            if (text.rfind("00", 0) == 0) return text.size() == 20 && gs1_valid(text.substr(2));
            if (text.rfind("01", 0) == 0) return text.size() == 16 && gs1_valid(text.substr(2));
            return false;
        default:
            return false;
    }
}

}  // namespace harrowtally::sim_test
