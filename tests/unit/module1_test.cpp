#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "params/module1.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Calls = std::vector<std::string>;

const Calls get_param_5 = {"pause",           "csp2Init(3)",  "csp2WakeUp()", "csp2Interrogate()", "csp2GetParam(5,10)",
                           "csp2PowerDown()", "csp2Restore()"};

TEST(GetScannerParam, OneConnectionAfterThePauseReadingTheFirstByte) {
    struct Case {
        const char* name;
        std::optional<Bytes> stored;  // nullopt: the library writes nothing and fails
        std::int16_t expected;
    };
    const std::vector<Case> cases = {
        {"value 7", Bytes{7, 9, 9}, 7},
        {"value 0", Bytes{0, 1}, 0},
        {"nothing written", std::nullopt, 0},
        {"high byte is unsigned", Bytes{255}, 255},
        {"only the first byte counts", Bytes{200, 1, 2, 3}, 200},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.library.init_results[3] = 0;
        if (c.stored) rig.library.params[5] = *c.stored;
        EXPECT_EQ(Module1::get_scanner_param(rig.services(), Variant::integer(3), 5), c.expected) << c.name;
        EXPECT_EQ(rig.library.calls, get_param_5) << c.name;
        ASSERT_EQ(rig.library.get_param_areas.size(), 1u);
        EXPECT_EQ(rig.library.get_param_areas[0], Bytes(10, 0)) << c.name << ": read buffer zeroed";
        EXPECT_FALSE(rig.library.port_open) << c.name;
    }
}

TEST(GetScannerParam, RunsTheWholeSequenceWhenThePortDoesNotOpen) {
    Rig rig;  // every csp2Init fails
    rig.library.params[5] = {42};
    EXPECT_EQ(Module1::get_scanner_param(rig.services(), Variant::integer(3), 5), 42);
    EXPECT_EQ(rig.library.calls, get_param_5);
}

TEST(GetScannerParam, PortAndNumberAsGiven) {
    struct Case {
        Variant port;
        std::int16_t number;
        const char* init;
        const char* get;
    };
    const std::vector<Case> cases = {
        {Variant(), 5, "csp2Init(0)", "csp2GetParam(5,10)"},
        {Variant::string(u" 12 "), 99, "csp2Init(12)", "csp2GetParam(99,10)"},
        {Variant::double_(2.5), 0, "csp2Init(2)", "csp2GetParam(0,10)"},
        {Variant::long_(70000), -1, "csp2Init(70000)", "csp2GetParam(-1,10)"},
        {Variant::integer(1), -32768, "csp2Init(1)", "csp2GetParam(-32768,10)"},
    };
    for (const auto& c : cases) {
        Rig rig;
        Module1::get_scanner_param(rig.services(), c.port, c.number);
        ASSERT_EQ(rig.library.calls.size(), 7u);
        EXPECT_EQ(rig.library.calls[1], c.init);
        EXPECT_EQ(rig.library.calls[4], c.get);
    }
}

TEST(SetScannerParam, SendsValueAndZeroWithLengthTwo) {
    struct Case {
        std::int32_t value;
        std::int32_t library_result;
        bool expected;
    };
    const std::vector<Case> cases = {
        {0, 0, true}, {255, 0, true}, {7, 0, true}, {1, 1, false}, {1, -1, false}, {99, 2, false},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.library.init_results[3] = 0;
        rig.library.set_param_result = c.library_result;
        EXPECT_EQ(Module1::set_scanner_param(rig.services(), Variant::integer(3), 12, c.value), c.expected)
            << c.value << "/" << c.library_result;
        EXPECT_EQ(rig.library.calls, (Calls{"pause", "csp2Init(3)", "csp2WakeUp()", "csp2Interrogate()",
                                            "csp2SetParam(12,2)", "csp2PowerDown()", "csp2Restore()"}));
        ASSERT_EQ(rig.library.written_params.size(), 1u);
        EXPECT_EQ(rig.library.written_params[0].second, (Bytes{static_cast<std::uint8_t>(c.value), 0}));
        Bytes area{static_cast<std::uint8_t>(c.value), 0};
        area.resize(10, 0x20);
        EXPECT_EQ(rig.library.set_param_areas.at(0), area);
        EXPECT_FALSE(rig.library.port_open);
    }
}

TEST(SetScannerParam, ValueOutsideAByteClosesTheConnectionThenFailsWith5) {
    for (std::int32_t value : {-1, 256, INT32_MIN, INT32_MAX}) {
        Rig rig;
        rig.library.init_results[3] = 0;
        EXPECT_EQ(error_of([&] { Module1::set_scanner_param(rig.services(), Variant::integer(3), 12, value); }), 5)
            << value;
        EXPECT_EQ(rig.library.calls, (Calls{"pause", "csp2Init(3)", "csp2WakeUp()", "csp2Interrogate()",
                                            "csp2PowerDown()", "csp2Restore()"}))
            << value;
        EXPECT_TRUE(rig.library.written_params.empty());
        EXPECT_FALSE(rig.library.port_open);
    }
}

