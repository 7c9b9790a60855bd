#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

TEST(NumFiles, CountsTheDataFolderWithinSixteenBits) {
    struct Case {
        std::int64_t listed;
        int expected;  // -1000 - error number on failure
    };
    const std::vector<Case> cases = {
        {0, 0}, {3, 3}, {32767, 32767}, {32768, -1006}, {65536, -1006}, {INT64_MAX, -1006},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.listing.count = c.listed;
        Clicker clicker(rig.services());
        const ObservedState before = observe(clicker);
        int got = 0;
        const int e = error_of([&] { got = clicker.num_files(); });
        if (c.expected <= -1000) {
            EXPECT_EQ(e, -(c.expected + 1000)) << c.listed;
        } else {
            EXPECT_EQ(e, 0) << c.listed;
            EXPECT_EQ(got, c.expected) << c.listed;
        }
        EXPECT_EQ(rig.listing.folders, std::vector<std::u16string>{u"c:\\larkvale"});
        EXPECT_TRUE(rig.library.calls.empty());
        EXPECT_EQ(observe(clicker), before);
    }
}

TEST(SwVersion, TenCharactersFromTheOnlyLibraryCall) {
    struct Case {
        const char* name;
        std::optional<Bytes> written;
        std::u16string expected;
    };
    const std::vector<Case> cases = {
        {"four characters and a terminator", bytes_of(std::string("V1.2\0", 5)), u"V1.2" + std::u16string(6, u'\0')},
        {"nothing written", std::nullopt, std::u16string(10, u'\0')},
        {"ten characters", bytes_of("0123456789"), u"0123456789"},
        {"zero inside", Bytes{'A', 0, 'B'}, std::u16string(u"A\0B", 3) + std::u16string(7, u'\0')},
        {"bytes through the code page", Bytes{0xE9, 0x80, 0xFF}, u"\u00E9\u20AC\u00FF" + std::u16string(7, u'\0')},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.library.sw_version = c.written;
        rig.library.init_default = 0;
        Clicker clicker(rig.services());
        clicker.let_startport(Variant::integer(3));
        const ObservedState before = observe(clicker);
        const Variant version = clicker.SwVersion();
        ASSERT_EQ(version.type(), VarType::String) << c.name;
        EXPECT_EQ(version.as_string(), c.expected) << c.name;
        EXPECT_EQ(rig.library.calls, std::vector<std::string>{"csp2GetSwVersion(10)"}) << c.name;
        EXPECT_EQ(rig.library.version_areas.at(0), Bytes(10, 0)) << c.name;
        EXPECT_EQ(observe(clicker), before);
    }
}

TEST(SwVersion, LibraryThatCannotBeUsedFailsTheMember) {
    Rig rig;
    rig.library.fail_call = "csp2GetSwVersion";
    rig.library.fail_error = 53;
    Clicker clicker(rig.services());
    EXPECT_EQ(error_of([&] { clicker.SwVersion(); }), 53);
}

TEST(Hello, AnswersWithoutTheLibrary) {
    Rig rig;
    Clicker clicker(rig.services());
    EXPECT_EQ(clicker.hello(), u"Clicker control successfully installed");
    EXPECT_TRUE(rig.library.calls.empty());
}

}  // namespace
}  // namespace harrowtally::testing
