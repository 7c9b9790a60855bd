// A stand-in scanner library for the loader, host and command-line tests: the exported functions of
// the real one, answering as a scanner on one port that holds two barcodes, unless a script says
// otherwise. Answers depend on the arguments so that tests see them cross the library boundary.
// Built without csp2GetSwVersion when OMIT_SW_VERSION is defined.
//
// Environment variables (an empty value counts as unset):
//   HARROWTALLY_TEST_SCANNER_PORT    the scanner's port (default 3); "none" for no scanner.
//   HARROWTALLY_TEST_SCANNER_STAGES  a scanner that changes between connections: per connection
//       (each csp2Init that opens the port starts the next; the last stage stays) the barcodes held
//       and the first byte of the device ID in hexadecimal, as "2:12,3:12,0:AB". Overrides the
//       script's count and first device ID byte.
//   HARROWTALLY_TEST_SCANNER_ERASES  a file to which each csp2ClearData on an open port appends a line.
//   HARROWTALLY_TEST_SCANNER_SCRIPT  a script staging the scanner, read at every csp2Init (so it may
//       change between connections). It replaces the two built-in barcodes; what it leaves out keeps
//       its default.
//   HARROWTALLY_TEST_SCANNER_CALLS   a file to which every exported call appends "name(args) = result",
//       buffers shown by their length argument only: "csp2Init(3) = 0", "csp2GetPacket(0,500) = 21",
//       "csp2TimeStamp2Str(30) = 19", "csp2ClearData() = 0", "csp2SetParam(5,1) = 0".
//   HARROWTALLY_TEST_SCANNER_WATCH   a file the program under test writes: at the first csp2ClearData
//       of the process its bytes are copied to "<path>.at-first-clear", or, when it does not exist,
//       an empty "<path>.at-first-clear.missing" is made.
//
// The script: one "key=value" a line; blank lines and lines starting with # are ignored; nothing is
// trimmed. Texts take \xNN (two hex digits) for any byte and \\ for a backslash. Numbers are decimal
// 32-bit integers unless said otherwise. A line not understood (or a script that cannot be read)
// makes csp2Init return -7 and print one line naming it on standard error.
//   barcode=TYPE,TEXT,STAMP  a stored barcode, in order. TYPE 0-255 is the code-type byte; TEXT the
//       barcode bytes (at most 250; a comma is \x2C); STAMP, the rest of the line, the exact text
//       csp2TimeStamp2Str writes for its time stamp, e.g. "08:14:03   12/04/26". The packet is
//       L = len(TEXT) + 5, TYPE, TEXT and 4 stamp bytes that hold 0xFE and the barcode's index.
//       csp2TimeStamp2Str writes STAMP and a NUL when there is room, never past max_length.
//   count=N                   what csp2ReadData returns (default: the number of barcode lines);
//                             csp2GetPacket gives index 0 to N - 1, cycling through the barcodes.
//   packets_fail_from=K       csp2GetPacket returns -5 for index >= K.
//   device_id=HEX             16 hex digits: the first 8 bytes of the device ID (the 9th is 0).
//   device_id_result=N        csp2GetDeviceId's result; when negative the buffer is left untouched.
//   device_id_results=R1,...  csp2GetDeviceId's result at the 1st, 2nd, ... call of the process, then
//                             device_id_result's.
//   device_id_after_clear=HEX the device ID's first 8 bytes after any csp2ClearData (another scanner
//                             put in the cradle during a try); overrides the stage's first byte.
//   clock=S,M,H,D,MO,Y        the 6 clock bytes (0-255 each).
//   get_time_result=N         csp2GetTime's result; when negative the buffer is left untouched.
//   clear_results=R1,R2,...   csp2ClearData's result at the 1st, 2nd, ... call of the process, then 0.
//   read_data_after_clear=N   csp2ReadData's result after any csp2ClearData (default: 0 after one
//                             that returned 0, the count otherwise).
//   init.PORT=R               csp2Init(PORT) returns R (default 0 on the scanner's port, else -1);
//                             the port opens when R is 0.
//   status=N                  csp2GetSystemStatus's result.
//   param.NN=V                parameter NN (0-255) holds V (0-255).
// The clock and parameters are scanner state: they are loaded when a script is first read and when
// its text changes, and csp2SetTime, csp2SetParam and csp2SetDefaults change them in between.
// Without a script, csp2ReadData keeps giving the count after a csp2ClearData.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/csp2_abi.h"

