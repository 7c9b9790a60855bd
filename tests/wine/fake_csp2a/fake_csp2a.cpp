// A stand-in scanner library for the Wine tests: one scanner on port 3 holding two barcodes, with a
// clock, parameters and a software version. The state lives in the process, like the real library's.
#include <cstdint>
#include <cstring>

#if defined(__i386__)
#define CSP2_API extern "C" __declspec(dllexport) std::int32_t __attribute__((stdcall))
#else
#define CSP2_API extern "C" __declspec(dllexport) std::int32_t
#endif

namespace {
constexpr std::int32_t scanner_port = 3;

struct Barcode {
    std::uint8_t type;
    const char* text;
    std::uint8_t stamp[4];
};
constexpr Barcode stored[] = {
    {10, "12345670", {1, 2, 3, 4}},
    {3, "ABC-42", {5, 6, 7, 8}},
};
constexpr const char* stamp_texts[] = {"14:30:05   12/06/26", "14:31:17   12/06/26"};

bool open_port = false;
bool erased = false;
std::uint8_t clock_bytes[6] = {5, 17, 10, 6, 12, 26};
std::uint8_t params[100] = {};

void defaults() {
    std::memset(params, 0, sizeof params);
    params[5] = 1;
    params[12] = 7;
}

int count() {
    return erased ? 0 : 2;
}

const bool defaults_set = (defaults(), true);
}  // namespace

CSP2_API csp2Init(std::int32_t port) {
    if (port != scanner_port) return -1;
    open_port = true;
    return 0;
}
CSP2_API csp2Restore() {
    open_port = false;
    return 0;
}
CSP2_API csp2WakeUp() {
    return open_port ? 0 : -1;
}
CSP2_API csp2Interrogate() {
    return open_port ? 0 : -1;
}
CSP2_API csp2PowerDown() {
    return 0;
}
CSP2_API csp2ReadData() {
    return open_port ? count() : -1;
}
CSP2_API csp2GetPacket(char* buffer, std::int32_t index, std::int32_t max_length) {
    if (!open_port || index < 0 || index >= count()) return -1;
    const Barcode& b = stored[index];
    const int text_length = static_cast<int>(std::strlen(b.text));
    const int length = text_length + 5;  // type, text, four stamp bytes
    if (length + 1 > max_length) return -1;
    buffer[0] = static_cast<char>(length);
    buffer[1] = static_cast<char>(b.type);
    std::memcpy(buffer + 2, b.text, static_cast<std::size_t>(text_length));
    std::memcpy(buffer + 2 + text_length, b.stamp, 4);
    return length + 1;
}
CSP2_API csp2TimeStamp2Str(unsigned char* stamp, char* text, std::int32_t max_length) {
    const char* source = stamp[0] == 1 ? stamp_texts[0] : stamp_texts[1];
    const int n = static_cast<int>(std::strlen(source));
    if (n >= max_length) return -1;
    std::memcpy(text, source, static_cast<std::size_t>(n));
    return n;
}
CSP2_API csp2GetDeviceId(char* id, std::int32_t max_length) {
    static const unsigned char device[9] = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0x00};
    if (!open_port || max_length < 9) return -1;
    std::memcpy(id, device, 9);
    return 9;
}
CSP2_API csp2GetSystemStatus() {
    return open_port ? 0 : -1;
}
CSP2_API csp2ClearData() {
    if (!open_port) return -1;
    erased = true;
    return 0;
}
CSP2_API csp2GetTime(unsigned char* clock) {
    if (!open_port) return -1;
    std::memcpy(clock, clock_bytes, 6);
    return 0;
}
CSP2_API csp2SetTime(unsigned char* clock) {
    if (!open_port) return -1;
    std::memcpy(clock_bytes, clock, 6);
    return 0;
}
CSP2_API csp2SetDefaults() {
    defaults();
    return 0;
}
CSP2_API csp2GetParam(std::int32_t param, char* buffer, std::int32_t max_length) {
    if (!open_port || param < 0 || param >= 100 || max_length < 1) return -1;
    buffer[0] = static_cast<char>(params[param]);
    return 1;
}
CSP2_API csp2SetParam(std::int32_t param, char* buffer, std::int32_t length) {
    if (!open_port || param < 0 || param >= 100 || length != 2) return -1;
    params[param] = static_cast<std::uint8_t>(buffer[0]);
    return 0;
}
CSP2_API csp2GetProtocol() {
    return open_port ? 1 : -1;
}
CSP2_API csp2GetASCIIMode() {
    return open_port ? 1 : -1;
}
CSP2_API csp2GetRTCMode() {
    return open_port ? 0 : -1;
}
#ifndef FAKE_CSP2A_WITHOUT_SWVERSION
CSP2_API csp2GetSwVersion(char* buffer, std::int32_t max_length) {
    static const char version[] = "FK1.00";
    if (max_length < static_cast<std::int32_t>(sizeof version)) return -1;
    std::memcpy(buffer, version, sizeof version);
    return 0;
}
#endif

// Declared by the scanner maker, never called by the component.
CSP2_API csp2DataAvailable() {
    return 0;
}
CSP2_API csp2SetRetryCount(std::int32_t) {
    return 0;
}
CSP2_API csp2GetRetryCount() {
    return 5;
}
CSP2_API csp2GetDllVersion(char*, std::int32_t) {
    return 0;
}
