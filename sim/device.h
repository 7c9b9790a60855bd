#pragma once
// The simulated batch scanner: what it holds, the faults it is told to show, and its text form
// (the state file).
#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/csp2_abi.h"

#include "calendar.h"

namespace harrowtally::sim {

inline constexpr int kPortCount = 16;
inline constexpr int kParamCount = 100;
inline constexpr std::size_t kMaxBarcodeLength = 250;  // the packet's length byte must hold it + 5
inline constexpr std::size_t kMaxVersionLength = 31;

// Code type bytes: each symbology is numbered after its name.
namespace code_type {
inline constexpr std::uint8_t ean8 = 8;
inline constexpr std::uint8_t ean13 = 13;
inline constexpr std::uint8_t upca = 12;
inline constexpr std::uint8_t upce = 6;
inline constexpr std::uint8_t i2of5 = 25;
inline constexpr std::uint8_t codabar = 16;
inline constexpr std::uint8_t code39 = 39;
inline constexpr std::uint8_t code128 = 128;
}  // namespace code_type

// The symbology name of a code type ("EAN-13"), or its decimal number when it has none; and back,
// case-insensitively, accepting a decimal number 0 to 255 too.
std::string code_type_name(std::uint8_t type);
std::optional<std::uint8_t> parse_code_type(std::string_view name);

struct Barcode {
    std::uint8_t type = 0;
    std::string text;
    DateTime scanned;
};

// How csp2TimeStamp2Str misbehaves.
enum class StampFault { none, no_slash, one_slash, early_slash, bad_date };

// Library calls that can be made to fail, by their exported names.
using Call = csp2_abi::Function;
inline constexpr std::size_t call_count = csp2_abi::function_count;
std::string_view call_name(Call call);

struct Device {
    std::optional<std::int32_t> port;  // none: no scanner on any port
    std::vector<std::int32_t> busy_ports;
    bool docked = true;  // false: out of its cradle, answering on no port, its barcodes kept
    std::array<std::uint8_t, 8> id{};
    std::string sw_version;
    std::int32_t system_status = 0;
    std::int32_t protocol = 0;
    std::int32_t ascii_mode = 0;
    std::int32_t rtc_mode = 0;
    std::int64_t clock_offset = 0;  // seconds the scanner's clock is ahead of the computer's local time
    bool clock_lost = false;        // the clock reads 255 in every byte until it is set
    std::array<std::uint8_t, kParamCount> defaults{};
    std::array<std::uint8_t, kParamCount> params{};
    std::vector<Barcode> barcodes;
    std::int32_t generated = 0;  // synthetic barcodes after the listed ones

    // Fault switches.
    std::optional<std::int32_t> count_result;    // csp2ReadData answers this instead of the real count
    std::optional<std::int32_t> packet_fail_at;  // 1-based barcode from which csp2GetPacket fails
    // 1-based barcode from which csp2GetPacket reports success but writes nothing
    std::optional<std::int32_t> packet_unwritten_at;
    StampFault stamp_fault = StampFault::none;
    std::int32_t erase_failures = 0;  // csp2ClearData calls still to fail; negative: every one
    std::array<bool, call_count> failing{};

    bool fails(Call call) const { return failing[static_cast<std::size_t>(call)]; }
    std::size_t barcode_count() const { return barcodes.size() + static_cast<std::size_t>(generated); }
    Barcode barcode(std::size_t index) const;
};

// The synthetic barcode number `index` (from 0) of the generator: a fixed rotation of symbologies
// with valid check characters, scanned one second apart from 5 January 2026 06:00:00.
Barcode generated_barcode(std::size_t index);

// The built-in device: port 3, 30 barcodes scanned during the last working day before `today`.
Device demo_device(const DateTime& today);

// A state file's text. Reading throws FormatError naming the first offending line.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
Device read_device(std::istream& in);
void write_device(std::ostream& out, const Device& device);

}  // namespace harrowtally::sim