// On Windows the module-definition file lists the exports, undecorated as the real library's.
#ifdef _WIN32
#define EXPORT extern "C"
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Stamp = std::array<std::uint8_t, 4>;

struct Barcode {
    std::uint8_t type;
    std::string text;
    Stamp stamp;  // built in: hour, minute, second, day of December 2026; scripted: marker and index
};

constexpr std::uint8_t kScriptedStamp = 0xFE;  // never an hour
constexpr std::size_t kMaxText = 255 - 5;
constexpr std::array<std::uint8_t, 9> kDeviceId = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x00};

struct Script {
    bool given = false;
    std::vector<Barcode> barcodes = {{0x16, "4006381333931", {9, 15, 0, 5}}, {0x01, "CODE-39", {17, 45, 30, 6}}};
    std::vector<std::string> stamp_texts;  // by barcode
    std::optional<std::int32_t> count, packets_fail_from, device_id_result, read_data_after_clear;
    std::array<std::uint8_t, 9> device_id = kDeviceId;
    std::vector<std::int32_t> device_id_results;
    std::optional<std::array<std::uint8_t, 9>> device_id_after_clear;
    std::optional<std::array<std::uint8_t, 6>> clock;
    std::int32_t get_time_result = 0;
    std::vector<std::int32_t> clear_results;
    // Plain lists, not maps: a map's std::piecewise_construct is a unique symbol in an unoptimised
    // build, and a unique symbol keeps the library from unloading. The last entry for a key wins.
    std::vector<std::pair<std::int32_t, std::int32_t>> init;
    std::int32_t status = 0;
    std::vector<std::pair<std::int32_t, std::uint8_t>> params;
};

Script script;
std::optional<std::string> applied_script;  // the text whose clock and parameters were loaded
bool port_open = false;
int connections = 0;
int clear_calls = 0;
int device_id_calls = 0;
bool erased = false;
std::array<std::uint8_t, 6> clock_value = {5, 30, 14, 6, 12, 26};  // 14:30:05 on 6 December 2026
std::uint8_t params[256] = {};

const char* setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// Script values.

// Parsed by hand: std::from_chars and std::to_string bring in unique symbols, which would keep
// the library loaded after dlclose.
bool number(std::string_view text, std::int64_t low, std::int64_t high, std::int32_t& out) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 10) return false;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < low || value > high) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hex_byte(std::string_view text, std::uint8_t& out) {
    if (text.size() != 2 || hex_digit(text[0]) < 0 || hex_digit(text[1]) < 0) return false;
    out = static_cast<std::uint8_t>(hex_digit(text[0]) * 16 + hex_digit(text[1]));
    return true;
}

bool number(std::string_view text, std::optional<std::int32_t>& out) {
    std::int32_t value = 0;
    if (!number(text, INT32_MIN, INT32_MAX, value)) return false;
    out = value;
    return true;
}

bool numbers(std::string_view text, std::int64_t low, std::int64_t high, std::vector<std::int32_t>& out) {
    out.clear();
    for (std::size_t at = 0;; ++at) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        if (!number(text.substr(at, comma - at), low, high, out.emplace_back())) return false;
        if (comma == text.size()) return true;
        at = comma;
    }
}

