#pragma once
// The scanner library seen through a trace (the command line's --verbose, the component's
// HARROWTALLY_TRACE): every call goes on to the library, and a line with its arguments and result
// ("library: csp2Init(3) = 0") is written as it happens.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

#include "scanner/csp2.h"
#include "scanner/csp2_abi.h"

namespace harrowtally {

class TracingCSP2 : public CSP2 {
public:
    // Writes one whole line at a time, without its line end, from the thread that made the call.
    using LineWriter = std::function<void(std::string_view line)>;

    TracingCSP2(CSP2& library, LineWriter write_line) : library_(library), write_line_(std::move(write_line)) {}
    // Each line followed by "\n" on the stream.
    TracingCSP2(CSP2& library, std::ostream& trace);

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
    // Makes the call and writes its line: "name(arguments) = result", or, when the library could
    // not be used, the error the call ended with.
    template <typename Call>
    std::int32_t traced(csp2_abi::Function function, const std::string& arguments, Call call);

    CSP2& library_;
    LineWriter write_line_;
};

}  // namespace harrowtally
