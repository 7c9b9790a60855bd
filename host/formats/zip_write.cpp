// Writing a zip archive: local headers, deflated data, the central directory and its end record.
#include <zlib.h>

#include <cstdint>

#include "host/formats/format_parts.h"
#include "host/formats/zip_archive.h"

namespace harrowtally::host::formats {
namespace {

// 1980-01-01 00:00 in DOS form: the same workbook for the same download, whenever it is written.
constexpr std::uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;
// Level 6 packs a sheet to about a tenth; faster levels save little time at this size.
constexpr int kLevel = 6;

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One deflate stream, ended however the packing ends.
class Deflater {
public:
    Deflater() {
        if (deflateInit2(&z_, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { deflateEnd(&z_); }

    std::string pack(std::string_view data) {
        std::string out(deflateBound(&z_, static_cast<uLong>(data.size())), '\0');
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z_.avail_in = static_cast<uInt>(data.size());
        z_.next_out = reinterpret_cast<Bytef*>(out.data());
        z_.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z_, Z_FINISH) != Z_STREAM_END) throw Malformed{"the workbook cannot be compressed"};
        out.resize(z_.total_out);
        return out;
    }

private:
    z_stream z_{};
};

}  // namespace

std::string zip_archive(const std::vector<ZipEntry>& entries) {
    std::string out, directory;
    for (const ZipEntry& e : entries) {
        const std::string packed = Deflater().pack(e.data);
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const auto offset = static_cast<std::uint32_t>(out.size());
        // The fields both headers share, from "version needed" to the name's length.
        std::string common;
        put16(common, 20);
        put16(common, 0);
        put16(common, 8);
        put16(common, kDosTime);
        put16(common, kDosDate);
        put32(common, crc);
        put32(common, static_cast<std::uint32_t>(packed.size()));
        put32(common, static_cast<std::uint32_t>(e.data.size()));
        put16(common, static_cast<std::uint32_t>(e.name.size()));
        put16(common, 0);

        put32(out, 0x04034b50);
        out += common;
        out += e.name;
        out += packed;

        put32(directory, 0x02014b50);
        put16(directory, 20);
        directory += common;
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += e.name;
    }
    const auto directory_at = static_cast<std::uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, directory_at);
    put16(out, 0);
    return out;
}

}  // namespace harrowtally::host::formats