bool byte(std::string_view text, std::uint8_t& out) {
    std::int32_t value = 0;
    if (!number(text, 0, 255, value)) return false;
    out = static_cast<std::uint8_t>(value);
    return true;
}

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
        } else if (text.substr(i + 1, 1) == "\\") {
            out += '\\';
            ++i;
        } else {
            std::uint8_t value = 0;
            if (text.substr(i + 1, 1) != "x" || !hex_byte(text.substr(i + 2, 2), value)) return false;
            out += static_cast<char>(value);
            i += 3;
        }
    }
    return true;
}

bool device_id_bytes(std::string_view value, std::array<std::uint8_t, 9>& id) {
    if (value.size() != 16) return false;
    for (std::size_t i = 0; i < 8; ++i) {
        if (!hex_byte(value.substr(2 * i, 2), id[i])) return false;
    }
    return true;
}

bool add_barcode(Script& s, std::string_view value) {
    const std::size_t first = value.find(',');
    if (first == value.npos) return false;
    const std::size_t second = value.find(',', first + 1);
    if (second == value.npos) return false;
    Barcode b{};
    std::string stamp;
    if (!byte(value.substr(0, first), b.type) || !unescape(value.substr(first + 1, second - first - 1), b.text) ||
        !unescape(value.substr(second + 1), stamp) || b.text.size() > kMaxText) {
        return false;
    }
    const auto index = static_cast<std::uint32_t>(s.barcodes.size());
    b.stamp = {kScriptedStamp, static_cast<std::uint8_t>(index >> 16), static_cast<std::uint8_t>(index >> 8),
               static_cast<std::uint8_t>(index)};
    s.barcodes.push_back(std::move(b));
    s.stamp_texts.push_back(std::move(stamp));
    return true;
}

bool setting_line(Script& s, std::string_view key, std::string_view value) {
    std::int32_t n = 0;
    std::vector<std::int32_t> list;
    if (key == "barcode") return add_barcode(s, value);
    if (key == "count") return number(value, s.count);
    if (key == "packets_fail_from") return number(value, s.packets_fail_from);
    if (key == "device_id_result") return number(value, s.device_id_result);
    if (key == "read_data_after_clear") return number(value, s.read_data_after_clear);
    if (key == "get_time_result") return number(value, INT32_MIN, INT32_MAX, s.get_time_result);
    if (key == "status") return number(value, INT32_MIN, INT32_MAX, s.status);
    if (key == "clear_results") return numbers(value, INT32_MIN, INT32_MAX, s.clear_results);
    if (key == "device_id_results") return numbers(value, INT32_MIN, INT32_MAX, s.device_id_results);
    if (key == "device_id") return device_id_bytes(value, s.device_id);
    if (key == "device_id_after_clear") return device_id_bytes(value, s.device_id_after_clear.emplace(kDeviceId));
    if (key == "clock") {
        if (!numbers(value, 0, 255, list) || list.size() != 6) return false;
        s.clock.emplace();
        for (std::size_t i = 0; i < 6; ++i) (*s.clock)[i] = static_cast<std::uint8_t>(list[i]);
        return true;
    }
    if (key.starts_with("init.")) {
        std::int32_t result = 0;
        if (!number(key.substr(5), INT32_MIN, INT32_MAX, n) || !number(value, INT32_MIN, INT32_MAX, result))
            return false;
        s.init.emplace_back(n, result);
        return true;
    }
    if (key.starts_with("param.")) {
        std::uint8_t v = 0;
        if (!number(key.substr(6), 0, 255, n) || !byte(value, v)) return false;
        s.params.emplace_back(n, v);
        return true;
    }
    return false;
}

