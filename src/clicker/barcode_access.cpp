#include "clicker/barcode_access.h"

namespace harrowtally {

Variant barcode_at(const std::optional<std::vector<std::u16string>>& list, std::int16_t index) {
    return Variant::string(list_element(list, index));
}

Variant time_at(const std::optional<std::vector<double>>& list, std::int16_t index) {
    return Variant::date(list_element(list, index));
}

Variant type_at(const std::optional<std::vector<std::optional<std::int16_t>>>& list, std::int16_t index) {
    const std::optional<std::int16_t>& type = list_element(list, index);
    return type ? Variant::integer(*type) : Variant();
}

}  // namespace harrowtally
