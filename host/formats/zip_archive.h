#pragma once
// The zip container a workbook is: entries deflated when written; stored or deflated entries read,
// each checked against its CRC-32. No zip64, no encryption: a workbook of one sheet needs neither.
// zlib takes its memory from the C++ heap, as the rest of a download does: when it runs out, the
// writer and the reader throw std::bad_alloc.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harrowtally::host::formats {

struct ZipEntry {
    std::string name;
    std::string data;
};

// Writes an archive entry by entry, each deflated as it comes: an entry's data need never be
// whole in memory (a full scanner's sheet is twelve times its packed size). Throws
// std::bad_alloc when zlib or the archive runs out of memory, and RuntimeError 6 (overflow) for an
// archive beyond a zip's 4 GiB or 65535 entries.
class ZipWriter {
public:
    ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    ~ZipWriter();

    void begin(std::string_view name);
    void write(std::string_view piece);
    void end();
    // The archive's bytes, once every entry has ended.
    std::string finish();

private:
    void pack(std::string_view piece, int flush);

    struct Stream;  // zlib's state, kept out of this header
    std::unique_ptr<Stream> stream_;
    std::string out_, directory_;
    std::size_t header_at_ = 0;
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
    std::uint16_t entries_ = 0;
};

// The archive's bytes, every entry deflated, in the order given.
std::string zip_archive(const std::vector<ZipEntry>& entries);

class ReadBudget;

// An archive's central directory over its bytes, which must outlive it. The constructor and
// entry() throw Malformed for a damaged archive. Every offset and size the archive gives is checked
// against its bytes in 64 bits, so none can wrap around on a 32-bit build.
class ZipReader {
public:
    explicit ZipReader(std::string_view bytes);
    // A temporary string would be gone before the entries are read.
    explicit ZipReader(std::string&&) = delete;

    // The entry's data, inflated and checked, its size taken from `budget` before it is allocated;
    // nullopt when there is no entry of that name.
    std::optional<std::string> entry(std::string_view name, ReadBudget& budget) const;

private:
    struct Where {
        std::uint16_t flags = 0, method = 0;
        std::uint32_t crc = 0, packed = 0, size = 0, local = 0;
    };
    std::string_view bytes_;
    std::map<std::string, Where, std::less<>> entries_;
};

}  // namespace harrowtally::host::formats
