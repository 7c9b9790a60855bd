#include "host/member_table.h"

#include <gtest/gtest.h>

#include <set>

namespace harrowtally::host {
namespace {

enum Access { kRead = 1, kAssign = 2, kCall = 4 };

// The automation interface of the Clicker as a dispatch caller sees it.
const std::vector<std::pair<std::string, int>> kInterface = {
    {"startport", kRead | kAssign},
    {"get_barcode", kRead | kAssign},
    {"open_clicker", kCall},
    {"close_clicker", kCall},
    {"serial", kRead},
    {"log", kRead},
    {"lastport", kAssign},
    {"newparams", kAssign},
    {"cur_clicker_params", kAssign},
    {"pnewdatetime", kAssign},
    {"alldata", kRead},
    {"comport", kRead},
    {"num_barcodes", kRead},
    {"hello", kRead},
    {"num_files", kRead},
    {"open_ok", kRead},
    {"empty_ok", kRead},
    {"EmptyScanner", kCall},
    {"reset_params", kCall},
    {"showparams", kRead},
    {"SwVersion", kRead},
    {"getdate", kCall},
    {"setdate", kCall},
    {"sbarcode", kRead},
    {"stime", kRead},
    {"stype", kRead},
};

int access_of(const Member& m) {
    return (m.get ? kRead : 0) | (m.let ? kAssign : 0) | (m.call ? kCall : 0);
}

TEST(MemberTable, HoldsExactlyTheInterfaceWithItsAccess) {
    EXPECT_EQ(members().size(), kInterface.size());
    for (const auto& [name, access] : kInterface) {
        const Member* m = find_member(name);
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(m->name, name);
        EXPECT_EQ(access_of(*m), access) << name;
    }
}

TEST(MemberTable, NamesMatchWithoutRegardToCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"EMPTYSCANNER", "EmptyScanner"},
        {"swversion", "SwVersion"},
        {"Open_Clicker", "open_clicker"},
        {"StartPort", "startport"},
        {"LOG", "log"},
    };
    for (const auto& [asked, found] : cases) {
        const Member* m = find_member(asked);
        ASSERT_NE(m, nullptr) << asked;
        EXPECT_STREQ(m->name, found);
    }
    for (const char* unknown : {"", "logs", "open", "clear_clicker", "startport_"}) {
        EXPECT_EQ(find_member(unknown), nullptr) << unknown;
    }
}

}  // namespace
}  // namespace harrowtally::host