// Loads the script the environment names, or the built-in scanner without one. False, with a line
// on standard error, when the script cannot be read or holds a line it does not understand.
bool load_script() {
    const char* path = setting("HARROWTALLY_TEST_SCANNER_SCRIPT");
    if (path == nullptr) {
        script = Script{};
        applied_script.reset();
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "test scanner library: cannot read the script %s\n", path);
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Script loaded;
    loaded.given = true;
    loaded.barcodes.clear();
    std::istringstream lines(text);
    std::string line;
    for (int line_number = 1; std::getline(lines, line); ++line_number) {
        if (line.find_first_not_of(" \t\r") == line.npos || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == line.npos || !setting_line(loaded, std::string_view(line).substr(0, equals),
                                                 std::string_view(line).substr(equals + 1))) {
            std::fprintf(stderr, "test scanner library: %s line %d is not understood: %s\n", path, line_number,
                         line.c_str());
            return false;
        }
    }
    if (applied_script != text) {
        if (loaded.clock) clock_value = *loaded.clock;
        for (const auto& [param, value] : loaded.params) params[param] = value;
        applied_script = text;
    }
    script = std::move(loaded);
    return true;
}

// The scanner.

struct Stage {
    std::int32_t count;
    std::uint8_t id;
};

// The stage of the current connection.
Stage stage() {
    Stage s{script.count.value_or(static_cast<std::int32_t>(script.barcodes.size())), script.device_id[0]};
    const char* stages = std::getenv("HARROWTALLY_TEST_SCANNER_STAGES");
    if (stages == nullptr) return s;
    const char* p = stages;
    for (int k = 1; *p != '\0'; ++k) {
        char* end = nullptr;
        s.count = static_cast<std::int32_t>(std::strtol(p, &end, 10));
        if (*end == ':') s.id = static_cast<std::uint8_t>(std::strtoul(end + 1, &end, 16));
        if (k >= connections || *end != ',') break;
        p = end + 1;
    }
    return s;
}

// What csp2ReadData gives.
std::int32_t held() {
    if (clear_calls > 0 && script.read_data_after_clear) return *script.read_data_after_clear;
    if (clear_calls > 0 && script.given && erased) return 0;
    return stage().count;
}

std::int32_t scanner_port(bool& present) {
    const char* port = std::getenv("HARROWTALLY_TEST_SCANNER_PORT");
    present = true;
    if (port == nullptr || *port == '\0') return 3;
    if (std::strcmp(port, "none") == 0) present = false;
    return static_cast<std::int32_t>(std::strtol(port, nullptr, 10));
}

std::int32_t when_open(std::int32_t result) {
    return port_open ? result : -1;
}

std::int32_t copy_out(char* buffer, std::int32_t max_length, const void* data, std::int32_t size) {
    if (buffer == nullptr || max_length <= 0) return -1;
    const std::int32_t n = size < max_length ? size : max_length;
    std::memcpy(buffer, data, static_cast<std::size_t>(n));
    return n;
}

std::int32_t init(std::int32_t port) {
    if (!load_script()) return -7;
    bool present = false;
    const std::int32_t at = scanner_port(present);
    const auto scripted =
        std::find_if(script.init.rbegin(), script.init.rend(), [&](const auto& e) { return e.first == port; });
    const std::int32_t result = scripted != script.init.rend() ? scripted->second : (present && port == at ? 0 : -1);
    if (result != 0) return result;
    port_open = true;
    ++connections;
    return 0;
}

std::int32_t get_packet(char* buffer, std::int32_t index, std::int32_t max_length) {
    if (!port_open) return -1;
    if (script.packets_fail_from && index >= *script.packets_fail_from) return -5;
    if (index < 0 || index >= held() || script.barcodes.empty()) return -1;
    const Barcode& b = script.barcodes[static_cast<std::size_t>(index) % script.barcodes.size()];
    const auto text_length = static_cast<std::int32_t>(b.text.size());
    std::uint8_t packet[256] = {};
    packet[0] = static_cast<std::uint8_t>(text_length + 5);
    packet[1] = b.type;
    std::memcpy(packet + 2, b.text.data(), b.text.size());
    std::memcpy(packet + 2 + text_length, b.stamp.data(), b.stamp.size());
    return copy_out(buffer, max_length, packet, text_length + 6);
}

