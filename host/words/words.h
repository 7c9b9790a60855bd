#pragma once
// Every outcome and failure of a member in words for people: what happened, what failed and what
// they can do about it.
#include <cstdint>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "clicker/member_outcomes.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally::host {

// "yes" / "no".
const char* yes_no(bool value);

// "1 barcode", "6 barcodes".
std::string plural(int n, const char* word);

// "3 days 4 hours 5 minutes 6 seconds", leaving out the parts that are 0; "0 seconds" for 0.
std::string duration_words(std::int64_t seconds);

// "error 53: File not found": a member's runtime error as the automation runtime words it.
std::string error_line(int number);

// "ports 0 to 15", "ports 5 to 15 and 0 to 4": what a search from `start` covers.
std::string searched_ports(std::int32_t start);

// What a port that opened reported wrongly: "status -8", "a count of -1", "status -3 and a count
// of -1".
std::string bad_answer_words(const PortAnswer& answer);

// What EmptyScanner did, in words: "erased at try 2", "the port did not open", ...
std::string empty_outcome_words(const EmptyOutcome& outcome);

// "erased at try 1, 3 barcodes discarded": what an erase did, and what it discarded when any.
std::string emptied_words(const EmptyOutcome& outcome, std::int32_t discarded);

// Why a scanner is not erased without --discard: "the scanner on port 3 holds 2 barcodes that
// would be lost; save them with `harrowtally download --output FILE --empty-after`".
std::string held_barcodes_words(std::int16_t port, std::int16_t held);

// Why an erase guard refused a try: the scanner holds another count than the one seen (and saved)
// before; after a failed try, that try is named.
std::string changed_count_words(const ScannerBeforeErase& scanner, std::int32_t expected);
// Why an erase guard refused: another scanner answers on the port, or one whose device ID could not
// be read (before or now) where the other could.
std::string changed_scanner_words(const std::u16string& serial, const std::u16string& expected);

// "scanner 4A58010C7F0093E2 (port 3)", or without the serial number when it was not read.
std::string scanner_words(const Clicker& clicker);

// A download that stopped before its last barcode: "only 2 of 5 barcodes could be read: ...".
std::string not_downloaded_words(int filled, int count);

// Why the scanner library could not be used (53, 48) or lacks a function (453), from what the
// loader kept: the files tried in order with the loader's reason, or the missing function. Lines
// without the error line; empty for other errors.
std::vector<std::string> library_failure_lines(int number, const LoadedCSP2& library);

// An overflow (6) after the port search or the count, in one line: the scanner that counted more
// barcodes than the component can (in the search, when the erasing connection opened, or after a
// failed erase try), a port number it cannot keep, or a search that runs past the largest port
// number. Empty when none of these explains it.
std::string overflow_words(const Clicker& clicker);

// What the port search found when no scanner was accepted: "no scanner answered on ports 0 to
// 15", naming the ports that failed to open with another code than the usual -1 ("(port 4: the
// scanner library returned -2 on opening it)"), or "the scanner on port 5 answered but reported
// status -8".
std::string no_scanner_words(const Clicker& clicker, std::int32_t start);

}  // namespace harrowtally::host
