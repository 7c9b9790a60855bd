// The registration table that regsvr32 and the installer both write: what each build and scope
// names, and the order in which unregistration removes the keys.
#include "com/registration_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/text.h"

namespace harrowtally::com {
namespace {

const std::u16string path = u"C:\\Program Files (x86)\\Harrowtally\\Harrowtally.dll";

bool has(const std::vector<RegistryEntry>& table, const std::u16string& key, const std::u16string& name,
         const std::u16string& value) {
    return std::any_of(table.begin(), table.end(),
                       [&](const RegistryEntry& e) { return e.key == key && e.name == name && e.value == value; });
}

struct Build {
    Bitness bitness;
    Scope scope;
    const char16_t* platform;
    bool surrogate;
};

class RegistrationTable : public testing::TestWithParam<Build> {};

TEST_P(RegistrationTable, NamesTheServerTypeLibraryAndSurrogateOfItsBuild) {
    const Build b = GetParam();
    const auto table = registration_table(path, b.bitness, b.scope);
    const std::u16string clsid = u"CLSID\\" + std::u16string(class_id);
    const std::u16string library = u"TypeLib\\" + std::u16string(library_id) + u"\\1.0\\";
    EXPECT_TRUE(has(table, clsid + u"\\InprocServer32", u"", path));
    EXPECT_TRUE(has(table, clsid + u"\\InprocServer32", u"ThreadingModel", u"Apartment"));
    EXPECT_TRUE(has(table, std::u16string(prog_id) + u"\\CLSID", u"", class_id));
    EXPECT_TRUE(has(table, library + u"409\\" + b.platform, u"", path));
    EXPECT_TRUE(has(table, library + u"0\\" + b.platform, u"", path));
    EXPECT_TRUE(has(table, library + u"HELPDIR", u"", u"C:\\Program Files (x86)\\Harrowtally\\"));
    const std::u16string app_id = u"AppID\\" + std::u16string(class_id);
    EXPECT_EQ(has(table, app_id, u"DllSurrogate", u""), b.surrogate);
    EXPECT_EQ(has(table, clsid, u"AppID", class_id), b.surrogate);
    // A build's own rows are its class and its type library file; everything else both builds use.
    for (const RegistryEntry& e : table) {
        const bool own_key = e.key.starts_with(u"CLSID\\") || e.key.starts_with(u"AppID\\") ||
                             e.key.ends_with(std::u16string(u"\\") + b.platform);
        EXPECT_EQ(e.ownership == Ownership::own, own_key) << to_utf8(e.key);
        EXPECT_FALSE(e.key.starts_with(u"\\") || e.key.starts_with(u"Software")) << to_utf8(e.key);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, RegistrationTable,
                         testing::Values(Build{Bitness::x86, Scope::machine, u"win32", true},
                                         Build{Bitness::x86, Scope::user, u"win32", false},
                                         Build{Bitness::x64, Scope::machine, u"win64", false},
                                         Build{Bitness::x64, Scope::user, u"win64", false}),
                         [](const testing::TestParamInfo<Build>& info) {
                             return std::string(info.param.bitness == Bitness::x86 ? "x86" : "x64") +
                                    (info.param.scope == Scope::machine ? "_machine" : "_user");
                         });

TEST(RegistrationTableKeys, EveryKeyOnceAndBelowKeysBeforeTheKeysAboveThem) {
    const auto table = registration_table(path, Bitness::x86, Scope::machine);
    const auto keys = keys_deepest_first(table);
    for (const RegistryEntry& e : table) EXPECT_EQ(std::count(keys.begin(), keys.end(), e.key), 1) << to_utf8(e.key);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            EXPECT_FALSE(keys[j].starts_with(keys[i] + u"\\"))
                << to_utf8(keys[j]) << " comes after the key above it, " << to_utf8(keys[i]);
        }
    }
}

}  // namespace
}  // namespace harrowtally::com
