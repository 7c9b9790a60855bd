// Reading a zip archive from its central directory: what a workbook writer, ours or a
// spreadsheet's, puts in one.
#include <cstdint>
#include <new>

#include "host/formats/format_parts.h"
#include "host/formats/read_budget.h"
#include "host/formats/zip_archive.h"
#include "host/formats/zlib_heap.h"

namespace harrowtally::host::formats {
namespace {

// No sheet of a full scanner comes near this: a damaged or hostile size is refused, not allocated.
constexpr std::uint32_t kLargestEntry = 256u << 20;
constexpr std::uint64_t kEndRecord = 22, kDirectoryRecord = 46, kLocalHeader = 30;

// The archive's bytes at offsets the archive itself gives. Offsets are 64-bit and each read is
// checked as `at <= size && size - at >= width`, which no offset near 4 GiB can wrap around.
class Fields {
public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t size() const { return bytes_.size(); }
    bool holds(std::uint64_t at, std::uint64_t width) const { return at <= size() && size() - at >= width; }

    std::string_view span(std::uint64_t at, std::uint64_t width) const {
        if (!holds(at, width)) throw Malformed{"the archive ends inside a header"};
        return bytes_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(width));
    }
    std::uint32_t u16(std::uint64_t at) const {
        const std::string_view b = span(at, 2);
        return static_cast<unsigned char>(b[0]) | static_cast<unsigned char>(b[1]) << 8;
    }
    std::uint32_t u32(std::uint64_t at) const { return u16(at) | u16(at + 2) << 16; }

private:
    std::string_view bytes_;
};

// One inflate stream, ended however the unpacking ends.
class Inflater {
public:
    Inflater() {
        use_cxx_heap(z_);
        if (inflateInit2(&z_, -15) != Z_OK) throw std::bad_alloc();
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater() { inflateEnd(&z_); }

    // Exactly `size` bytes from the whole of `packed`, or a complaint.
    std::string unpack(std::string_view packed, std::uint32_t size, const std::string& name) {
        std::string out(size, '\0');
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        z_.avail_in = static_cast<uInt>(packed.size());
        z_.next_out = reinterpret_cast<Bytef*>(out.data());
        z_.avail_out = static_cast<uInt>(out.size());
        const int status = inflate(&z_, Z_FINISH);
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_STREAM_END || z_.total_out != size) {
            throw Malformed{name + " cannot be decompressed to the size the archive gives"};
        }
        return out;
    }

private:
    z_stream z_{};
};

}  // namespace

ZipReader::ZipReader(std::string_view bytes) : bytes_(bytes) {
    const Fields f(bytes);
    // The end record is the last 22 bytes, or fewer when a comment (at most 65535 bytes) follows it.
    if (f.size() < kEndRecord) throw Malformed{"it is not a zip archive"};
    const std::uint64_t last = f.size() - kEndRecord;
    const std::uint64_t first = last > 0xFFFF ? last - 0xFFFF : 0;
    std::uint64_t end = last + 1;
    for (std::uint64_t at = last + 1; at-- > first;) {
        if (f.u32(at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end > last) throw Malformed{"it is not a zip archive"};
    const std::uint32_t count = f.u16(end + 10);
    const std::uint64_t directory_size = f.u32(end + 12);
    std::uint64_t at = f.u32(end + 16);
    if (count == 0xFFFF || at == 0xFFFFFFFF || at > end || end - at < directory_size) {
        throw Malformed{"its zip directory lies outside the archive"};
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        if (at > end || end - at < kDirectoryRecord || f.u32(at) != 0x02014b50) {
            throw Malformed{"its zip directory is damaged"};
        }
        Where w;
        w.flags = static_cast<std::uint16_t>(f.u16(at + 8));
        w.method = static_cast<std::uint16_t>(f.u16(at + 10));
        w.crc = f.u32(at + 16);
        w.packed = f.u32(at + 20);
        w.size = f.u32(at + 24);
        const std::uint64_t name_length = f.u16(at + 28);
        const std::uint64_t skipped = std::uint64_t{f.u16(at + 30)} + f.u16(at + 32);
        w.local = f.u32(at + 42);
        if (end - at - kDirectoryRecord < name_length) throw Malformed{"its zip directory is damaged"};
        // Two entries of one name: readers differ on which one counts, so the archive is refused.
        if (!entries_.emplace(std::string(f.span(at + kDirectoryRecord, name_length)), w).second) {
            throw Malformed{"its zip directory names an entry twice"};
        }
        at += kDirectoryRecord + name_length + skipped;
    }
}

std::optional<std::string> ZipReader::entry(std::string_view name, ReadBudget& budget) const {
    const auto found = entries_.find(name);
    if (found == entries_.end()) return std::nullopt;
    const Where& w = found->second;
    const std::string what(name);
    if (w.flags & 1) throw Malformed{what + " is encrypted"};
    if (w.size > kLargestEntry || w.packed > kLargestEntry) throw Malformed{what + " is too large for a workbook"};
    const Fields f(bytes_);
    if (f.u32(w.local) != 0x04034b50) throw Malformed{what + " has no local header"};
    const std::uint64_t data_at = std::uint64_t{w.local} + kLocalHeader + f.u16(w.local + 26) + f.u16(w.local + 28);
    if (!f.holds(data_at, w.packed)) throw Malformed{what + " is cut short"};
    const std::string_view packed = f.span(data_at, w.packed);
    budget.take(w.size, what);
    std::string data;
    if (w.method == 0) {
        if (w.packed != w.size) throw Malformed{what + " is stored with two sizes"};
        data.assign(packed);
    } else if (w.method == 8) {
        data = Inflater().unpack(packed, w.size, what);
    } else {
        throw Malformed{what + " uses compression method " + std::to_string(w.method)};
    }
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    if (crc != w.crc) throw Malformed{what + " fails its CRC-32 check"};
    return data;
}

}  // namespace harrowtally::host::formats
