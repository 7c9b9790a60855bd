// reset_params on the paths that run EmptyScanner first. Skipped while EmptyScanner is not built.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/text.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Calls = std::vector<std::string>;
using Written = std::vector<std::pair<std::int32_t, Bytes>>;

class ResetParamsApplied : public ::testing::Test {
protected:
    void SetUp() override {
        Rig probe;
        Clicker c(probe.services());
        if (error_of([&] { c.EmptyScanner(); }) == err::no_such_member) GTEST_SKIP() << "EmptyScanner not built yet";
        // A scanner on port 3 holding 12 barcodes whose first erase succeeds.
        rig.library.init_results[3] = 0;
        rig.library.read_data_default = 12;
        clicker.let_startport(Variant::integer(3));
    }

    // The calls from the defaults connection on, checking on the way that the scanner was emptied
    // and its port released before it.
    Calls after_emptying() {
        const Calls& calls = rig.library.calls;
        const auto defaults = std::find(calls.begin(), calls.end(), "csp2SetDefaults()");
        EXPECT_NE(defaults, calls.end());
        if (defaults == calls.end() || defaults - calls.begin() < 3) return {};
        const auto frame = defaults - 3;
        const Calls emptying(calls.begin(), frame);
        EXPECT_NE(std::find(emptying.begin(), emptying.end(), "csp2ClearData()"), emptying.end());
        EXPECT_EQ(emptying.back(), "csp2Restore()");
        return Calls(frame, calls.end());
    }

    Rig rig;
    Clicker clicker{rig.services()};
};

Calls defaults_frame(int port) {
    return {"csp2Init(" + std::to_string(port) + ")",
            "csp2WakeUp()",
            "csp2Interrogate()",
            "csp2SetDefaults()",
            "csp2PowerDown()",
            "csp2Restore()"};
}

Calls set_frame(int port, int number) {
    return {"pause",
            "csp2Init(" + std::to_string(port) + ")",
            "csp2WakeUp()",
            "csp2Interrogate()",
            "csp2SetParam(" + std::to_string(number) + ",2)",
            "csp2PowerDown()",
            "csp2Restore()"};
}

TEST_F(ResetParamsApplied, EmptiesRestoresDefaultsInItsOwnConnectionThenWritesEachEntry) {
    struct Case {
        std::u16string set;
        Written written;
    };
    const std::vector<Case> cases = {
        {u"00", {}},
        {u"0205011200", {{5, {1, 0}}, {12, {0, 0}}}},
        {u"0107 9xx", {{7, {9, 0}}}},
        {u"02-905 5 1", {{-9, {5, 0}}, {5, {1, 0}}}},
        {u"020599  0 ", {{5, {99, 0}}, {0, {0, 0}}}},
    };
    for (const auto& c : cases) {
        rig.library.calls.clear();
        rig.library.written_params.clear();
        clicker.newparams(Variant::string(c.set));
        ASSERT_EQ(error_of([&] { clicker.reset_params(); }), 0) << to_utf8(c.set);
        EXPECT_TRUE(clicker.empty_ok()) << to_utf8(c.set);
        Calls expected = defaults_frame(3);
        for (const auto& [number, bytes] : c.written) {
            const Calls frame = set_frame(3, number);
            expected.insert(expected.end(), frame.begin(), frame.end());
        }
        EXPECT_EQ(after_emptying(), expected) << to_utf8(c.set);
        EXPECT_EQ(rig.library.written_params, c.written) << to_utf8(c.set);
        EXPECT_FALSE(rig.library.port_open);
        EXPECT_EQ(clicker.newparams_text(), c.set);
    }
}

TEST_F(ResetParamsApplied, RefusedParameterDoesNotStopTheOthers) {
    rig.library.set_param_result = -1;
    clicker.newparams(Variant::string(u"0205011200"));
    EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 0);
    EXPECT_EQ(rig.library.written_params, (Written{{5, {1, 0}}, {12, {0, 0}}}));
}

TEST_F(ResetParamsApplied, PortThatDoesNotOpenStillGetsEveryConnection) {
    rig.library.init_results.clear();  // every csp2Init fails; results are not examined
    clicker.newparams(Variant::string(u"010501"));
    EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 0);
    EXPECT_FALSE(clicker.open_ok());
    Calls expected = defaults_frame(3);
    const Calls frame = set_frame(3, 5);
    expected.insert(expected.end(), frame.begin(), frame.end());
    const Calls& calls = rig.library.calls;
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(Calls(calls.end() - static_cast<std::ptrdiff_t>(expected.size()), calls.end()), expected);
}

TEST_F(ResetParamsApplied, RuntimeErrorInTheDefaultsConnectionReleasesThePort) {
    rig.library.fail_call = "csp2SetDefaults";
    clicker.newparams(Variant::string(u"010501"));
    EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 453);
    EXPECT_FALSE(rig.library.port_open);
    EXPECT_EQ(rig.library.calls.back(), "csp2Restore()");
    EXPECT_TRUE(rig.library.written_params.empty());
}

TEST_F(ResetParamsApplied, RefusedSetKeepsWhatTheLastEmptyingReported) {
    clicker.EmptyScanner();
    ASSERT_TRUE(clicker.open_ok());
    ASSERT_TRUE(clicker.empty_ok());
    const ObservedState before = observe(clicker);
    const std::size_t calls_before = rig.library.calls.size();
    for (const char16_t* set : {u"", u"x", u"0105-1", u"0205"}) {
        clicker.newparams(Variant::string(set));
        EXPECT_NE(error_of([&] { clicker.reset_params(); }), 0) << to_utf8(set);
        EXPECT_EQ(rig.library.calls.size(), calls_before) << to_utf8(set);
        ObservedState after = observe(clicker);
        after.newparams_text = before.newparams_text;
        EXPECT_EQ(after, before) << to_utf8(set);
    }
}

TEST_F(ResetParamsApplied, EmptyStartportClearsOpenOk) {
    clicker.EmptyScanner();
    ASSERT_TRUE(clicker.open_ok());
    const std::size_t calls_before = rig.library.calls.size();
    clicker.let_startport(Variant());
    clicker.newparams(Variant::string(u"010501"));
    clicker.reset_params();
    EXPECT_FALSE(clicker.open_ok());
    EXPECT_EQ(rig.library.calls.size(), calls_before);
}

}  // namespace
}  // namespace harrowtally::testing
