#pragma once
// Single items of the download, as the per-barcode accessors hand them to the host.
#include <cstdint>
#include <optional>

#include "clicker/download.h"
#include "common/variant.h"

namespace harrowtally {

// Each fails with RuntimeError(9) when there is no download or index lies outside 0 to its count.
// A text variant holding a copy of the barcode.
Variant barcode_at(const std::optional<Download>& download, std::int16_t index);
// A date variant holding the scan time (0 for an item no packet filled).
Variant time_at(const std::optional<Download>& download, std::int16_t index);
// A 16-bit integer variant holding the code type, or an empty variant for an item no packet filled.
Variant type_at(const std::optional<Download>& download, std::int16_t index);

}  // namespace harrowtally