std::int32_t stamp_to_text(const unsigned char* stamp, char* text, std::int32_t max_length) {
    const std::size_t index = std::size_t{stamp[1]} << 16 | std::size_t{stamp[2]} << 8 | stamp[3];
    if (stamp[0] == kScriptedStamp && index < script.stamp_texts.size()) {
        const std::string& scripted = script.stamp_texts[index];
        const std::int32_t n = copy_out(text, max_length, scripted.data(), static_cast<std::int32_t>(scripted.size()));
        if (n >= 0 && n < max_length) text[n] = '\0';
        return n;
    }
    char formatted[32];
    const int n = std::snprintf(formatted, sizeof formatted, "%02u:%02u:%02u   12/%02u/26", unsigned{stamp[0]},
                                unsigned{stamp[1]}, unsigned{stamp[2]}, unsigned{stamp[3]});
    return copy_out(text, max_length, formatted, n);
}

std::int32_t device_id(char* id, std::int32_t max_length) {
    const auto call = static_cast<std::size_t>(device_id_calls++);
    const std::optional<std::int32_t> result =
        call < script.device_id_results.size() ? script.device_id_results[call] : script.device_id_result;
    if (result && *result < 0) return *result;
    std::array<std::uint8_t, 9> staged = script.device_id;
    staged[0] = stage().id;
    if (clear_calls > 0 && script.device_id_after_clear) staged = *script.device_id_after_clear;
    const std::int32_t n = copy_out(id, max_length, staged.data(), static_cast<std::int32_t>(staged.size()));
    return result.value_or(n);
}

void append_line(const char* path, const std::string& line) {
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

void copy_watched_file() {
    const char* watched = setting("HARROWTALLY_TEST_SCANNER_WATCH");
    if (watched == nullptr) return;
    const std::string copy = std::string(watched) + ".at-first-clear";
    const std::string missing = copy + ".missing";
    std::remove(copy.c_str());
    std::remove(missing.c_str());
    std::ifstream in(watched, std::ios::binary);
    if (!in) {
        std::ofstream created(missing);
        return;
    }
    std::ofstream out(copy, std::ios::binary);
    out << in.rdbuf();
}

std::int32_t clear_data() {
    const auto call = static_cast<std::size_t>(clear_calls++);
    if (call == 0) copy_watched_file();
    if (!port_open) return -1;
    if (const char* erases = setting("HARROWTALLY_TEST_SCANNER_ERASES")) append_line(erases, "csp2ClearData\n");
    const std::int32_t result = call < script.clear_results.size() ? script.clear_results[call] : 0;
    if (result == 0) erased = true;
    return result;
}

std::int32_t get_time(unsigned char* clock) {
    if (script.get_time_result < 0) return script.get_time_result;
    std::memcpy(clock, clock_value.data(), clock_value.size());
    return script.get_time_result;
}

// Appends the call to the call log, and returns its result.
std::int32_t logged(const char* name, std::initializer_list<std::int32_t> args, std::int32_t result) {
    if (const char* log = setting("HARROWTALLY_TEST_SCANNER_CALLS")) {
        std::string line = std::string(name) + "(";
        char text[16];
        for (const std::int32_t arg : args) {
            std::snprintf(text, sizeof text, line.back() == '(' ? "%d" : ",%d", static_cast<int>(arg));
            line += text;
        }
        std::snprintf(text, sizeof text, ") = %d\n", static_cast<int>(result));
        append_line(log, line + text);
    }
    return result;
}

}  // namespace

EXPORT std::int32_t CSP2_CALL csp2Init(std::int32_t port) {
    return logged("csp2Init", {port}, init(port));
}

EXPORT std::int32_t CSP2_CALL csp2Restore() {
    port_open = false;
    return logged("csp2Restore", {}, 0);
}

