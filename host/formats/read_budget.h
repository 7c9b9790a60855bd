#pragma once
// What reading a workbook may allocate for what its bytes drive: the parts it inflates, the strings
// it keeps, each cell's text and each barcode it hands on. The budget is in proportion to the
// file's size, so a small file that unpacks into a huge part, or into millions of empty strings,
// rows or cells, is refused before it takes the memory, whatever its shape. What is not charged
// is held one at a time and is no larger than a part (one row's cells, one string being decoded),
// or grows with the file itself (the zip directory: a record of 46 bytes or more an entry).
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/formats/format_parts.h"

namespace harrowtally::host::formats {

class ReadBudget {
public:
    // Our own workbook of a full scanner takes about 16 times its size (a sheet packs to an
    // eighth, and the barcodes handed on hold about as much again); a spreadsheet packing harder
    // stays well within 100. Small files get 1 MiB, which no hand-made test workbook outgrows.
    static constexpr std::uint64_t kPerFileByte = 100;
    static constexpr std::uint64_t kLeast = std::uint64_t{1} << 20;

    explicit ReadBudget(std::uint64_t file_size)
        : left_(file_size > kLeast / kPerFileByte ? file_size * kPerFileByte : kLeast) {}

    // Takes `bytes` from the budget, or refuses the file when they are not left.
    void take(std::uint64_t bytes, const std::string& what) {
        if (bytes > left_) {
            throw Malformed{what + " would take more memory than a workbook of this size can need"};
        }
        left_ -= bytes;
    }

    std::uint64_t left() const { return left_; }

private:
    std::uint64_t left_;
};

}  // namespace harrowtally::host::formats
