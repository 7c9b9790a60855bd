// Writing a zip archive: local headers, deflated data, the central directory and its end record.
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>

#include "common/runtime_error.h"
#include "host/formats/zip_archive.h"
#include "host/formats/zlib_heap.h"

namespace harrowtally::host::formats {
namespace {

// 1980-01-01 00:00 in DOS form: the same workbook for the same download, whenever it is written.
constexpr std::uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;
// The fastest level: a full scanner's sheet packs to an eighth (level 6: a tenth) in half the time.
constexpr int kLevel = 1;
constexpr std::size_t kChunk = 64 * 1024;

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void patch32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// A size or offset for a 32-bit field: a zip without zip64 holds no more.
std::uint32_t field32(std::uint64_t v) {
    if (v > 0xFFFFFFFF) throw RuntimeError(harrowtally::err::overflow);
    return static_cast<std::uint32_t>(v);
}

}  // namespace

// One deflate stream for every entry in turn, ended with the writer.
struct ZipWriter::Stream {
    Stream() {
        use_cxx_heap(z);
        const int status = deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK) throw std::logic_error("zlib refuses the deflate settings");
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() { deflateEnd(&z); }
    z_stream z{};
};

ZipWriter::ZipWriter() : stream_(std::make_unique<Stream>()) {}

ZipWriter::~ZipWriter() = default;

// The local header from "version needed" on; CRC and sizes are patched in by end().
void ZipWriter::begin(std::string_view name) {
    if (entries_ == 0xFFFF || name.size() > 0xFFFF) throw RuntimeError(harrowtally::err::overflow);
    header_at_ = out_.size();
    crc_ = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    size_ = 0;
    deflateReset(&stream_->z);
    put32(out_, 0x04034b50);
    put16(out_, 20);
    put16(out_, 0);
    put16(out_, 8);
    put16(out_, kDosTime);
    put16(out_, kDosDate);
    put32(out_, 0);
    put32(out_, 0);
    put32(out_, 0);
    put16(out_, static_cast<std::uint32_t>(name.size()));
    put16(out_, 0);
    out_ += name;
}

void ZipWriter::write(std::string_view piece) {
    // zlib counts in uInt: a piece goes to it a gigabyte at most at a time.
    constexpr std::size_t kMost = std::size_t{1} << 30;
    for (std::size_t at = 0; at < piece.size(); at += kMost) {
        const std::string_view part = piece.substr(at, kMost);
        crc_ = static_cast<std::uint32_t>(
            crc32(crc_, reinterpret_cast<const Bytef*>(part.data()), static_cast<uInt>(part.size())));
        size_ += part.size();
        pack(part, Z_NO_FLUSH);
    }
}

void ZipWriter::pack(std::string_view piece, int flush) {
    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    int status = Z_OK;
    do {
        const std::size_t at = out_.size();
        out_.resize(at + kChunk);
        z.next_out = reinterpret_cast<Bytef*>(out_.data() + at);
        z.avail_out = static_cast<uInt>(kChunk);
        status = deflate(&z, flush);
        out_.resize(out_.size() - z.avail_out);
    } while (status == Z_OK && (z.avail_in > 0 || z.avail_out == 0 || flush == Z_FINISH));
    // deflate() allocates nothing: any other status is a stream this writer broke.
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
        throw std::logic_error("zlib's deflate failed with status " + std::to_string(status));
    }
}

void ZipWriter::end() {
    pack({}, Z_FINISH);
    const std::uint32_t name_length =
        static_cast<unsigned char>(out_[header_at_ + 26]) | static_cast<unsigned char>(out_[header_at_ + 27]) << 8;
    const std::uint32_t packed = field32(out_.size() - header_at_ - 30 - name_length);
    patch32(out_, header_at_ + 14, crc_);
    patch32(out_, header_at_ + 18, packed);
    patch32(out_, header_at_ + 22, field32(size_));
    // The directory's record repeats the local header's fields, with its own before and after.
    put32(directory_, 0x02014b50);
    put16(directory_, 20);
    directory_.append(out_, header_at_ + 4, 26);
    put16(directory_, 0);  // comment
    put16(directory_, 0);  // disk
    put16(directory_, 0);  // internal attributes
    put32(directory_, 0);  // external attributes
    put32(directory_, field32(header_at_));
    directory_.append(out_, header_at_ + 30, name_length);
    ++entries_;
}

std::string ZipWriter::finish() {
    const std::uint32_t directory_at = field32(out_.size());
    out_ += directory_;
    put32(out_, 0x06054b50);
    put16(out_, 0);
    put16(out_, 0);
    put16(out_, entries_);
    put16(out_, entries_);
    put32(out_, field32(directory_.size()));
    put32(out_, directory_at);
    put16(out_, 0);
    directory_.clear();
    return std::move(out_);
}

std::string zip_archive(const std::vector<ZipEntry>& entries) {
    ZipWriter zip;
    for (const ZipEntry& e : entries) {
        zip.begin(e.name);
        zip.write(e.data);
        zip.end();
    }
    return zip.finish();
}

}  // namespace harrowtally::host::formats
