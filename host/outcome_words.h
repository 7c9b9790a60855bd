#pragma once
// What a member did, in words for people.
#include <string>
#include <string_view>

namespace harrowtally::host {

// "yes" / "no".
const char* yes_no(bool value);

// "1 barcode", "6 barcodes".
std::string plural(int n, const char* word);

// What the trace of EmptyScanner says, in words: "erased at try 2", "the port did not open", ...
std::string empty_outcome(std::u16string_view log);

}  // namespace harrowtally::host
