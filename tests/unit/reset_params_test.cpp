// reset_params on the paths that run EmptyScanner; skipped while EmptyScanner is not built.
#include <gtest/gtest.h>

#include <algorithm>

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
        // A scanner on port 3 holding 12 barcodes whose first erase succeeds, refusing every parameter.
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 12;
        rig.lib.set_param_result = -1;
        clicker.let_startport(Variant::integer(3));
    }
    Rig rig;
    Clicker clicker{rig.services};
};

TEST_F(ResetParamsApplied, EmptiesThenRestoresDefaultsInItsOwnConnectionThenWritesEachEntry) {
    const std::vector<std::pair<std::u16string, Written>> cases = {
        {u"00", {}},
        {u"0205011200", {{5, {1, 0}}, {12, {0, 0}}}},  // refused parameters do not stop the others
        {u"02-905 5 1xx", {{-9, {5, 0}}, {5, {1, 0}}}},
        {u"020599  0 ", {{5, {99, 0}}, {0, {0, 0}}}},
    };
    for (const auto& [set, written] : cases) {
        rig.lib.calls.clear();
        rig.lib.written_params.clear();
        clicker.newparams(Variant::string(set));
        ASSERT_EQ(error_of([&] { clicker.reset_params(); }), 0) << to_utf8(set);
        EXPECT_TRUE(clicker.empty_ok());
        Calls expected = {"csp2Init(3)",       "csp2WakeUp()",    "csp2Interrogate()",
                          "csp2SetDefaults()", "csp2PowerDown()", "csp2Restore()"};
        for (const auto& [number, bytes] : written) {
            expected.insert(expected.end(),
                            {"pause", "csp2Init(3)", "csp2WakeUp()", "csp2Interrogate()",
                             "csp2SetParam(" + std::to_string(number) + ",2)", "csp2PowerDown()", "csp2Restore()"});
        }
        // EmptyScanner's own calls come first and end with the port released.
        const Calls& calls = rig.lib.calls;
        ASSERT_GT(calls.size(), expected.size());
        const auto tail = calls.end() - static_cast<std::ptrdiff_t>(expected.size());
        EXPECT_EQ(Calls(tail, calls.end()), expected) << to_utf8(set);
        EXPECT_EQ(*(tail - 1), "csp2Restore()");
        EXPECT_NE(std::find(calls.begin(), tail, "csp2ClearData()"), tail);
        EXPECT_EQ(rig.lib.written_params, written);
    }
}

TEST_F(ResetParamsApplied, RuntimeErrorInTheDefaultsConnectionReleasesThePort) {
    rig.lib.fail_call = "csp2SetDefaults";
    clicker.newparams(Variant::string(u"010501"));
    EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 453);
    EXPECT_FALSE(rig.lib.port_open);
    EXPECT_EQ(rig.lib.calls.back(), "csp2Restore()");
    EXPECT_TRUE(rig.lib.written_params.empty());
}

TEST_F(ResetParamsApplied, RefusedSetKeepsWhatTheLastEmptyingReportedAndEmptyStartportClearsOpenOk) {
    clicker.EmptyScanner();
    ASSERT_TRUE(clicker.open_ok() && clicker.empty_ok());
    const std::size_t calls_before = rig.lib.calls.size();
    clicker.newparams(Variant::string(u"0105-1"));
    const ObservedState before = observe(clicker);
    EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 5);
    EXPECT_EQ(observe(clicker), before);
    clicker.let_startport(Variant());
    clicker.reset_params();
    EXPECT_FALSE(clicker.open_ok());
    EXPECT_EQ(rig.lib.calls.size(), calls_before);
}

}  // namespace
}  // namespace harrowtally::testing
