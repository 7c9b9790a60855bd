#pragma once
// What a member did, in words for people.
#include <cstdint>
#include <string>
#include <string_view>

#include "clicker/member_outcomes.h"

namespace harrowtally::host {

// "yes" / "no".
const char* yes_no(bool value);

// "ports 0 to 15", "ports 5 to 15 and 0 to 4": what a search from `start` covers.
std::string searched_ports(std::int32_t start);

// "1 barcode", "6 barcodes".
std::string plural(int n, const char* word);

// What a port that opened reported wrongly: "status -8", "a count of -1", "status -3 and a count
// of -1".
std::string bad_answer_words(const PortAnswer& answer);

// What EmptyScanner did, in words: "erased at try 2", "the port did not open", ...
std::string empty_outcome_words(const EmptyOutcome& outcome);

}  // namespace harrowtally::host
