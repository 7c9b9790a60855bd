#include "simulator.h"

#include "state_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <system_error>

namespace harrowtally::sim {
namespace {

// Copies `text` into a buffer of max_length bytes, always ending it with a NUL inside the buffer.
// ok when the whole text fit, bad_argument when it had to be cut.
std::int32_t copy_text(const std::string& text, char* buffer, std::int32_t max_length) {
    if (buffer == nullptr || max_length <= 0) return result::bad_argument;
    const std::size_t room = static_cast<std::size_t>(max_length) - 1;
    const std::size_t n = std::min(text.size(), room);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n == text.size() ? result::ok : result::bad_argument;
}

std::string stamp_text(const DateTime& t, StampFault fault) {
    const int yy = t.year % 100;
    char text[64];
    switch (fault) {
        case StampFault::no_slash:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d   %02d-%02d-%02d", t.hour, t.minute, t.second, t.month,
                          t.day, yy);
            break;
        case StampFault::one_slash:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d   %02d/%02d-%02d", t.hour, t.minute, t.second, t.month,
                          t.day, yy);
            break;
        case StampFault::early_slash:
            // The date first and without its month.
            std::snprintf(text, sizeof text, "/%02d/%02d %02d:%02d:%02d", t.day, yy, t.hour, t.minute, t.second);
            break;
        case StampFault::bad_date:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d   00/00/%02d", t.hour, t.minute, t.second, yy);
            break;
        case StampFault::none:
            // The time of day padded with blanks to 11 characters, then month/day/year.
            std::snprintf(text, sizeof text, "%02d:%02d:%02d   %02d/%02d/%02d", t.hour, t.minute, t.second, t.month,
                          t.day, yy);
            break;
    }
    return text;
}

}  // namespace

bool Simulator::load() {
    const char* variable = std::getenv(kStateVariable);
    if (variable == nullptr || *variable == '\0') {
        if (!demo_) demo_ = demo_device(local_now());
        path_.reset();
        device_ = &*demo_;
        return true;
    }
    device_ = nullptr;
    path_ = std::filesystem::path(variable);
    std::error_code ec;
    // Whatever keeps the path from being looked at (a loop of links, a denied folder) is left to
    // the read to report; only a path that is plainly missing (or a link to one) starts anew.
    if (!std::filesystem::exists(*path_, ec) && !ec) {
        // A new state file starts as a copy of the demo device.
        Device fresh = demo_device(local_now());
        if (!save(fresh)) return false;
        file_device_ = std::move(fresh);
    } else {
        std::string text, error;
        if (!read_state_file(*path_, text, error)) {
            errors_.report(error);
            return false;
        }
        std::istringstream in(text);
        try {
            file_device_ = read_device(in);
        } catch (const FormatError& e) {
            errors_.report(path_->string() + ": " + e.what());
            return false;
        }
        errors_.clear();
    }
    device_ = &*file_device_;
    return true;
}

bool Simulator::save(const Device& device) {
    if (!path_) return true;
    std::ostringstream out;
    write_device(out, device);
    std::string error;
    if (!replace_state_file(*path_, out.str(), error)) {
        errors_.report(error);
        return false;
    }
    errors_.clear();
    return true;
}

template <typename Change>
std::int32_t Simulator::commit(Change&& change) {
    Device changed = *device_;
    change(changed);
    if (!save(changed)) return result::state_file;
    *device_ = std::move(changed);
    return result::ok;
}

std::int32_t Simulator::check_open(Call call) const {
    if (!open_) return result::not_open;
    if (device_->fails(call)) return result::injected;
    return result::ok;
}

std::int32_t Simulator::simple(Call call) {
    return check_open(call);
}

void Simulator::drop_packets() {
    data_read_ = false;
    packets_.clear();
    offsets_.clear();
}

std::int32_t Simulator::init(std::int32_t port) {
    if (open_) return result::already_open;
    if (!load()) return result::state_file;
    const Device& d = *device_;
    if (d.fails(Call::csp2Init)) return result::injected;
    if (std::find(d.busy_ports.begin(), d.busy_ports.end(), port) != d.busy_ports.end()) return result::port_busy;
    if (!d.port || *d.port != port || !d.docked) return result::no_scanner;
    open_ = true;
    drop_packets();
    return result::ok;
}

std::int32_t Simulator::restore() {
    if (open_ && device_->fails(Call::csp2Restore)) return result::injected;
    open_ = false;
    drop_packets();
    return result::ok;
}

std::int32_t Simulator::read_data() {
    if (const auto r = check_open(Call::csp2ReadData); r != result::ok) return r;
    const Device& d = *device_;
    drop_packets();
    if (d.count_result && *d.count_result < 0) return *d.count_result;
    const std::size_t count = d.barcode_count();
    offsets_.reserve(count);
    packets_.reserve(count * 24);
    for (std::size_t i = 0; i < count; ++i) {
        const Barcode b = d.barcode(i);
        const Stamp stamp = pack_stamp(b.scanned);
        offsets_.push_back(packets_.size());
        packets_.push_back(static_cast<std::uint8_t>(b.text.size() + 5));
        packets_.push_back(b.type);
        packets_.insert(packets_.end(), b.text.begin(), b.text.end());
        packets_.insert(packets_.end(), stamp.begin(), stamp.end());
    }
    data_read_ = true;
    return d.count_result.value_or(static_cast<std::int32_t>(count));
}

