#include "wxs_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace harrowtally::packaging {
namespace {

struct FormattedCase {
    const char* name;
    std::u16string text;
    std::u16string folder;
    std::u16string formatted;
};

class InstallFolderText : public ::testing::TestWithParam<FormattedCase> {};

TEST_P(InstallFolderText, IsTheFormattedStringTheInstallerExpandsBack) {
    EXPECT_EQ(with_install_folder(GetParam().text, GetParam().folder), GetParam().formatted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallFolderText,
    ::testing::Values(
        FormattedCase{"plain", u"Apartment", u"C:\\A\\", u"Apartment"}, FormattedCase{"empty", u"", u"C:\\A\\", u""},
        FormattedCase{"class_id_keeps_its_braces", com::class_id, u"C:\\A\\", com::class_id},
        FormattedCase{"brackets_are_no_property", u"a[b]c", u"C:\\A\\", u"a[\\[]b[\\]]c"},
        FormattedCase{"property_name_stays_literal", u"[INSTALLDIR]", u"C:\\A\\", u"[\\[]INSTALLDIR[\\]]"},
        FormattedCase{"module_path", u"C:\\A\\Harrowtally.dll", u"C:\\A\\", u"[INSTALLDIR]Harrowtally.dll"},
        FormattedCase{"folder_alone", u"C:\\A\\", u"C:\\A\\", u"[INSTALLDIR]"},
        FormattedCase{"folder_twice", u"C:\\A\\x;C:\\A\\y", u"C:\\A\\", u"[INSTALLDIR]x;[INSTALLDIR]y"},
        FormattedCase{"folder_inside_text", u"-C:\\A\\]", u"C:\\A\\", u"-[INSTALLDIR][\\]]"},
        FormattedCase{"folder_with_brackets", u"C:\\[x]\\m.dll", u"C:\\[x]\\", u"[INSTALLDIR]m.dll"},
        FormattedCase{"other_folder", u"C:\\AB\\m.dll", u"C:\\A\\", u"C:\\AB\\m.dll"},
        FormattedCase{"no_folder_given", u"C:\\A\\m.dll", u"", u"C:\\A\\m.dll"}),
    [](const ::testing::TestParamInfo<FormattedCase>& info) { return std::string(info.param.name); });

// Every row of the table becomes one element, and every place the table puts the module's path or
// folder becomes the install folder: a row left with the placeholder would register a path that
// does not exist.
TEST(RegistryInclude, NamesTheInstallFolderWhereverTheTableNamesTheModule) {
    for (const auto bitness : {com::Bitness::x86, com::Bitness::x64}) {
        const std::string include = registry_include(bitness);
        const auto table = com::registration_table(u"C:\\X\\Harrowtally.dll", bitness, com::Scope::machine);
        std::size_t elements = 0;
        for (std::size_t at = include.find("<RegistryValue "); at != std::string::npos;
             at = include.find("<RegistryValue ", at + 1)) {
            ++elements;
        }
        EXPECT_EQ(elements, table.size());
        EXPECT_EQ(include.find("HARROWTALLY-INSTALLDIR"), std::string::npos);
        const std::string platform = bitness == com::Bitness::x64 ? "win64" : "win32";
        EXPECT_NE(include.find("InprocServer32\" Value=\"[INSTALLDIR]Harrowtally.dll\""), std::string::npos);
        EXPECT_NE(include.find("\\0\\" + platform + "\" Value=\"[INSTALLDIR]Harrowtally.dll\""), std::string::npos);
        EXPECT_NE(include.find("HELPDIR\" Value=\"[INSTALLDIR]\""), std::string::npos);
    }
}

}  // namespace
}  // namespace harrowtally::packaging
