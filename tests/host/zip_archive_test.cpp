// The workbook's container: what the writer packs, the reader gives back byte for byte, entry by
// entry; an archive a reader could take two ways, or one that was damaged, is refused.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/formats/format_parts.h"
#include "host/formats/zip_archive.h"

namespace harrowtally::host::formats {
namespace {

struct Entry {
    std::string name, data;
};

std::string packed(const std::vector<Entry>& entries) {
    ZipWriter zip;
    for (const Entry& e : entries) {
        zip.begin(e.name);
        // In pieces, as the sheet is written, across the writer's own piece size.
        for (std::size_t at = 0; at < e.data.size(); at += 70000) zip.write(std::string_view(e.data).substr(at, 70000));
        zip.end();
    }
    return zip.finish();
}

std::string varied(std::size_t size) {
    std::string text(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : text) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    return text;
}

TEST(ZipArchive, GivesBackEveryEntryAsWritten) {
    const std::vector<Entry> entries = {{"empty", ""},
                                        {"a/b.xml", "<x>&amp;</x>"},
                                        {"large repeated", std::string(300000, 'z')},
                                        {"large varied", varied(200000)},
                                        {"bytes", std::string("\0\xff\r\n", 4)}};
    const std::string archive = packed(entries);  // the reader reads it where it lies
    const ZipReader reader(archive);
    for (const Entry& e : entries) {
        const auto data = reader.entry(e.name);
        ASSERT_TRUE(data) << e.name;
        EXPECT_EQ(*data, e.data) << e.name;
    }
    EXPECT_FALSE(reader.entry("missing"));
    EXPECT_FALSE(reader.entry("A/B.XML")) << "names are exact";
}

TEST(ZipArchive, RefusesWhatReadersCouldTakeTwoWaysOrWasDamaged) {
    struct Case {
        const char* what;
        std::function<std::string()> archive;
        const char* read;  // the entry read, for damage the directory does not show
    };
    const std::string good = packed({{"sheet", varied(5000)}});
    const std::vector<Case> cases = {
        {"one name twice",
         [] {
             return packed({{"sheet", "first"}, {"sheet", "second"}});
         },
         "sheet"},
        {"a data byte flipped",
         [&] {
             std::string z = good;
             z[60] = static_cast<char>(z[60] ^ 0x01);
             return z;
         },
         "sheet"},
        {"cut short", [&] { return good.substr(0, good.size() - 30); }, "sheet"},
        {"no archive at all", [] { return std::string("item,barcode\r\n"); }, "sheet"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(
            {
                const std::string archive = c.archive();
                const ZipReader reader(archive);
                (void)reader.entry(c.read);
            },
            Malformed)
            << c.what;
    }
}

}  // namespace
}  // namespace harrowtally::host::formats