std::int32_t Simulator::get_packet(char* buffer, std::int32_t index, std::int32_t max_length) {
    if (const auto r = check_open(Call::csp2GetPacket); r != result::ok) return r;
    if (buffer == nullptr) return result::bad_argument;
    if (!data_read_ || index < 0 || static_cast<std::size_t>(index) >= offsets_.size()) return result::no_packet;
    if (device_->packet_fail_at && index + 1 >= *device_->packet_fail_at) return result::injected;
    const std::size_t start = offsets_[static_cast<std::size_t>(index)];
    const std::size_t size = std::size_t{packets_[start]} + 1;
    if (max_length < 0 || size > static_cast<std::size_t>(max_length)) return result::bad_argument;
    // A library that reports a packet it did not write: the buffer keeps what it held.
    if (device_->packet_unwritten_at && index + 1 >= *device_->packet_unwritten_at)
        return static_cast<std::int32_t>(size);
    std::memcpy(buffer, packets_.data() + start, size);
    return static_cast<std::int32_t>(size);
}

std::int32_t Simulator::time_stamp_to_text(const unsigned char* stamp, char* text, std::int32_t max_length) {
    // A pure conversion: no port needed. The faults are those of the device last loaded.
    if (device_ != nullptr && device_->fails(Call::csp2TimeStamp2Str)) return result::injected;
    if (stamp == nullptr) return result::bad_argument;
    const StampFault fault = device_ != nullptr ? device_->stamp_fault : StampFault::none;
    return copy_text(stamp_text(unpack_stamp(stamp), fault), text, max_length);
}

std::int32_t Simulator::get_device_id(char* id, std::int32_t max_length) {
    if (const auto r = check_open(Call::csp2GetDeviceId); r != result::ok) return r;
    if (id == nullptr || max_length <= 0) return result::bad_argument;
    const auto& bytes = device_->id;
    const std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(max_length));
    std::memcpy(id, bytes.data(), n);
    if (n < bytes.size()) return result::bad_argument;
    if (static_cast<std::size_t>(max_length) > n) id[n] = '\0';
    return result::ok;
}

std::int32_t Simulator::get_system_status() {
    if (const auto r = check_open(Call::csp2GetSystemStatus); r != result::ok) return r;
    return device_->system_status;
}

std::int32_t Simulator::clear_data() {
    if (const auto r = check_open(Call::csp2ClearData); r != result::ok) return r;
    if (device_->erase_failures < 0) return result::injected;
    if (device_->erase_failures > 0) {
        const auto r = commit([](Device& d) { --d.erase_failures; });
        return r == result::ok ? result::injected : r;
    }
    const auto r = commit([](Device& d) {
        d.barcodes.clear();
        d.generated = 0;
    });
    if (r == result::ok) drop_packets();
    return r;
}

std::int32_t Simulator::get_time(unsigned char* clock) {
    if (const auto r = check_open(Call::csp2GetTime); r != result::ok) return r;
    if (clock == nullptr) return result::bad_argument;
    if (device_->clock_lost) {
        std::memset(clock, 255, 6);
        return result::ok;
    }
    const DateTime t = from_seconds(to_seconds(local_now()) + device_->clock_offset);
    const int fields[6] = {t.second, t.minute, t.hour, t.day, t.month, t.year % 100};
    for (int i = 0; i < 6; ++i) clock[i] = static_cast<unsigned char>(fields[i]);
    return result::ok;
}

std::int32_t Simulator::set_time(const unsigned char* clock) {
    if (const auto r = check_open(Call::csp2SetTime); r != result::ok) return r;
    if (clock == nullptr) return result::bad_argument;
    const DateTime t{2000 + clock[5], clock[4], clock[3], clock[2], clock[1], clock[0]};
    if (!valid(t)) return result::bad_argument;
    const std::int64_t offset = to_seconds(t) - to_seconds(local_now());
    return commit([offset](Device& d) {
        d.clock_offset = offset;
        d.clock_lost = false;
    });
}

std::int32_t Simulator::set_defaults() {
    if (const auto r = check_open(Call::csp2SetDefaults); r != result::ok) return r;
    return commit([](Device& d) { d.params = d.defaults; });
}

std::int32_t Simulator::get_param(std::int32_t param, char* buffer, std::int32_t max_length) {
    if (const auto r = check_open(Call::csp2GetParam); r != result::ok) return r;
    if (buffer == nullptr || max_length < 1 || param < 0 || param >= kParamCount) return result::bad_argument;
    buffer[0] = static_cast<char>(device_->params[static_cast<std::size_t>(param)]);
    if (max_length > 1) buffer[1] = '\0';
    return result::ok;
}

std::int32_t Simulator::set_param(std::int32_t param, const char* buffer, std::int32_t length) {
    if (const auto r = check_open(Call::csp2SetParam); r != result::ok) return r;
    if (buffer == nullptr || length < 1 || param < 0 || param >= kParamCount) return result::bad_argument;
    const auto value = static_cast<std::uint8_t>(buffer[0]);
    return commit([param, value](Device& d) { d.params[static_cast<std::size_t>(param)] = value; });
}

std::int32_t Simulator::get_protocol() {
    if (const auto r = check_open(Call::csp2GetProtocol); r != result::ok) return r;
    return device_->protocol;
}

std::int32_t Simulator::get_ascii_mode() {
    if (const auto r = check_open(Call::csp2GetASCIIMode); r != result::ok) return r;
    return device_->ascii_mode;
}

std::int32_t Simulator::get_rtc_mode() {
    if (const auto r = check_open(Call::csp2GetRTCMode); r != result::ok) return r;
    return device_->rtc_mode;
}

std::int32_t Simulator::get_sw_version(char* buffer, std::int32_t max_length) {
    // Answers without an open port; outside a connection it reads the device afresh.
    if (!open_ && !load()) return result::state_file;
    if (device_->fails(Call::csp2GetSwVersion)) return result::injected;
    return copy_text(device_->sw_version, buffer, max_length);
}

}  // namespace harrowtally::sim
