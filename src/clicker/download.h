#pragma once
// One download: for each barcode the scanner reported, its text, code type and scan time, created
// together by open_clicker and replaced together by the next download that finds a barcode.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harrowtally {

struct DownloadedBarcode {
    std::u16string barcode;
    std::optional<std::int16_t> type;  // nullopt: no packet filled this item
    double time = 0.0;                 // the date value 0 until a packet fills the item
    // The library's text of the time stamp as it gave it (up to its first NUL), before the scan
    // time was read from it: kept for hosts, so a stamp the date rule cannot read is not lost.
    std::u16string stamp_text;
    bool stamp_read = false;  // the scan time was read from the stamp text (not the stand-in date)
};

// Items 0 to count; item 0 is never filled (the per-barcode accessors can still read it).
class Download {
public:
    explicit Download(std::int16_t count) : items_(static_cast<std::size_t>(count) + 1) {}

    std::int16_t count() const { return static_cast<std::int16_t>(items_.size() - 1); }
    DownloadedBarcode& operator[](std::size_t k) { return items_[k]; }
    const DownloadedBarcode& operator[](std::size_t k) const { return items_[k]; }
    // True for items 1 to count whose packet arrived.
    bool filled(int k) const { return k >= 1 && k <= count() && items_[static_cast<std::size_t>(k)].type.has_value(); }
    // Item k when its packet arrived; null otherwise.
    const DownloadedBarcode* filled_item(int k) const {
        return filled(k) ? &items_[static_cast<std::size_t>(k)] : nullptr;
    }
    // How many of items 1 to `reported` arrived: a later download that found no barcode reports
    // fewer than this one holds.
    int filled_count(int reported) const {
        int n = 0;
        for (int k = 1; k <= reported; ++k) n += filled(k) ? 1 : 0;
        return n;
    }
    // Whether every one of `reported` barcodes arrived.
    bool complete(int reported) const { return reported >= 0 && filled_count(reported) == reported; }

private:
    std::vector<DownloadedBarcode> items_;
};

}  // namespace harrowtally