TEST(ScannerInfoText, FieldsFromTheGettersAndTheVersionBuffer) {
    struct Case {
        const char* name;
        std::int32_t protocol, status, ascii, rtc;
        std::optional<Bytes> version;
        std::u16string expected;
    };
    const std::u16string v12 = std::u16string(u"V1.2") + std::u16string(6, u'\0');
    const std::u16string zeros(10, u'\0');
    const std::vector<Case> cases = {
        {"usual answers", 1, 0, 1, 0, bytes_of(std::string("V1.2\0", 5)), u"0x1:0x0:" + v12 + u":0x1:0x0"},
        {"every getter fails", -1, -1, -1, -1, std::nullopt, u"0x??:0x????:" + zeros + u":0x????:0x????"},
        {"most negative", INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, std::nullopt,
         u"0x??:0x????:" + zeros + u":0x????:0x????"},
        {"upper-case hexadecimal without leading zeros", 26, INT32_MAX, 255, 16, bytes_of("ABCDEFGHIJ"),
         u"0x1A:0x7FFFFFFF:ABCDEFGHIJ:0xFF:0x10"},
        {"one getter fails", 0, -2, 0, 0, bytes_of("X"), u"0x0:0x????:X" + std::u16string(9, u'\0') + u":0x0:0x0"},
        {"version bytes through the code page", 2, 3, 4, 5, Bytes{'v', 0xE9, 0x80, 0, 'z'},
         u"0x2:0x3:" + std::u16string(u"v\u00E9\u20AC\0z", 5) + std::u16string(5, u'\0') + u":0x4:0x5"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.library.init_results[3] = 0;
        rig.library.protocol_result = c.protocol;
        rig.library.status_results = {c.status};
        rig.library.ascii_result = c.ascii;
        rig.library.rtc_result = c.rtc;
        rig.library.sw_version = c.version;
        const std::u16string text = Module1::scanner_info_text(rig.services(), Variant::integer(3));
        EXPECT_EQ(text, c.expected) << c.name;
        EXPECT_EQ(rig.library.calls, (Calls{"csp2Init(3)", "csp2WakeUp()", "csp2Interrogate()", "csp2GetProtocol()",
                                            "csp2GetSystemStatus()", "csp2GetSwVersion(10)", "csp2GetASCIIMode()",
                                            "csp2GetRTCMode()", "csp2PowerDown()", "csp2Restore()"}))
            << c.name;
        EXPECT_EQ(rig.library.version_areas.at(0), Bytes(10, 0)) << c.name;
        EXPECT_EQ(rig.pause.count, 0) << c.name;
    }
}

TEST(ParameterProcedures, PortThatDoesNotConvertFailsJustBeforeInit) {
    struct Port {
        Variant value;
        int error;
    };
    const std::vector<Port> ports = {
        {Variant::string(u"com3"), 13},
        {Variant::double_(3e9), 6},
        {Variant::null(), 94},
    };
    struct Procedure {
        const char* name;
        std::function<void(const ScannerServices&, const Variant&)> run;
        int pauses;
    };
    const std::vector<Procedure> procedures = {
        {"get", [](const ScannerServices& s, const Variant& p) { Module1::get_scanner_param(s, p, 5); }, 1},
        {"set", [](const ScannerServices& s, const Variant& p) { Module1::set_scanner_param(s, p, 5, 1); }, 1},
        {"set out of range",
         [](const ScannerServices& s, const Variant& p) { Module1::set_scanner_param(s, p, 5, 300); }, 1},
        {"info", [](const ScannerServices& s, const Variant& p) { Module1::scanner_info_text(s, p); }, 0},
    };
    for (const auto& procedure : procedures) {
        for (const auto& port : ports) {
            Rig rig;
            EXPECT_EQ(error_of([&] { procedure.run(rig.services(), port.value); }), port.error) << procedure.name;
            EXPECT_EQ(rig.pause.count, procedure.pauses) << procedure.name;
            EXPECT_EQ(rig.library.calls.size(), static_cast<std::size_t>(procedure.pauses)) << procedure.name;
        }
    }
}

TEST(ParameterProcedures, RuntimeErrorInsideAnOpenConnectionReleasesThePort) {
    struct Case {
        const char* name;
        const char* failing;
        std::function<void(const ScannerServices&)> run;
    };
    const Variant port = Variant::integer(3);
    const std::vector<Case> cases = {
        {"get at wake-up", "csp2WakeUp", [&](const ScannerServices& s) { Module1::get_scanner_param(s, port, 5); }},
        {"get at read", "csp2GetParam", [&](const ScannerServices& s) { Module1::get_scanner_param(s, port, 5); }},
        {"set at write", "csp2SetParam", [&](const ScannerServices& s) { Module1::set_scanner_param(s, port, 5, 1); }},
        {"info at version", "csp2GetSwVersion", [&](const ScannerServices& s) { Module1::scanner_info_text(s, port); }},
        {"info at last getter", "csp2GetRTCMode",
         [&](const ScannerServices& s) { Module1::scanner_info_text(s, port); }},
    };
    for (const auto& c : cases) {
        for (const bool opens : {true, false}) {
            Rig rig;
            rig.library.init_results[3] = opens ? 0 : -1;
            rig.library.fail_call = c.failing;
            EXPECT_EQ(error_of([&] { c.run(rig.services()); }), 453) << c.name;
            EXPECT_FALSE(rig.library.port_open) << c.name;
            // Released once when it had opened; a port that never opened is left alone.
            EXPECT_EQ(rig.library.restores, opens ? 1 : 0) << c.name;
            EXPECT_EQ(rig.library.calls.back() == "csp2Restore()", opens) << c.name;
        }
    }
}

}  // namespace
}  // namespace harrowtally::testing
