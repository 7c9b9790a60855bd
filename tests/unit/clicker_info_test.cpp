#include <gtest/gtest.h>

#include <optional>

#include "clicker/clicker.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

TEST(NumFiles, CountsTheDataFolderWithinSixteenBits) {
    // Listed count, then the result or, from -1000 down, -1000 - the error.
    const std::vector<std::pair<std::int64_t, int>> cases = {{0, 0},         {3, 3},         {32767, 32767},
                                                             {32768, -1006}, {65536, -1006}, {INT64_MAX, -1006}};
    for (const auto& [listed, expected] : cases) {
        Rig rig;
        rig.listing.count = listed;
        Clicker clicker(rig.services);
        int got = 0;
        const int e = error_of([&] { got = clicker.num_files(); });
        EXPECT_EQ(expected <= -1000 ? std::pair(-(expected + 1000), 0) : std::pair(0, expected), std::pair(e, got))
            << listed;
        EXPECT_EQ(rig.listing.folders, std::vector<std::u16string>{u"c:\\larkvale"});
        EXPECT_TRUE(rig.lib.calls.empty());
    }
}

TEST(SwVersion, TenCharactersFromTheOnlyLibraryCall) {
    const std::vector<std::pair<std::optional<Bytes>, std::u16string>> cases = {
        {bytes_of(std::string("V1.2\0", 5)), u"V1.2" + std::u16string(6, u'\0')},
        {std::nullopt, std::u16string(10, u'\0')},
        {bytes_of("0123456789"), u"0123456789"},
        {Bytes{'A', 0, 0xE9, 0x80}, std::u16string(u"A\0\u00E9\u20AC", 4) + std::u16string(6, u'\0')},
    };
    for (const auto& [written, expected] : cases) {
        Rig rig;
        rig.lib.sw_version = written;
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        const ObservedState before = observe(clicker);
        const Variant version = clicker.SwVersion();
        ASSERT_EQ(version.type(), VarType::String);
        EXPECT_EQ(version.as_string(), expected);
        EXPECT_EQ(rig.lib.calls, std::vector<std::string>{"csp2GetSwVersion(10)"});
        EXPECT_EQ(rig.lib.areas, std::vector<Bytes>{Bytes(10, 0)});
        EXPECT_EQ(observe(clicker), before);
    }
}

}  // namespace
}  // namespace harrowtally::testing
