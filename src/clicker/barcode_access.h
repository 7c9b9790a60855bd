#pragma once
// Single elements of the downloaded lists, as the per-barcode accessors hand them to the host.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "common/variant.h"

namespace harrowtally {

// The element at index; RuntimeError(9) when the list does not exist or index lies outside it.
template <class T>
const T& list_element(const std::optional<std::vector<T>>& list, std::int16_t index) {
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list->size()) throw RuntimeError(err::subscript);
    return (*list)[static_cast<std::size_t>(index)];
}

// A text variant holding a copy of the barcode.
Variant barcode_at(const std::optional<std::vector<std::u16string>>& list, std::int16_t index);
// A date variant holding the scan time (0 for an element no packet filled).
Variant time_at(const std::optional<std::vector<double>>& list, std::int16_t index);
// A 16-bit integer variant holding the code type, or an empty variant for an element no packet filled.
Variant type_at(const std::optional<std::vector<std::optional<std::int16_t>>>& list, std::int16_t index);

}  // namespace harrowtally
