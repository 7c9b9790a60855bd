#pragma once
// One column of a Clicker's download, items 0 to count, for checks that compare a whole column.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "clicker/clicker.h"

namespace harrowtally::testing {

template <class Member>
auto download_column(const Clicker& clicker, Member member)
    -> std::optional<std::vector<std::decay_t<decltype(DownloadedBarcode{}.*member)>>> {
    if (!clicker.download()) return std::nullopt;
    const Download& d = *clicker.download();
    std::vector<std::decay_t<decltype(DownloadedBarcode{}.*member)>> column;
    for (std::size_t k = 0; k <= static_cast<std::size_t>(d.count()); ++k) column.push_back(d[k].*member);
    return column;
}

inline auto barcodes_of(const Clicker& c) {
    return download_column(c, &DownloadedBarcode::barcode);
}
inline auto types_of(const Clicker& c) {
    return download_column(c, &DownloadedBarcode::type);
}
inline auto times_of(const Clicker& c) {
    return download_column(c, &DownloadedBarcode::time);
}
inline auto stamp_texts_of(const Clicker& c) {
    return download_column(c, &DownloadedBarcode::stamp_text);
}

}  // namespace harrowtally::testing