EXPORT std::int32_t CSP2_CALL csp2WakeUp() {
    return logged("csp2WakeUp", {}, when_open(0));
}

EXPORT std::int32_t CSP2_CALL csp2Interrogate() {
    return logged("csp2Interrogate", {}, when_open(0));
}

EXPORT std::int32_t CSP2_CALL csp2PowerDown() {
    return logged("csp2PowerDown", {}, when_open(0));
}

EXPORT std::int32_t CSP2_CALL csp2ReadData() {
    return logged("csp2ReadData", {}, when_open(held()));
}

EXPORT std::int32_t CSP2_CALL csp2GetPacket(char* buffer, std::int32_t index, std::int32_t max_length) {
    return logged("csp2GetPacket", {index, max_length}, get_packet(buffer, index, max_length));
}

EXPORT std::int32_t CSP2_CALL csp2TimeStamp2Str(unsigned char* stamp, char* text, std::int32_t max_length) {
    return logged("csp2TimeStamp2Str", {max_length}, stamp_to_text(stamp, text, max_length));
}

EXPORT std::int32_t CSP2_CALL csp2GetDeviceId(char* id, std::int32_t max_length) {
    return logged("csp2GetDeviceId", {max_length}, device_id(id, max_length));
}

EXPORT std::int32_t CSP2_CALL csp2GetSystemStatus() {
    return logged("csp2GetSystemStatus", {}, when_open(script.status));
}

EXPORT std::int32_t CSP2_CALL csp2ClearData() {
    return logged("csp2ClearData", {}, clear_data());
}

EXPORT std::int32_t CSP2_CALL csp2GetTime(unsigned char* clock) {
    return logged("csp2GetTime", {}, get_time(clock));
}

EXPORT std::int32_t CSP2_CALL csp2SetTime(unsigned char* clock) {
    std::memcpy(clock_value.data(), clock, clock_value.size());
    return logged("csp2SetTime", {}, 0);
}

EXPORT std::int32_t CSP2_CALL csp2SetDefaults() {
    std::memset(params, 0, sizeof params);
    return logged("csp2SetDefaults", {}, 0);
}

// The value of a parameter is in byte 1 of the buffer, behind the echoed low byte of its number.
EXPORT std::int32_t CSP2_CALL csp2GetParam(std::int32_t param, char* buffer, std::int32_t max_length) {
    std::int32_t result = -1;
    if (param >= 0 && param <= 255) {
        const std::uint8_t answer[2] = {static_cast<std::uint8_t>(param), params[param]};
        result = copy_out(buffer, max_length, answer, 2) == 2 ? 0 : -1;
    }
    return logged("csp2GetParam", {param, max_length}, result);
}

EXPORT std::int32_t CSP2_CALL csp2SetParam(std::int32_t param, char* buffer, std::int32_t length) {
    const bool valid = param >= 0 && param <= 255 && length >= 1;
    if (valid) params[param] = static_cast<std::uint8_t>(buffer[0]);
    return logged("csp2SetParam", {param, length}, valid ? 0 : -1);
}

EXPORT std::int32_t CSP2_CALL csp2GetProtocol() {
    return logged("csp2GetProtocol", {}, 1);
}

EXPORT std::int32_t CSP2_CALL csp2GetASCIIMode() {
    return logged("csp2GetASCIIMode", {}, 1);
}

EXPORT std::int32_t CSP2_CALL csp2GetRTCMode() {
    return logged("csp2GetRTCMode", {}, 1);
}

#ifndef OMIT_SW_VERSION
EXPORT std::int32_t CSP2_CALL csp2GetSwVersion(char* buffer, std::int32_t max_length) {
    static const char version[] = "TEST 1.07";
    return logged("csp2GetSwVersion", {max_length},
                  copy_out(buffer, max_length, version, static_cast<std::int32_t>(sizeof version)));
}
#endif
