#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "params/module1.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Calls = std::vector<std::string>;

Calls connection(const std::string& port, const std::string& operation, bool pause = true) {
    Calls c = {"csp2Init(" + port + ")", "csp2WakeUp()", "csp2Interrogate()"};
    if (!operation.empty()) c.push_back(operation);
    c.insert(c.end(), {"csp2PowerDown()", "csp2Restore()"});
    if (pause) c.insert(c.begin(), "pause");
    return c;
}

TEST(GetScannerParam, ReadsTheFirstByteOfAZeroedBuffer) {
    struct Case {
        Variant port;
        std::int16_t number;
        std::optional<Bytes> stored;  // nullopt: no scanner answers, the library writes nothing
        std::int16_t expected;
        std::string init_port;
    };
    const std::vector<Case> cases = {
        {Variant::integer(3), 5, Bytes{7, 9}, 7, "3"},         {Variant::integer(3), 5, Bytes{0, 1}, 0, "3"},
        {Variant::integer(3), 5, std::nullopt, 0, "3"},        {Variant(), 5, Bytes{255}, 255, "0"},
        {Variant::string(u" 12 "), -1, Bytes{200}, 200, "12"}, {Variant::double_(2.5), 5, Bytes{1}, 1, "2"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.lib.init_default = c.stored ? 0 : -1;
        if (c.stored) rig.lib.params[c.number] = *c.stored;
        EXPECT_EQ(Module1::get_scanner_param(rig.services, c.port, c.number), c.expected);
        EXPECT_EQ(rig.lib.calls, connection(c.init_port, "csp2GetParam(" + std::to_string(c.number) + ",10)"));
        EXPECT_EQ(rig.lib.areas, std::vector<Bytes>{Bytes(10, 0)});
        EXPECT_FALSE(rig.lib.port_open);
    }
}

TEST(SetScannerParam, SendsValueAndZeroOrFailsWith5AfterClosing) {
    struct Case {
        std::int32_t value, library_result;
        int outcome;  // 1 true, 0 false, 5 the error
    };
    const std::vector<Case> cases = {{0, 0, 1},  {255, 0, 1}, {7, 1, 0},         {7, -1, 0},
                                     {-1, 0, 5}, {256, 0, 5}, {INT32_MIN, 0, 5}, {INT32_MAX, 0, 5}};
    for (const auto& c : cases) {
        Rig rig;
        rig.lib.init_default = 0;
        rig.lib.set_param_result = c.library_result;
        bool written = false;
        const int e =
            error_of([&] { written = Module1::set_scanner_param(rig.services, Variant::integer(3), 12, c.value); });
        EXPECT_EQ(c.outcome == 5 ? 5 : 0, e) << c.value;
        EXPECT_EQ(written, c.outcome == 1) << c.value;
        EXPECT_EQ(rig.lib.calls, connection("3", c.outcome == 5 ? "" : "csp2SetParam(12,2)")) << c.value;
        if (c.outcome != 5) {
            Bytes area{static_cast<std::uint8_t>(c.value), 0};
            area.resize(10, ' ');
            EXPECT_EQ(rig.lib.areas, std::vector<Bytes>{area});
            EXPECT_EQ(rig.lib.written_params.at(0).second, Bytes(area.begin(), area.begin() + 2));
        }
        EXPECT_FALSE(rig.lib.port_open);
    }
}

TEST(ScannerInfoText, GetterValuesPlaceholdersAndTheWholeVersionBuffer) {
    struct Case {
        std::int32_t protocol, status, ascii, rtc;
        std::optional<Bytes> version;
        std::u16string expected;
    };
    const std::u16string zeros(10, u'\0');
    const std::vector<Case> cases = {
        {1, 0, 1, 0, bytes_of(std::string("V1.2\0", 5)), u"0x1:0x0:V1.2" + zeros.substr(4) + u":0x1:0x0"},
        {-1, -1, INT32_MIN, -1, std::nullopt, u"0x??:0x????:" + zeros + u":0x????:0x????"},
        {26, INT32_MAX, 255, 16, bytes_of("ABCDEFGHIJ"), u"0x1A:0x7FFFFFFF:ABCDEFGHIJ:0xFF:0x10"},
        {0, -2, 0, 0, Bytes{'v', 0xE9, 0x80, 0, 'z'},
         u"0x0:0x????:" + std::u16string(u"v\u00E9\u20AC\0z", 5) + zeros.substr(5) + u":0x0:0x0"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.lib.protocol_result = c.protocol;
        rig.lib.status_results = {c.status};
        rig.lib.ascii_result = c.ascii;
        rig.lib.rtc_result = c.rtc;
        rig.lib.sw_version = c.version;
        EXPECT_EQ(Module1::scanner_info_text(rig.services, Variant::integer(3)), c.expected);
        Calls expected = connection("3", "csp2GetProtocol()", false);
        expected.insert(expected.begin() + 4,
                        {"csp2GetSystemStatus()", "csp2GetSwVersion(10)", "csp2GetASCIIMode()", "csp2GetRTCMode()"});
        EXPECT_EQ(rig.lib.calls, expected);
        EXPECT_EQ(rig.lib.areas, std::vector<Bytes>{Bytes(10, 0)});
    }
}

using Procedure = std::function<void(const ScannerServices&, const Variant&)>;
const std::vector<std::pair<const char*, Procedure>> procedures = {
    {"get", [](const ScannerServices& s, const Variant& p) { Module1::get_scanner_param(s, p, 5); }},
    {"set", [](const ScannerServices& s, const Variant& p) { Module1::set_scanner_param(s, p, 5, 1); }},
    {"info", [](const ScannerServices& s, const Variant& p) { Module1::scanner_info_text(s, p); }},
};

TEST(ParameterProcedures, PortThatDoesNotConvertFailsAfterThePauseBeforeInit) {
    const std::vector<std::pair<Variant, int>> ports = {
        {Variant::string(u"com3"), 13}, {Variant::double_(3e9), 6}, {Variant::null(), 94}};
    for (const auto& [name, run] : procedures) {
        for (const auto& [port, error] : ports) {
            Rig rig;
            EXPECT_EQ(error_of([&rig, &run = run, &port = port] { run(rig.services, port); }), error) << name;
            EXPECT_EQ(rig.lib.calls, std::string(name) == "info" ? Calls{} : Calls{"pause"}) << name;
        }
    }
}

TEST(ParameterProcedures, RuntimeErrorReleasesAPortThatOpened) {
    const std::vector<std::string> failing = {"csp2GetParam", "csp2SetParam", "csp2GetSwVersion"};
    for (std::size_t i = 0; i < procedures.size(); ++i) {
        for (const bool opens : {true, false}) {
            Rig rig;
            rig.lib.init_results[3] = opens ? 0 : -1;
            rig.lib.fail_call = failing[i];
            EXPECT_EQ(error_of([&] { procedures[i].second(rig.services, Variant::integer(3)); }), 453);
            EXPECT_FALSE(rig.lib.port_open);
            EXPECT_EQ(rig.lib.restores, opens ? 1 : 0) << procedures[i].first;
        }
    }
}

}  // namespace
}  // namespace harrowtally::testing
