#pragma once
// A member's runtime error explained for people: what failed and what they can do about it.
#include <cstdint>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally::host {

// Why the scanner library could not be used (53, 48) or lacks a function (453), from what the
// loader kept: the files tried in order with the loader's reason, or the missing function. Lines
// without the error line; empty for other errors.
std::vector<std::string> library_failure_lines(int number, const LoadedCSP2& library);

// An overflow (6) after the port search or the count, in one line: the scanner that counted more
// barcodes than the component can, a port number it cannot keep, or a search that runs past the
// largest port number. Empty when the search does not explain it.
std::string overflow_words(const Clicker& clicker);

// What the port search found when no scanner was accepted: "no scanner answered on ports 0 to
// 15", naming the ports that failed to open with another code than the usual -1 ("(port 4: the
// scanner library returned -2 on opening it)"), or "the scanner on port 5 answered but reported
// status -8".
std::string no_scanner_words(const Clicker& clicker, std::int32_t start);

// "3 days 4 hours 5 minutes 6 seconds", leaving out the parts that are 0; "0 seconds" for 0.
std::string duration_words(std::int64_t seconds);

}  // namespace harrowtally::host
