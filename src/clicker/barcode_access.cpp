#include "clicker/barcode_access.h"

#include "common/runtime_error.h"

namespace harrowtally {
namespace {

const DownloadedBarcode& item_at(const std::optional<Download>& download, std::int16_t index) {
    if (!download || index < 0 || index > download->count()) throw RuntimeError(err::subscript);
    return (*download)[static_cast<std::size_t>(index)];
}

}  // namespace

Variant barcode_at(const std::optional<Download>& download, std::int16_t index) {
    return Variant::string(item_at(download, index).barcode);
}

Variant time_at(const std::optional<Download>& download, std::int16_t index) {
    return Variant::date(item_at(download, index).time);
}

Variant type_at(const std::optional<Download>& download, std::int16_t index) {
    const std::optional<std::int16_t>& type = item_at(download, index).type;
    return type ? Variant::integer(*type) : Variant();
}

}  // namespace harrowtally
