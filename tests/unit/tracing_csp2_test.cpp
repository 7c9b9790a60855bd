// --verbose's view of the scanner library: every call reaches the library unchanged and is told in
// one line with its arguments and result, buffers the library reads shown by their bytes.
#include "scanner/tracing_csp2.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "support/scripted_csp2.h"

namespace harrowtally {
namespace {

using testing::ScriptedCSP2;

struct TracedCall {
    const char* what;
    std::function<std::int32_t(CSP2&)> call;
    std::string line;
    std::string reached;  // the call as the library recorded it
};

TEST(TracingCSP2, TellsEachCallAsItHappens) {
    static std::uint8_t buffer[500], stamp[4] = {0x83, 0x83, 0x08, 0x6B}, clock[6] = {5, 17, 10, 6, 12, 26};
    static std::uint8_t param[2] = {3, 0}, long_param[20] = {};
    const std::vector<TracedCall> calls = {
        {"init elsewhere", [](CSP2& l) { return l.csp2Init(4); }, "library: csp2Init(4) = -1\n", "csp2Init(4)"},
        {"packet", [](CSP2& l) { return l.csp2GetPacket(buffer, 0, 500); },
         "library: csp2GetPacket(buf, 0, 500) = ", "csp2GetPacket(0,500)"},
        {"stamp text", [](CSP2& l) { return l.csp2TimeStamp2Str(stamp, buffer, 30); },
         "library: csp2TimeStamp2Str(8383086B, buf, 30) = 0\n", "csp2TimeStamp2Str(30)"},
        {"no buffer", [](CSP2& l) { return l.csp2GetDeviceId(nullptr, 9); },
         "library: csp2GetDeviceId(null, 9) = ", "csp2GetDeviceId(9)"},
        {"clock set", [](CSP2& l) { return l.csp2SetTime(clock); }, "library: csp2SetTime(05110A060C1A) = 0\n",
         "csp2SetTime"},
        {"parameter", [](CSP2& l) { return l.csp2SetParam(5, param, 2); }, "library: csp2SetParam(5, 0300, 2) = 0\n",
         "csp2SetParam(5"},
        {"long parameter", [](CSP2& l) { return l.csp2SetParam(6, long_param, 20); },
         "library: csp2SetParam(6, " + std::string(32, '0') + ", 20) = 0\n", "csp2SetParam(6"},
    };
    ScriptedCSP2 library;
    library.packets = {ScriptedCSP2::packet(7, "ABC")};
    std::ostringstream trace;
    TracingCSP2 traced(library, trace);
    for (const auto& c : calls) {
        trace.str("");
        library.calls.clear();
        const std::int32_t result = c.call(traced);
        EXPECT_EQ(trace.str().rfind(c.line, 0), 0u) << c.what << ": " << trace.str();
        EXPECT_TRUE(trace.str().ends_with(" = " + std::to_string(result) + "\n")) << c.what << ": " << trace.str();
        ASSERT_EQ(library.calls.size(), 1u) << c.what;
        EXPECT_EQ(library.calls[0].rfind(c.reached, 0), 0u) << c.what << ": " << library.calls[0];
    }
}

}  // namespace
}  // namespace harrowtally
