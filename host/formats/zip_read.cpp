// Reading a zip archive from its central directory: what a workbook writer, ours or a
// spreadsheet's, puts in one.
#include <zlib.h>

#include <cstdint>

#include "host/formats/format_parts.h"
#include "host/formats/zip_archive.h"

namespace harrowtally::host::formats {
namespace {

// No sheet of a full scanner comes near this: a damaged or hostile size is refused, not allocated.
constexpr std::uint32_t kLargestEntry = 256u << 20;

std::uint32_t get16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) throw Malformed{"the archive ends inside a header"};
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
std::uint32_t get32(std::string_view b, std::size_t at) {
    return get16(b, at) | get16(b, at + 2) << 16;
}

// One inflate stream, ended however the unpacking ends.
class Inflater {
public:
    Inflater() {
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
    // The end record is the last 22 bytes, or fewer when a comment follows it.
    std::size_t end = std::string_view::npos;
    for (std::size_t at = bytes.size() >= 22 ? bytes.size() - 22 : std::string_view::npos;
         at != std::string_view::npos && bytes.size() - at <= 22 + 0xFFFF; --at) {
        if (get32(bytes, at) == 0x06054b50) {
            end = at;
            break;
        }
        if (at == 0) break;
    }
    if (end == std::string_view::npos) throw Malformed{"it is not a zip archive"};
    const std::uint32_t count = get16(bytes, end + 10);
    const std::uint32_t directory_size = get32(bytes, end + 12);
    std::size_t at = get32(bytes, end + 16);
    if (count == 0xFFFF || at == 0xFFFFFFFF || at + directory_size > end) {
        throw Malformed{"its zip directory lies outside the archive"};
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        if (get32(bytes, at) != 0x02014b50) throw Malformed{"its zip directory is damaged"};
        Where w;
        w.flags = static_cast<std::uint16_t>(get16(bytes, at + 8));
        w.method = static_cast<std::uint16_t>(get16(bytes, at + 10));
        w.crc = get32(bytes, at + 16);
        w.packed = get32(bytes, at + 20);
        w.size = get32(bytes, at + 24);
        const std::size_t name_length = get16(bytes, at + 28);
        const std::size_t skipped = get16(bytes, at + 30) + get16(bytes, at + 32);
        w.local = get32(bytes, at + 42);
        if (at + 46 + name_length > end) throw Malformed{"its zip directory is damaged"};
        // Two entries of one name: readers differ on which one counts, so the archive is refused.
        if (!entries_.emplace(std::string(bytes.substr(at + 46, name_length)), w).second) {
            throw Malformed{"its zip directory names an entry twice"};
        }
        at += 46 + name_length + skipped;
    }
}

std::optional<std::string> ZipReader::entry(std::string_view name) const {
    const auto found = entries_.find(name);
    if (found == entries_.end()) return std::nullopt;
    const Where& w = found->second;
    const std::string what(name);
    if (w.flags & 1) throw Malformed{what + " is encrypted"};
    if (w.size > kLargestEntry || w.packed > kLargestEntry) throw Malformed{what + " is too large for a workbook"};
    if (get32(bytes_, w.local) != 0x04034b50) throw Malformed{what + " has no local header"};
    const std::size_t data_at = w.local + 30 + get16(bytes_, w.local + 26) + get16(bytes_, w.local + 28);
    if (data_at > bytes_.size() || bytes_.size() - data_at < w.packed) throw Malformed{what + " is cut short"};
    const std::string_view packed = bytes_.substr(data_at, w.packed);
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
