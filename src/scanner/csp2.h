#pragma once
// The scanner maker's serial-communication library, as the component calls it. Every function
// returns a signed 32-bit result; buffers are byte areas the library reads or fills.
#include <cstdint>

namespace harrowtally {

class CSP2 {
public:
    virtual ~CSP2() = default;
    virtual std::int32_t csp2Init(std::int32_t port) = 0;
    virtual std::int32_t csp2Restore() = 0;
    virtual std::int32_t csp2WakeUp() = 0;
    virtual std::int32_t csp2Interrogate() = 0;
    virtual std::int32_t csp2PowerDown() = 0;
    virtual std::int32_t csp2ReadData() = 0;
    virtual std::int32_t csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) = 0;
    virtual std::int32_t csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) = 0;
    virtual std::int32_t csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) = 0;
    virtual std::int32_t csp2GetSystemStatus() = 0;
    virtual std::int32_t csp2ClearData() = 0;
    virtual std::int32_t csp2GetTime(std::uint8_t* clock) = 0;
    virtual std::int32_t csp2SetTime(std::uint8_t* clock) = 0;
    virtual std::int32_t csp2SetDefaults() = 0;
    virtual std::int32_t csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) = 0;
    virtual std::int32_t csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) = 0;
    virtual std::int32_t csp2GetProtocol() = 0;
    virtual std::int32_t csp2GetASCIIMode() = 0;
    virtual std::int32_t csp2GetRTCMode() = 0;
    virtual std::int32_t csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) = 0;
};

// Buffer sizes handed to the library.
namespace csp2_size {
inline constexpr int packet = 500;
inline constexpr int stamp_text = 30;
inline constexpr int device_id = 9;
inline constexpr int clock = 6;
inline constexpr int param = 10;
inline constexpr int version = 10;
}  // namespace csp2_size

}  // namespace harrowtally
