#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/text.h"
#include "common/value_conversions.h"
#include "support/scripted_rig.h"

namespace harrowtally {
namespace {

// The core reads the host's values with the conversions its services name, never with a format of
// its own: with German separators "3,5" is the port 3.5, searched from 4 (35 in English).
const PortableConversions german{NumberFormat{u',', u'.', u'\u20ac'}};

struct PortReader {
    const char* member;
    std::function<void(Clicker&)> read;
};

void PrintTo(const PortReader& r, std::ostream* os) {
    *os << r.member;
}

class PortReadThroughTheServices : public ::testing::TestWithParam<PortReader> {};

TEST_P(PortReadThroughTheServices, FirstPortOpenedIsTheConvertedOne) {
    testing::ScriptedRig<> rig;
    rig.services.conversions = &german;
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::string(u"3,5"));
    clicker.cur_clicker_params(Variant::string(u"0105"));
    clicker.newparams(Variant::string(u"00"));
    GetParam().read(clicker);
    const auto first = std::find_if(rig.lib.calls.begin(), rig.lib.calls.end(),
                                    [](const std::string& c) { return c.rfind("csp2Init(", 0) == 0; });
    ASSERT_NE(first, rig.lib.calls.end());
    EXPECT_EQ(*first, "csp2Init(4)");
}

INSTANTIATE_TEST_SUITE_P(Conversions, PortReadThroughTheServices,
                         ::testing::Values(PortReader{"open_clicker", [](Clicker& c) { c.open_clicker(); }},
                                           PortReader{"getdate", [](Clicker& c) { c.getdate(); }},
                                           PortReader{"EmptyScanner", [](Clicker& c) { c.EmptyScanner(); }},
                                           PortReader{"showparams", [](Clicker& c) { c.showparams(); }},
                                           PortReader{"reset_params", [](Clicker& c) { c.reset_params(); }}),
                         [](const ::testing::TestParamInfo<PortReader>& info) {
                             return std::string(info.param.member);
                         });

TEST(Conversions, TextsKeptByTheClickerAreWrittenByTheServices) {
    testing::ScriptedRig<> rig;
    rig.services.conversions = &german;
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    // "0,5": a count text "0," that the German reading takes as 0, so no entry is read.
    clicker.cur_clicker_params(Variant::double_(0.5));
    EXPECT_EQ(to_utf8(clicker.showparams().as_string()).substr(0, 3), "0,:");
}

}  // namespace
}  // namespace harrowtally
