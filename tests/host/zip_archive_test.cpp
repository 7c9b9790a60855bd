// The workbook's container: what the writer packs, the reader gives back byte for byte, entry by
// entry; an archive a reader could take two ways, or one that was damaged, is refused.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/formats/format_parts.h"
#include "host/formats/read_budget.h"
#include "host/formats/zip_archive.h"
#include "support/heap_count.h"

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

// The archive with the 32-bit field at `at` set to `value`.
std::string with_field(std::string archive, std::size_t at, std::uint32_t value) {
    for (std::size_t k = 0; k < 4; ++k) archive[at + k] = static_cast<char>(value >> (8 * k));
    return archive;
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
    ReadBudget budget(archive.size());
    for (const Entry& e : entries) {
        const auto data = reader.entry(e.name, budget);
        ASSERT_TRUE(data) << e.name;
        EXPECT_EQ(*data, e.data) << e.name;
    }
    EXPECT_FALSE(reader.entry("missing", budget));
    EXPECT_FALSE(reader.entry("A/B.XML", budget)) << "names are exact";
}

TEST(ZipArchive, RefusesWhatReadersCouldTakeTwoWaysOrWasDamaged) {
    struct Case {
        const char* what;
        std::function<std::string()> archive;
        const char* read;  // the entry read, for damage the directory does not show
    };
    const std::string good = packed({{"sheet", varied(5000)}});
    // The end record's fields, and the one directory record's ("sheet" is its name).
    const std::size_t end = good.size() - 22, record = end - 46 - 5;
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
        // Offsets and sizes near 2^32, which a 32-bit size_t would wrap to a small number: the
        // reader would read before the archive's first byte.
        {"the directory at 0xFFFFFFFE", [&] { return with_field(good, end + 16, 0xFFFFFFFE); }, "sheet"},
        {"the directory's offset and size adding up past 2^32",
         [&] { return with_field(good, end + 12, static_cast<std::uint32_t>(0x100000000 - record + 4)); }, "sheet"},
        {"a local header at 0xFFFFFFFE", [&] { return with_field(good, record + 42, 0xFFFFFFFE); }, "sheet"},
        {"a local header at 0xFFFFFFFF", [&] { return with_field(good, record + 42, 0xFFFFFFFF); }, "sheet"},
        {"a packed size of 0xFFFFFFF0", [&] { return with_field(good, record + 20, 0xFFFFFFF0); }, "sheet"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(
            {
                const std::string archive = c.archive();
                const ZipReader reader(archive);
                ReadBudget budget(archive.size());
                (void)reader.entry(c.read, budget);
            },
            Malformed)
            << c.what;
    }
}

// zlib works on the C++ heap: with each allocation of writing and reading an archive refused in
// turn, both end in std::bad_alloc, which the command line reports as any failure to write or read
// the file, and never in a crash or a damaged archive.
TEST(ZipArchive, RunsOutOfMemoryWithStdBadAlloc) {
    const std::vector<Entry> entries = {{"sheet", varied(3000)}, {"styles", std::string(2000, 's')}};
    {
        const testing::HeapCount heap;
        const ZipWriter writer;
        ASSERT_GT(heap.allocations(), 1u) << "the deflate stream's memory is counted";
    }
    std::uint64_t refused = 0;
    for (;; ++refused) {
        try {
            testing::HeapCount heap;
            heap.refuse(refused);
            const std::string archive = packed(entries);
            const ZipReader reader(archive);
            ReadBudget budget(archive.size());
            for (const Entry& e : entries) ASSERT_EQ(reader.entry(e.name, budget), e.data) << "refused " << refused;
            break;
        } catch (const std::bad_alloc&) {
        }
    }
    EXPECT_GT(refused, 10u);
}

}  // namespace
}  // namespace harrowtally::host::formats
