#pragma once
// Which of a scanner's barcodes an earlier collection saved already. A scanner's memory only grows
// between erases, so barcodes saved by a run whose erase did not happen are still its first ones,
// in the same places, with the same text, type and time stamp; a scanner that does not begin with
// all of them was emptied since, and everything it holds is new.
#include <cstdint>
#include <string>
#include <vector>

#include "clicker/download.h"

namespace harrowtally::host {

// A barcode as the ledger keeps it: its place in the scanner (from 1) and what identifies it.
struct KeptBarcode {
    int item = 0;
    std::u16string barcode;
    std::int32_t type = 0;
    std::u16string stamp_text;
    bool operator==(const KeptBarcode&) const = default;
};

// The barcode `download` holds at `item`, as the ledger keeps it; false when it was not read.
bool kept_barcode(const Download& download, int item, KeptBarcode& kept);

// What a download of `count` barcodes holds of `saved` (the barcodes saved from this scanner since
// it was last emptied, items 1 to n in order).
struct AlreadySaved {
    int items = 0;               // its first items that are saved already
    bool emptied_since = false;  // it does not begin with them: it was emptied since they were saved
};
// All n when the download begins with every one of them exactly. Fewer when an item among them was
// not read (what it holds there is not known, and nothing is forgotten). None, emptied since, when
// the scanner holds fewer than n or a barcode read differs.
AlreadySaved already_saved(const Download& download, int count, const std::vector<KeptBarcode>& saved);

}  // namespace harrowtally::host
