#include <gtest/gtest.h>

#include <functional>
#include <new>
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
using Calls = std::vector<std::string>;

// The scripted library, a clock at 14:30:05 and a pause that shows up in the call list, so each
// test sees where the pauses fall between the library calls.
struct Rig : testing::ScriptedRig<> {
    Rig() { record_pauses(); }
};

using testing::error_of;

std::u16string log_of(const Clicker& c) {
    return c.log().as_string();
}

const Calls opened = {"csp2Init(3)", "csp2ReadData()", "csp2GetSystemStatus()"};
const Calls failed_try = {"csp2ClearData()", "csp2ReadData()", "csp2GetSystemStatus()"};

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct OutcomeCase {
    const char* what;
    Variant startport;
    std::function<void(ScriptedCSP2&)> script;
    std::u16string log;
    bool open_ok;
    bool empty_ok;
    std::int16_t count;
    Calls calls;
};

TEST(EmptyScanner, OutcomesTraceAndLibraryCalls) {
    const auto port3 = Variant::integer(3);
    const auto answering = [](ScriptedCSP2& lib) {
        lib.init_results[3] = 0;
        lib.read_data_default = 12;
    };
    const std::vector<OutcomeCase> cases = {
        {"port does not open",
         port3,
         [](ScriptedCSP2& lib) { lib.init_results[3] = -1; },
         u"OPNP:03143005*-1",
         false,
         false,
         7,
         {"csp2Init(3)"}},
        {"negative count", port3,
         [](ScriptedCSP2& lib) {
             lib.init_results[3] = 0;
             lib.read_data_results = {-1};
         },
         u"OPNG:03143005*0*-1", false, false, -1, join({opened, {"csp2Restore()"}})},
        {"negative status", port3,
         [](ScriptedCSP2& lib) {
             lib.init_results[3] = 0;
             lib.read_data_results = {12};
             lib.status_results = {-4};
         },
         u"OPNG:03143005*0*12", false, false, 12, join({opened, {"csp2Restore()"}})},
        {"erased at the first try", port3, answering, u"CLOK:01:OPOK:03143005*0:0", true, true, 12,
         join({opened, {"pause", "csp2ClearData()", "csp2Restore()"}})},
        {"erased at the second try", port3,
         [&](ScriptedCSP2& lib) {
             answering(lib);
             lib.clear_results = {-1, 0};
         },
         u"CLOK:02:OPOK:03143005*0:-1:0*12:0", true, true, 12,
         join({opened, {"pause"}, failed_try, {"csp2ClearData()", "csp2Restore()"}})},
        {"first try fails but the memory is already empty", port3,
         [&](ScriptedCSP2& lib) {
             answering(lib);
             lib.clear_results = {-1};
             lib.read_data_results = {12, 0};
         },
         u"CLOK:01:OPOK:03143005*0:-1:0*0", true, true, 0, join({opened, {"pause"}, failed_try, {"csp2Restore()"}})},
        {"count 0 with a bad status is no success", port3,
         [&](ScriptedCSP2& lib) {
             answering(lib);
             lib.clear_results = {-1, 0};
             lib.read_data_results = {12, 0};
             lib.status_results = {0, 2};
         },
         u"CLOK:02:OPOK:03143005*0:-1:2*0:0", true, true, 0,
         join({opened, {"pause"}, failed_try, {"csp2ClearData()", "csp2Restore()"}})},
        {"five failed tries", port3,
         [&](ScriptedCSP2& lib) {
             answering(lib);
             lib.clear_default = -1;
             lib.read_data_results = {12, 12, 12, 12, 12, 11};
         },
         u"OPOK:03143005*0:-1:0*12:-1:0*12:-1:0*12:-1:0*12:-1:0*11", true, false, 11,
         join({opened, {"pause"}, failed_try, failed_try, failed_try, failed_try, failed_try, {"csp2Restore()"}})},
        {"startport 16 is used as given",
         Variant::integer(16),
         [](ScriptedCSP2&) {},
         u"OPNP:16143005*-1",
         false,
         false,
         7,
         {"csp2Init(16)"}},
        {"startport as text", Variant::string(u"3"), answering, u"CLOK:01:OPOK:03143005*0:0", true, true, 12,
         join({opened, {"pause", "csp2ClearData()", "csp2Restore()"}})},
        {"negative port keeps its sign in front",
         Variant::integer(-2),
         [](ScriptedCSP2&) {},
         u"OPNP:-02143005*-1",
         false,
         false,
         7,
         {"csp2Init(-2)"}},
    };
    for (const auto& c : cases) {
        Rig rig;
        Clicker clicker(rig.services);
        // An earlier emptying left a count of 7 and empty_ok true.
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 7;
        clicker.let_startport(Variant::integer(3));
        clicker.EmptyScanner();
        ASSERT_TRUE(clicker.empty_ok());
        rig.lib = ScriptedCSP2{};

        c.script(rig.lib);
        clicker.let_startport(c.startport);
        clicker.EmptyScanner();
        EXPECT_EQ(log_of(clicker), c.log) << c.what;
        EXPECT_EQ(clicker.open_ok(), c.open_ok) << c.what;
        EXPECT_EQ(clicker.empty_ok(), c.empty_ok) << c.what;
        EXPECT_EQ(clicker.num_barcodes(), c.count) << c.what;
        EXPECT_EQ(rig.lib.calls, c.calls) << c.what;
        EXPECT_FALSE(rig.lib.port_open) << c.what;
    }
}

