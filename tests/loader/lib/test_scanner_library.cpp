// A stand-in scanner library for the loader and host tests: the exported functions of the real
// one, answering as a scanner on one port (3, or the port in HARROWTALLY_TEST_SCANNER_PORT; "none"
// for no scanner) that holds two barcodes. Answers depend on the arguments so that tests see them
// cross the library boundary. Built without csp2GetSwVersion when OMIT_SW_VERSION is defined.
//
// A scanner that changes between connections: HARROWTALLY_TEST_SCANNER_STAGES lists, per
// connection (each csp2Init that opens the port starts the next; the last stage stays), the
// barcodes held and the first byte of the device ID in hexadecimal, as "2:12,3:12,0:AB". Each
// csp2ClearData appends a line to the file HARROWTALLY_TEST_SCANNER_ERASES names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Barcode {
    std::uint8_t type;
    const char* text;
    std::uint8_t stamp[4];  // hour, minute, second, day of December 2026
};

constexpr Barcode kBarcodes[] = {
    {0x16, "4006381333931", {9, 15, 0, 5}},
    {0x01, "CODE-39", {17, 45, 30, 6}},
};
constexpr std::int32_t kBarcodeCount = 2;
constexpr std::uint8_t kDeviceId[9] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x00};

bool port_open = false;
int connections = 0;

struct Stage {
    std::int32_t count = kBarcodeCount;
    std::uint8_t id = kDeviceId[0];
};

// The stage of the current connection.
Stage stage() {
    Stage s;
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
std::uint8_t clock_value[6] = {5, 30, 14, 6, 12, 26};  // 14:30:05 on 6 December 2026
std::uint8_t params[256] = {};

std::int32_t scanner_port(bool& present) {
    const char* setting = std::getenv("HARROWTALLY_TEST_SCANNER_PORT");
    present = true;
    if (setting == nullptr || *setting == '\0') return 3;
    if (std::strcmp(setting, "none") == 0) present = false;
    return static_cast<std::int32_t>(std::strtol(setting, nullptr, 10));
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

}  // namespace

EXPORT std::int32_t csp2Init(std::int32_t port) {
    bool present = false;
    const std::int32_t at = scanner_port(present);
    if (!present || port != at) return -1;
    port_open = true;
    ++connections;
    return 0;
}

EXPORT std::int32_t csp2Restore() {
    port_open = false;
    return 0;
}

EXPORT std::int32_t csp2WakeUp() {
    return when_open(0);
}

EXPORT std::int32_t csp2Interrogate() {
    return when_open(0);
}

EXPORT std::int32_t csp2PowerDown() {
    return when_open(0);
}

EXPORT std::int32_t csp2ReadData() {
    return when_open(stage().count);
}

EXPORT std::int32_t csp2GetPacket(char* buffer, std::int32_t index, std::int32_t max_length) {
    if (!port_open || index < 0 || index >= stage().count) return -1;
    const Barcode& b = kBarcodes[index % kBarcodeCount];
    const auto text_length = static_cast<std::int32_t>(std::strlen(b.text));
    std::uint8_t packet[64] = {};
    packet[0] = static_cast<std::uint8_t>(text_length + 5);
    packet[1] = b.type;
    std::memcpy(packet + 2, b.text, static_cast<std::size_t>(text_length));
    std::memcpy(packet + 2 + text_length, b.stamp, 4);
    return copy_out(buffer, max_length, packet, text_length + 6);
}

EXPORT std::int32_t csp2TimeStamp2Str(unsigned char* stamp, char* text, std::int32_t max_length) {
    char formatted[32];
    const int n = std::snprintf(formatted, sizeof formatted, "%02u:%02u:%02u   12/%02u/26", unsigned{stamp[0]},
                                unsigned{stamp[1]}, unsigned{stamp[2]}, unsigned{stamp[3]});
    return copy_out(text, max_length, formatted, n);
}

EXPORT std::int32_t csp2GetDeviceId(char* id, std::int32_t max_length) {
    std::uint8_t staged[sizeof kDeviceId];
    std::memcpy(staged, kDeviceId, sizeof kDeviceId);
    staged[0] = stage().id;
    return copy_out(id, max_length, staged, sizeof staged);
}

EXPORT std::int32_t csp2GetSystemStatus() {
    return when_open(0);
}

EXPORT std::int32_t csp2ClearData() {
    if (const char* erases = std::getenv("HARROWTALLY_TEST_SCANNER_ERASES"); erases != nullptr && port_open) {
        if (std::FILE* f = std::fopen(erases, "a")) {
            std::fputs("csp2ClearData\n", f);
            std::fclose(f);
        }
    }
    return when_open(0);
}

EXPORT std::int32_t csp2GetTime(unsigned char* clock) {
    std::memcpy(clock, clock_value, sizeof clock_value);
    return 0;
}

EXPORT std::int32_t csp2SetTime(unsigned char* clock) {
    std::memcpy(clock_value, clock, sizeof clock_value);
    return 0;
}

EXPORT std::int32_t csp2SetDefaults() {
    std::memset(params, 0, sizeof params);
    return 0;
}

// The value of a parameter is in byte 1 of the buffer, behind the echoed low byte of its number.
EXPORT std::int32_t csp2GetParam(std::int32_t param, char* buffer, std::int32_t max_length) {
    if (param < 0 || param > 255) return -1;
    const std::uint8_t answer[2] = {static_cast<std::uint8_t>(param), params[param]};
    return copy_out(buffer, max_length, answer, 2) == 2 ? 0 : -1;
}

EXPORT std::int32_t csp2SetParam(std::int32_t param, char* buffer, std::int32_t length) {
    if (param < 0 || param > 255 || length < 1) return -1;
    params[param] = static_cast<std::uint8_t>(buffer[0]);
    return 0;
}

EXPORT std::int32_t csp2GetProtocol() {
    return 1;
}

EXPORT std::int32_t csp2GetASCIIMode() {
    return 1;
}

EXPORT std::int32_t csp2GetRTCMode() {
    return 1;
}

#ifndef OMIT_SW_VERSION
EXPORT std::int32_t csp2GetSwVersion(char* buffer, std::int32_t max_length) {
    static const char version[] = "TEST 1.07";
    return copy_out(buffer, max_length, version, static_cast<std::int32_t>(sizeof version));
}
#endif
