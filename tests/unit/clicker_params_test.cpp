#include <gtest/gtest.h>

#include "clicker/clicker.h"
#include "common/text.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Calls = std::vector<std::string>;

const std::u16string info = u"0x1:0x0:V1.2" + std::u16string(6, u'\0') + u":0x1:0x0";

TEST(ShowParams, ReportsTheListedParametersAndTheScannerInformation) {
    struct Case {
        std::u16string list;
        std::u16string report;  // before ":" and the information
        std::vector<int> read;
        int error = 0;
        std::vector<std::int32_t> results = {};  // csp2GetParam's, kept in the typed report only
    };
    const std::vector<Case> cases = {
        {u"", u"", {}},
        {u"ab", u"ab", {}},  // two characters are not converted at all
        {u"00xyz", u"00", {}},
        {u"0205 7", u"02050107200", {5, 7}, 0, {0, 0}},
        {u" 1 5", u" 10501", {5}, 0, {0}},  // the count as stored, the entries reformatted
        {u"020505", u"0205010501", {5, 5}, 0, {0, 0}},
        {u"0109", u"010900", {9}, 0, {-1}},  // a parameter the library leaves alone reads as 00
        {u"01-1", u"01-0100", {-1}, 0, {-1}},
        {u"x105", u"", {}, 13},       // the count fails before any connection
        {u"0205", u"", {5}, 13},      // the second entry lies beyond the end
        {u"0305xx07", u"", {5}, 13},  // an entry that is no number
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.lib.init_default = 0;
        rig.lib.sw_version = bytes_of("V1.2");
        rig.lib.params = {{5, {1}}, {7, {200}}};
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(4));
        clicker.cur_clicker_params(Variant::string(c.list));
        const ObservedState before = observe(clicker);
        Variant report;
        EXPECT_EQ(error_of([&] { report = clicker.showparams(); }), c.error) << to_utf8(c.list);
        Calls expected;
        for (int number : c.read) {
            expected.insert(expected.end(),
                            {"pause", "csp2Init(4)", "csp2WakeUp()", "csp2Interrogate()",
                             "csp2GetParam(" + std::to_string(number) + ",10)", "csp2PowerDown()", "csp2Restore()"});
        }
        if (c.error == 0) {
            EXPECT_EQ(report, Variant::string(c.report + u":" + info)) << to_utf8(c.list);
            std::vector<std::int32_t> results;
            for (const ParameterReading& entry : clicker.parameter_report().entries) {
                results.push_back(entry.getter_result);
            }
            EXPECT_EQ(results, c.results) << to_utf8(c.list);
            expected.insert(expected.end(), {"csp2Init(4)", "csp2WakeUp()", "csp2Interrogate()", "csp2GetProtocol()",
                                             "csp2GetSystemStatus()", "csp2GetSwVersion(10)", "csp2GetASCIIMode()",
                                             "csp2GetRTCMode()", "csp2PowerDown()", "csp2Restore()"});
        }
        EXPECT_EQ(rig.lib.calls, expected) << to_utf8(c.list);
        EXPECT_EQ(observe(clicker), before);
    }
}

TEST(ResetParams, EmptyStartportDoesNothingWhateverTheSet) {
    for (const char16_t* set : {u"0105", u"", u"bad", u"0105-1"}) {
        Rig rig;
        Clicker clicker(rig.services);
        clicker.newparams(Variant::string(set));
        EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 0) << to_utf8(set);
        EXPECT_TRUE(rig.lib.calls.empty()) << to_utf8(set);
    }
}

// A set that cannot be applied whole is refused before the scanner is emptied or reset.
TEST(ResetParams, SetThatCannotBeAppliedFailsBeforeTouchingTheScanner) {
    const std::vector<std::pair<Variant, int>> cases = {
        {Variant(), 13},  // the empty text: the count is no number
        {Variant::string(u"ab0501"), 13},
        {Variant::string(u"030501120099-5"), 5},  // a negative value in the last entry
        {Variant::string(u"0305011200"), 5},      // the count exceeds the complete entries
        {Variant::integer(3), 5},                 // the number 3 stores the text "3"
    };
    for (const auto& [set, error] : cases) {
        Rig rig;
        rig.lib.init_default = 0;
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        clicker.newparams(set);
        clicker.pnewdatetime(u"051710061226");
        const ObservedState before = observe(clicker);
        EXPECT_EQ(error_of([&] { clicker.reset_params(); }), error) << to_utf8(clicker.newparams_text());
        EXPECT_TRUE(rig.lib.calls.empty()) << to_utf8(clicker.newparams_text());
        EXPECT_EQ(observe(clicker), before);
    }
}

}  // namespace
}  // namespace harrowtally::testing
