#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/clock_text.h"
#include "common/runtime_error.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"
#include "support/unusable_startports.h"

namespace harrowtally {
namespace {

using testing::ScriptedCSP2;

// A library whose clock functions are missing from the file: the call fails after the port opened.
class MissingClockFunctions : public ScriptedCSP2 {
public:
    std::int32_t csp2GetTime(std::uint8_t*) override { throw RuntimeError(err::dll_function_missing); }
    std::int32_t csp2SetTime(std::uint8_t*) override { throw RuntimeError(err::dll_function_missing); }
};

using testing::ScriptedRig;

using testing::error_of;

std::vector<std::string> get_sequence(const std::string& port) {
    return {"csp2Init(" + port + ")", "csp2WakeUp()", "csp2GetTime()", "csp2PowerDown()", "csp2Restore()"};
}

TEST(GetDate, ReadsTheClockOnStartportIntoTheClockFields) {
    struct Case {
        const char* what;
        Variant startport;
        std::int32_t init;
        std::optional<ClockBuffer> clock;
        std::string port;
        std::u16string text;
        char16_t flag;
    };
    const std::vector<Case> cases = {
        {"empty startport is port 0", Variant(), 0, ClockBuffer{9, 5, 14, 23, 3, 7}, "0", u"090514230307", u'H'},
        {"numeric text", Variant::string(u"4"), 0, ClockBuffer{9, 5, 14, 23, 3, 7}, "4", u"090514230307", u'H'},
        {"first byte 255", Variant::integer(2), 0, ClockBuffer{255, 1, 2, 3, 4, 5}, "2", u"000102030405", u'L'},
        {"no scanner: every step runs, the zero buffer is decoded", Variant::integer(3), -1, std::nullopt, "3",
         u"000000000000", u'H'},
        {"port 16 as given", Variant::long_(16), 0, ClockBuffer{1, 2, 3, 4, 5, 6}, "16", u"010203040506", u'H'},
    };
    for (const auto& c : cases) {
        ScriptedRig<> rig;
        auto& lib = rig.lib;
        lib.init_default = c.init;
        lib.clock_value = c.clock;
        Clicker clicker(rig.services);
        clicker.let_startport(c.startport);
        clicker.getdate();
        EXPECT_EQ(lib.calls, get_sequence(c.port)) << c.what;
        EXPECT_EQ(clicker.clock_text(), c.text) << c.what;
        EXPECT_EQ(clicker.clock_flag(), c.flag) << c.what;
        EXPECT_FALSE(lib.port_open) << c.what;
        // The trace, the found port and the open flag belong to other members.
        EXPECT_EQ(clicker.log(), Variant::string(u"")) << c.what;
        EXPECT_EQ(clicker.comport(), 0) << c.what;
        EXPECT_FALSE(clicker.open_ok()) << c.what;
        EXPECT_EQ(rig.pause.count, 0) << c.what;
    }
}

TEST(GetDate, StartportThatDoesNotConvertFailsBeforeTheLibrary) {
    for (const auto& c : testing::unusable_startports()) {
        ScriptedRig<> rig;
        auto& lib = rig.lib;
        lib.init_default = 0;
        lib.clock_value = ClockBuffer{1, 2, 3, 4, 5, 6};
        Clicker clicker(rig.services);
        clicker.let_startport(c.startport);
        EXPECT_EQ(error_of([&] { clicker.getdate(); }), c.error);
        EXPECT_TRUE(lib.calls.empty());
        EXPECT_EQ(clicker.clock_text(), std::u16string(12, u'\0'));
        EXPECT_EQ(clicker.clock_flag(), u'\0');
    }
}

TEST(SetDate, SendsTheLocalTimeOnPortZero) {
    struct Case {
        LocalDateTime now;
        ClockBuffer sent;
    };
    const std::vector<Case> cases = {
        {{2007, 3, 23, 14, 5, 9}, {9, 5, 14, 23, 3, 7}},
        {{2000, 1, 1, 0, 0, 0}, {0, 0, 0, 1, 1, 0}},
        {{2026, 12, 31, 23, 59, 59}, {59, 59, 23, 31, 12, 26}},
    };
    for (const auto& c : cases) {
        ScriptedRig<> rig;
        auto& lib = rig.lib;
        lib.init_default = -1;  // nothing answers: nothing is reported either
        rig.clock.date = c.now;
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(5));
        clicker.setdate();
        EXPECT_EQ(lib.calls, (std::vector<std::string>{"csp2Init(0)", "csp2WakeUp()", "csp2SetTime()",
                                                       "csp2PowerDown()", "csp2Restore()"}));
        ASSERT_EQ(lib.set_times.size(), 1u);
        EXPECT_EQ(lib.set_times[0], c.sent);
        EXPECT_EQ(clicker.clock_text(), std::u16string(12, u'\0'));
        EXPECT_EQ(clicker.log(), Variant::string(u""));
    }
}

TEST(ClockMembers, MissingClockFunctionReleasesTheOpenedPort) {
    for (const bool reading : {true, false}) {
        ScriptedRig<MissingClockFunctions> rig;
        auto& lib = rig.lib;
        lib.init_default = 0;
        Clicker clicker(rig.services);
        EXPECT_EQ(error_of([&] { reading ? clicker.getdate() : clicker.setdate(); }), 453);
        EXPECT_FALSE(lib.port_open) << (reading ? "getdate" : "setdate");
        EXPECT_EQ(lib.calls.back(), "csp2Restore()");
        EXPECT_EQ(clicker.clock_text(), std::u16string(12, u'\0'));
    }
}

}  // namespace
}  // namespace harrowtally
