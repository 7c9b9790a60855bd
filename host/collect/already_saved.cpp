#include "host/collect/already_saved.h"

namespace harrowtally::host {

bool kept_barcode(const Download& download, int item, KeptBarcode& kept) {
    const DownloadedBarcode* read = download.filled_item(item);
    if (read == nullptr) return false;
    kept = {item, read->barcode, *read->type, read->stamp_text};
    return true;
}

int already_saved(const Download& download, int count, const std::vector<KeptBarcode>& saved) {
    const int n = static_cast<int>(saved.size());
    if (n == 0 || n > count) return 0;
    KeptBarcode now;
    for (int k = 1; k <= n; ++k) {
        if (saved[static_cast<std::size_t>(k - 1)].item != k || !kept_barcode(download, k, now) ||
            !(now == saved[static_cast<std::size_t>(k - 1)])) {
            return 0;
        }
    }
    return n;
}

}  // namespace harrowtally::host