TEST(EmptyScanner, EmptyStartportMakesNoLibraryCall) {
    Rig rig;
    Clicker clicker(rig.services);
    rig.lib.init_default = 0;
    rig.lib.read_data_default = 5;
    clicker.let_startport(Variant::integer(1));
    clicker.EmptyScanner();
    ASSERT_TRUE(clicker.open_ok());
    rig.lib.calls.clear();
    rig.pause.count = 0;

    clicker.let_startport(Variant());
    clicker.EmptyScanner();
    EXPECT_EQ(log_of(clicker), u"ENSP");
    EXPECT_FALSE(clicker.open_ok());
    EXPECT_FALSE(clicker.empty_ok());
    EXPECT_EQ(clicker.num_barcodes(), 5);
    EXPECT_TRUE(rig.lib.calls.empty());
    EXPECT_EQ(rig.pause.count, 0);
}

TEST(EmptyScanner, NewClockIsSetInsideItsOwnPauseOnEveryCall) {
    Rig rig;
    Clicker clicker(rig.services);
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = 12;
    clicker.let_startport(Variant::integer(3));
    clicker.pnewdatetime(u"051710061226");
    const Calls expected = join(
        {opened,
         {"pause", "csp2WakeUp()", "csp2SetTime()", "csp2PowerDown()", "pause", "csp2ClearData()", "csp2Restore()"}});
    for (int call = 1; call <= 2; ++call) {
        rig.lib.calls.clear();
        clicker.EmptyScanner();
        EXPECT_EQ(rig.lib.calls, expected) << call;
        EXPECT_EQ(log_of(clicker), u"CLOK:01:OPOK:03143005*0:0") << call;
    }
    const ClockBuffer sent{5, 17, 10, 6, 12, 26};
    EXPECT_EQ(rig.lib.set_times, (std::vector<ClockBuffer>{sent, sent}));
    EXPECT_EQ(clicker.newdatetime_text(), u"051710061226");

    // The empty text leaves the clock alone again.
    clicker.pnewdatetime(u"");
    rig.lib.calls.clear();
    clicker.EmptyScanner();
    EXPECT_EQ(rig.lib.calls, join({opened, {"pause", "csp2ClearData()", "csp2Restore()"}}));
    EXPECT_EQ(rig.lib.set_times.size(), 2u);
}

TEST(EmptyScanner, StartportThatDoesNotConvertFailsBeforeInitAndTrace) {
    for (const auto& c : testing::unusable_startports()) {
        Rig rig;
        Clicker clicker(rig.services);
        rig.lib.init_default = 0;
        rig.lib.read_data_default = 4;
        clicker.let_startport(Variant::integer(2));
        clicker.EmptyScanner();
        ASSERT_TRUE(clicker.empty_ok());
        const std::u16string earlier = log_of(clicker);
        rig.lib.calls.clear();

        clicker.let_startport(c.startport);
        EXPECT_EQ(error_of([&] { clicker.EmptyScanner(); }), c.error);
        EXPECT_TRUE(rig.lib.calls.empty());
        EXPECT_EQ(log_of(clicker), earlier);
        EXPECT_FALSE(clicker.empty_ok());
        EXPECT_TRUE(clicker.open_ok());  // untouched: the member ended before step 4
    }
}

// Runtime errors between a successful csp2Init and the member's own csp2Restore release the port.
TEST(EmptyScanner, ErrorWithThePortOpenReleasesIt) {
    struct Case {
        const char* what;
        std::function<void(ScriptedCSP2&, Clicker&)> script;
        int error;
        std::u16string log;
        Calls calls;
    };
    const std::vector<Case> cases = {
        {"clock text with a minus sign", [](ScriptedCSP2&, Clicker& c) { c.pnewdatetime(u"05-7"); }, 5,
         u"OPOK:03143005*0", join({opened, {"csp2Restore()"}})},
        {"count beyond 16 bits before the erase",
         [](ScriptedCSP2& lib, Clicker&) { lib.read_data_results = {40000}; },
         6,
         u":03143005*0",
         {"csp2Init(3)", "csp2ReadData()", "csp2Restore()"}},
        {"count beyond 16 bits in a try",
         [](ScriptedCSP2& lib, Clicker&) {
             lib.read_data_results = {12, -32769};
             lib.clear_results = {-1};
         },
         6, u"OPOK:03143005*0:-1", join({opened, {"pause", "csp2ClearData()", "csp2ReadData()", "csp2Restore()"}})},
    };
    for (const auto& c : cases) {
        Rig rig;
        Clicker clicker(rig.services);
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 12;
        clicker.let_startport(Variant::integer(3));
        c.script(rig.lib, clicker);
        EXPECT_EQ(error_of([&] { clicker.EmptyScanner(); }), c.error) << c.what;
        EXPECT_FALSE(rig.lib.port_open) << c.what;
        EXPECT_EQ(rig.lib.calls, c.calls) << c.what;
        EXPECT_EQ(log_of(clicker), c.log) << c.what;
        EXPECT_FALSE(clicker.empty_ok()) << c.what;
        EXPECT_TRUE(rig.lib.set_times.empty()) << c.what;
    }
}

// Anything thrown while the trace of a successful csp2Init is written (the clock, an allocation)
// still releases the port.
TEST(EmptyScanner, ExceptionWhileTracingTheOpenPortReleasesIt) {
    struct ThrowingClock : testing::FakeClock {
        TimeOfDay time_of_day() override { throw std::bad_alloc(); }
    };
    Rig rig;
    ThrowingClock clock;
    rig.services.clock = &clock;
    Clicker clicker(rig.services);
    rig.lib.init_results[3] = 0;
    clicker.let_startport(Variant::integer(3));
    EXPECT_THROW(clicker.EmptyScanner(), std::bad_alloc);
    EXPECT_FALSE(rig.lib.port_open);
    EXPECT_EQ(rig.lib.calls, (Calls{"csp2Init(3)", "csp2Restore()"}));
}

}  // namespace
}  // namespace harrowtally
