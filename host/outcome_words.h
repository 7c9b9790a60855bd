#pragma once
// What a member did, in words for people.
#include <string>
#include <string_view>

#include "clicker/member_outcomes.h"

namespace harrowtally::host {

// "yes" / "no".
const char* yes_no(bool value);

// "1 barcode", "6 barcodes".
std::string plural(int n, const char* word);

// What EmptyScanner did, in words: "erased at try 2", "the port did not open", ...
std::string empty_outcome_words(const EmptyOutcome& outcome);

}  // namespace harrowtally::host
