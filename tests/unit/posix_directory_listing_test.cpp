#include "common/posix/posix_directory_listing.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace harrowtally {
namespace {

namespace fs = std::filesystem;

TEST(PosixDirectoryListing, MapsWindowsFolderNamesUnderTheRoot) {
    struct Case {
        std::string root;
        std::u16string folder;
        std::string expected;
    };
    const Case cases[] = {
        {"/", u"c:\\larkvale", "/c/larkvale"},
        {"/", u"C:\\Larkvale\\", "/c/Larkvale"},
        {"/srv/drives/", u"d:\\a\\b", "/srv/drives/d/a/b"},
        {"/srv", u"\\data", "/srv/data"},
        {"/srv", u"c:", "/srv/c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PosixDirectoryListing(c.root).map_folder(c.folder), c.expected) << c.root;
    }
}

TEST(PosixDirectoryListing, CountsVisibleRegularFilesOnly) {
    std::string pattern = (fs::temp_directory_path() / "harrowtally-listing-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    struct Cleanup {
        fs::path path;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } cleanup{root};

    PosixDirectoryListing listing(root.string());
    EXPECT_EQ(listing.count_ordinary_files(u"c:\\larkvale"), 0) << "a missing folder counts no files";

    const fs::path folder = root / "c" / "larkvale";
    fs::create_directories(folder / "sub");
    for (const char* name : {"a.txt", "b.dat", "noext", ".hidden"}) std::ofstream(folder / name) << "x";
    std::ofstream(folder / "sub" / "inner.txt") << "x";
    fs::create_symlink(folder / "a.txt", folder / "link-to-file");
    fs::create_symlink(folder / "sub", folder / "link-to-folder");
    fs::create_symlink(folder / "gone", folder / "broken-link");

    EXPECT_EQ(listing.count_ordinary_files(u"c:\\larkvale"), 4);
    EXPECT_EQ(listing.count_ordinary_files(u"C:\\larkvale\\sub"), 1);
}

}  // namespace
}  // namespace harrowtally
