#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clicker/barcode_access.h"
#include "clicker/clicker.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally {
namespace {

using testing::error_of;

// A download of three barcodes whose third packet failed: item 3 stays empty.
std::optional<Download> three_barcodes() {
    Download d(3);
    d[1] = {u"4006381333931", 200, 46362.6, u"14:30:05   12/06/26", true};
    d[2] = {u"B", 3, 46362.7, u"16:48:00   12/06/26", true};
    return d;
}

TEST(BarcodeAccess, IndicesOutsideTheListsFailWithSubscriptError) {
    const std::optional<Download> d = three_barcodes();
    const std::optional<Download> none;
    struct Case {
        const std::optional<Download>* lists;
        std::int16_t index;
        int error;
    };
    const std::vector<Case> cases = {
        {&d, 0, 0},     {&d, 1, 0},      {&d, 3, 0},    {&d, 4, 9},    {&d, -1, 9},
        {&d, 32767, 9}, {&d, -32768, 9}, {&none, 0, 9}, {&none, 1, 9}, {&none, -1, 9},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(error_of([&] { barcode_at(*c.lists, c.index); }), c.error) << c.index;
        EXPECT_EQ(error_of([&] { time_at(*c.lists, c.index); }), c.error) << c.index;
        EXPECT_EQ(error_of([&] { type_at(*c.lists, c.index); }), c.error) << c.index;
    }
}

TEST(BarcodeAccess, ElementsComeBackWithTheirTypes) {
    const std::optional<Download> d = three_barcodes();
    EXPECT_EQ(barcode_at(d, 1), Variant::string(u"4006381333931"));
    EXPECT_EQ(barcode_at(d, 1).type(), VarType::String);
    EXPECT_EQ(time_at(d, 2), Variant::date(46362.7));
    EXPECT_EQ(time_at(d, 2).type(), VarType::Date);
    // A code type above 127 stays positive.
    EXPECT_EQ(type_at(d, 1), Variant::integer(200));
    EXPECT_EQ(type_at(d, 1).type(), VarType::Integer);
    // Element 0 and an element no packet filled: empty text, date 0, empty variant.
    for (std::int16_t k : {0, 3}) {
        EXPECT_EQ(barcode_at(d, k), Variant::string(u"")) << k;
        EXPECT_EQ(time_at(d, k), Variant::date(0.0)) << k;
        EXPECT_TRUE(type_at(d, k).is_empty()) << k;
    }
}

TEST(BarcodeAccess, ClickerWithoutADownloadFailsForEveryIndex) {
    testing::ScriptedRig<> rig;
    Clicker c(rig.services);
    for (std::int16_t k : {0, 1, -1}) {
        c.let_get_barcode(k);
        EXPECT_EQ(error_of([&] { c.sbarcode(); }), 9) << k;
        EXPECT_EQ(error_of([&] { c.stime(); }), 9) << k;
        EXPECT_EQ(error_of([&] { c.stype(); }), 9) << k;
    }
    EXPECT_TRUE(rig.lib.calls.empty());
}

}  // namespace
}  // namespace harrowtally
