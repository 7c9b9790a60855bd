#include "host/collect/already_saved.h"

namespace harrowtally::host {

bool kept_barcode(const Download& download, int item, KeptBarcode& kept) {
    const DownloadedBarcode* read = download.filled_item(item);
    if (read == nullptr) return false;
    kept = {item, read->barcode, *read->type, read->stamp_text};
    return true;
}

AlreadySaved already_saved(const Download& download, int count, const std::vector<KeptBarcode>& saved) {
    const int n = static_cast<int>(saved.size());
    if (n == 0) return {};
    if (n > count) return {0, true};
    KeptBarcode now;
    for (int k = 1; k <= n; ++k) {
        const KeptBarcode& before = saved[static_cast<std::size_t>(k - 1)];
        if (before.item != k) return {0, true};
        if (!kept_barcode(download, k, now)) return {k - 1, false};
        if (!(now == before)) return {0, true};
    }
    return {n, false};
}

}  // namespace harrowtally::host
