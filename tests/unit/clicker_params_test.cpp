#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/text.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Calls = std::vector<std::string>;

const std::u16string info = u"0x1:0x0:" + std::u16string(u"V1.2") + std::u16string(6, u'\0') + u":0x1:0x0";

void usual_scanner(InspectingCSP2& library) {
    library.init_default = 0;
    library.sw_version = bytes_of("V1.2");
}

TEST(ShowParams, ReportsTheListedParametersAndTheScannerInformation) {
    struct Case {
        std::u16string list;
        std::u16string expected;
        std::vector<std::int32_t> read;  // parameters read, in order
    };
    const std::vector<Case> cases = {
        {u"", u":" + info, {}},
        {u"1", u"1:" + info, {}},
        {u"ab", u"ab:" + info, {}},  // two characters are not converted at all
        {u"00xyz", u"00:" + info, {}},
        {u"0205 7", u"02050107200:" + info, {5, 7}},
        {u" 1 5", u" 10501:" + info, {5}},  // count as stored, entries reformatted
        {u"1.07", u"1.07200:" + info, {7}},
        {u"020505", u"0205010501:" + info, {5, 5}},
        {u"0109", u"010900:" + info, {9}},  // a parameter the library does not know reads as 00
        {u"01-1", u"01-0100:" + info, {-1}},
        {u"02050799", u"02050107200:" + info, {5, 7}},
    };
    for (const auto& c : cases) {
        Rig rig;
        usual_scanner(rig.library);
        rig.library.params = {{5, {1}}, {7, {200}}};
        Clicker clicker(rig.services());
        clicker.let_startport(Variant::integer(4));
        clicker.cur_clicker_params(Variant::string(c.list));
        const Variant report = clicker.showparams();
        ASSERT_EQ(report.type(), VarType::String) << to_utf8(c.list);
        EXPECT_EQ(report.as_string(), c.expected) << to_utf8(c.list);
        Calls expected_calls;
        for (std::int32_t number : c.read) {
            expected_calls.insert(expected_calls.end(), {"pause", "csp2Init(4)", "csp2WakeUp()", "csp2Interrogate()",
                                                         "csp2GetParam(" + std::to_string(number) + ",10)",
                                                         "csp2PowerDown()", "csp2Restore()"});
        }
        expected_calls.insert(
            expected_calls.end(),
            {"csp2Init(4)", "csp2WakeUp()", "csp2Interrogate()", "csp2GetProtocol()", "csp2GetSystemStatus()",
             "csp2GetSwVersion(10)", "csp2GetASCIIMode()", "csp2GetRTCMode()", "csp2PowerDown()", "csp2Restore()"});
        EXPECT_EQ(rig.library.calls, expected_calls) << to_utf8(c.list);
        EXPECT_EQ(clicker.cur_params_text(), c.list);
    }
}

TEST(ShowParams, EmptyStartportAddressesPortZero) {
    Rig rig;
    usual_scanner(rig.library);
    Clicker clicker(rig.services());
    clicker.cur_clicker_params(Variant::string(u"0105"));
    clicker.showparams();
    EXPECT_EQ(rig.library.calls.at(1), "csp2Init(0)");
    EXPECT_EQ(rig.library.calls.at(7), "csp2Init(0)");
}

TEST(ShowParams, ListThatDoesNotReadFailsWith13) {
    struct Case {
        std::u16string list;
        int parameters_read_before;
    };
    const std::vector<Case> cases = {
        {u"x105", 0},      // the count fails before any connection
        {u"0205", 1},      // the second entry lies beyond the end of the text
        {u"0305xx07", 1},  // an entry that is not a number
        {u"01  ", 0},
    };
    for (const auto& c : cases) {
        Rig rig;
        usual_scanner(rig.library);
        Clicker clicker(rig.services());
        clicker.let_startport(Variant::integer(4));
        clicker.cur_clicker_params(Variant::string(c.list));
        const ObservedState before = observe(clicker);
        EXPECT_EQ(error_of([&] { clicker.showparams(); }), 13) << to_utf8(c.list);
        EXPECT_EQ(rig.pause.count, c.parameters_read_before) << to_utf8(c.list);
        EXPECT_EQ(rig.library.calls.size(), 7u * c.parameters_read_before) << to_utf8(c.list);
        EXPECT_FALSE(rig.library.port_open);
        EXPECT_EQ(observe(clicker), before);
    }
}

TEST(ResetParams, EmptyStartportDoesNothingAndIsNoFailure) {
    for (const char16_t* set : {u"0105", u"", u"bad", u"0205", u"0105-1"}) {
        Rig rig;
        usual_scanner(rig.library);
        Clicker clicker(rig.services());
        clicker.newparams(Variant::string(set));
        EXPECT_EQ(error_of([&] { clicker.reset_params(); }), 0) << to_utf8(set);
        EXPECT_TRUE(rig.library.calls.empty()) << to_utf8(set);
        EXPECT_FALSE(clicker.open_ok());
    }
}

// A set that cannot be applied whole is refused before the scanner is emptied or reset.
TEST(ResetParams, SetThatCannotBeAppliedFailsBeforeTouchingTheScanner) {
    struct Case {
        Variant set;
        int error;
    };
    const std::vector<Case> cases = {
        {Variant(), 13},  // empty text: the count is no number
        {Variant::string(u"ab0501"), 13},
        {Variant::string(u"0105-1"), 5},          // negative value
        {Variant::string(u"030501120099-5"), 5},  // negative value in the last entry
        {Variant::string(u"0305011200"), 5},      // count beyond the complete entries
        {Variant::string(u"01050"), 5},           // entry cut short
        {Variant::integer(3), 5},                 // the number 3 stores the text "3"
    };
    for (const auto& c : cases) {
        Rig rig;
        usual_scanner(rig.library);
        Clicker clicker(rig.services());
        clicker.let_startport(Variant::integer(3));
        clicker.newparams(c.set);
        clicker.pnewdatetime(u"051710061226");
        const ObservedState before = observe(clicker);
        EXPECT_EQ(error_of([&] { clicker.reset_params(); }), c.error) << to_utf8(clicker.newparams_text());
        EXPECT_TRUE(rig.library.calls.empty()) << to_utf8(clicker.newparams_text());
        EXPECT_EQ(rig.pause.count, 0);
        EXPECT_EQ(observe(clicker), before) << to_utf8(clicker.newparams_text());
    }
}

}  // namespace
}  // namespace harrowtally::testing
