#include "host/words/words.h"

#include <algorithm>
#include <limits>

#include "clicker/port_search.h"
#include "common/runtime_error.h"
#include "host/text/terminal_text.h"
#include "scanner/library_opener.h"

namespace harrowtally::host {
namespace {

constexpr std::int32_t kLargestCount = std::numeric_limits<std::int16_t>::max();
constexpr std::int32_t kSmallestCount = std::numeric_limits<std::int16_t>::min();

constexpr std::int32_t kNoScannerThere = -1;  // csp2Init's usual answer on a port without a scanner

bool answered(const PortAnswer& answer) {
    return answer.init == 0 && answer.count && answer.status;
}

// "4", "3, 7 and 8", "3 to 15 and 0 to 2": ports in the order searched, three or more neighbours
// as a range.
std::string port_ranges(const std::vector<std::int32_t>& ports) {
    std::vector<std::string> ranges;
    for (std::size_t i = 0; i < ports.size();) {
        std::size_t last = i;
        while (last + 1 < ports.size() && static_cast<std::int64_t>(ports[last + 1]) == ports[last] + 1LL) ++last;
        if (last > i + 1) {
            ranges.push_back(std::to_string(ports[i]) + " to " + std::to_string(ports[last]));
            i = last + 1;
        } else {
            ranges.push_back(std::to_string(ports[i++]));
        }
    }
    std::string words;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (i > 0) words += i + 1 == ranges.size() ? " and " : ", ";
        words += ranges[i];
    }
    return words;
}

// The ports whose opening failed otherwise than with the usual no-scanner answer, by code: a busy
// port or a library fault may hide a scanner. Empty when there are none.
std::string unusual_openings(const std::vector<PortAnswer>& answers) {
    std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>> by_code;
    for (const PortAnswer& answer : answers) {
        if (answer.init == 0 || answer.init == kNoScannerThere) continue;
        auto same =
            std::find_if(by_code.begin(), by_code.end(), [&](const auto& entry) { return entry.first == answer.init; });
        if (same == by_code.end()) same = by_code.insert(by_code.end(), {answer.init, {}});
        same->second.push_back(answer.port);
    }
    std::string words;
    for (const auto& [code, ports] : by_code) {
        const bool one = ports.size() == 1;
        words += words.empty() ? " (" : "; ";
        words += (one ? "port " : "ports ") + port_ranges(ports) + ": the scanner library returned " +
                 std::to_string(code) + " on opening " + (one ? "it" : "them");
    }
    return words.empty() ? words : words + ")";
}

}  // namespace

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string searched_ports(std::int32_t start) {
    const std::string last_before_wrap = std::to_string(port_wrap - 1);
    if (start == 0) return "ports 0 to " + last_before_wrap;
    if (start > 0 && start < port_wrap) {
        return "ports " + std::to_string(start) + " to " + last_before_wrap + " and 0 to " + std::to_string(start - 1);
    }
    return "ports " + std::to_string(start) + " to " +
           std::to_string(static_cast<std::int64_t>(start) + port_search_length - 1);
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string bad_answer_words(const PortAnswer& answer) {
    std::string words;
    if (answer.status && *answer.status < 0) words = "status " + std::to_string(*answer.status);
    if (answer.count && *answer.count < 0) {
        if (!words.empty()) words += " and ";
        words += "a count of " + std::to_string(*answer.count);
    }
    return words;
}

std::string empty_outcome_words(const EmptyOutcome& outcome) {
    switch (outcome.result) {
        case EmptyOutcome::Result::erased:
            // The erase call may have failed while the scanner still reported itself empty after it.
            if (outcome.clear_result && *outcome.clear_result != 0) {
                return "the erase call failed at try " + std::to_string(outcome.tries) +
                       " (the scanner library returned " + std::to_string(*outcome.clear_result) +
                       "), but the scanner then reported no barcodes";
            }
            return "erased at try " + std::to_string(outcome.tries);
        case EmptyOutcome::Result::not_erased:
            return "the scanner answered, but every erase try failed";
        case EmptyOutcome::Result::bad_answer:
            return "the scanner answered but reported " + bad_answer_words(outcome.answer);
        case EmptyOutcome::Result::not_opened:
            return "the port did not open";
        case EmptyOutcome::Result::no_port:
            return "no port was given";
        case EmptyOutcome::Result::refused:
            return "the scanner answered, but the erase was refused";
        case EmptyOutcome::Result::not_run:
            break;
    }
    return "unknown outcome";
}

std::string error_line(int number) {
    return "error " + std::to_string(number) + ": " + standard_error_text(number);
}

std::string emptied_words(const EmptyOutcome& outcome, std::int32_t discarded) {
    std::string words = empty_outcome_words(outcome);
    if (discarded > 0) words += ", " + plural(discarded, "barcode") + " discarded";
    return words;
}

std::string held_barcodes_words(std::int16_t port, std::int16_t held) {
    return "the scanner on port " + std::to_string(port) + " holds " + plural(held, "barcode") +
           " that would be lost; save " + (held == 1 ? "it" : "them") +
           " with `harrowtally download --output FILE --empty-after`";
}

std::string changed_count_words(const ScannerBeforeErase& scanner, std::int32_t expected) {
    const std::string held = scanner.count < 0 ? "reported a count of " + std::to_string(scanner.count)
                                               : "holds " + plural(scanner.count, "barcode");
    const std::string when = scanner.try_number > 1
                                 ? "after erase try " + std::to_string(scanner.try_number - 1) + " failed, the scanner "
                                 : "the scanner now ";
    return when + held + ", not the " + std::to_string(expected) + " seen before";
}

std::string changed_scanner_words(const std::u16string& serial, const std::u16string& expected) {
    // "" is a device ID the library did not give: not known to be another scanner, nor the same.
    if (serial.empty()) {
        return "the serial number of the scanner on the port could not be read again, so it is not known to be "
               "scanner " +
               terminal_text(expected) + " as before";
    }
    if (expected.empty()) {
        return "the scanner on the port now has serial number " + terminal_text(serial) +
               ", and none could be read before, so it is not known to be the same scanner";
    }
    return "the scanner on the port now has serial number " + terminal_text(serial) + ", not serial number " +
           terminal_text(expected) + " as before";
}

std::string scanner_words(const Clicker& clicker) {
    if (!clicker.serial_was_read()) {
        return "the scanner on port " + std::to_string(clicker.comport()) + " (serial number not read)";
    }
    return "scanner " + terminal_text(clicker.serial().as_string()) + " (port " + std::to_string(clicker.comport()) +
           ")";
}

std::string not_downloaded_words(int filled, int count) {
    return "only " + std::to_string(filled) + " of " + plural(count, "barcode") +
           " could be read: the download stopped at barcode " + std::to_string(filled + 1);
}

std::vector<std::string> library_failure_lines(int number, const LoadedCSP2& library) {
    std::vector<std::string> lines;
    if (number == err::dll_function_missing) {
        const auto& tried = library.load_attempts();
        const std::string file = tried.empty() ? std::string("the scanner library") : terminal_path(tried.back().file);
        lines.push_back(file + " has no function " + library.missing_function() +
                        ": it is not the scanner library this program needs, or an older version of it");
        return lines;
    }
    if (number != err::file_not_found && number != err::dll_load) return lines;
    lines.push_back(number == err::file_not_found ? "the scanner library was not found; tried, in order:"
                                                  : "the scanner library could not be loaded; tried, in order:");
    int k = 0;
    for (const LoadAttempt& attempt : library.load_attempts()) {
        // The file names and the loader's reasons come from the command line and the system: they
        // may hold anything.
        lines.push_back("  " + std::to_string(++k) + ". " + terminal_path(attempt.file) + " (" + attempt.source +
                        "): " + terminal_path(attempt.reason));
    }
    lines.push_back(std::string("give the library's file with --library FILE, or put ") + platform_library_name() +
                    " beside harrowtally");
    return lines;
}

std::string overflow_words(const Clicker& clicker) {
    // An erase try that failed, and the count read after it overflowed: the call ended there.
    const EmptyOutcome& erase = clicker.empty_outcome();
    if (erase.count_after_try && (*erase.count_after_try > kLargestCount || *erase.count_after_try < kSmallestCount)) {
        return "after erase try " + std::to_string(erase.tries) + " failed, the scanner reported a count of " +
               std::to_string(*erase.count_after_try) + ", outside what the component can count (" +
               std::to_string(kSmallestCount) + " to " + std::to_string(kLargestCount) +
               "); the scanner was not emptied and no further erase was tried";
    }
    // The count read when the erasing connection opened (EmptyScanner): the call ended before the
    // guard, the clock and the first try.
    const std::optional<std::int32_t> opened = erase.answer.count;
    if (opened && (*opened > kLargestCount || *opened < kSmallestCount)) {
        return "the scanner on port " + std::to_string(erase.answer.port) + " reported a count of " +
               std::to_string(*opened) + " when it was to be emptied, outside what the component can count (" +
               std::to_string(kSmallestCount) + " to " + std::to_string(kLargestCount) + "); nothing was erased or set";
    }
    const auto& answers = clicker.search_answers();
    if (answers.empty()) return {};
    const PortAnswer& last = answers.back();
    if (last.count && (*last.count > kLargestCount)) {
        return "the scanner on port " + std::to_string(last.port) + " reported " + std::to_string(*last.count) +
               " barcodes, more than the " + std::to_string(kLargestCount) +
               " the component can count; nothing was read and the scanner keeps them: read it with other software";
    }
    if (answered(last) && *last.count >= 0 && *last.status >= 0 && last.port > kLargestCount) {
        return "the scanner answered on port " + std::to_string(last.port) +
               ", but the component keeps port numbers up to " + std::to_string(kLargestCount) +
               " only: connect it to a port from 0 to " + std::to_string(kLargestCount);
    }
    if (last.port == std::numeric_limits<std::int32_t>::max() &&
        static_cast<std::int32_t>(answers.size()) < port_search_length) {
        return "the search of " + std::to_string(port_search_length) + " ports from port " +
               std::to_string(answers.front().port) + " runs past " + std::to_string(last.port) +
               ", the largest port number: give --port " +
               std::to_string(std::numeric_limits<std::int32_t>::max() - port_search_length + 1) + " or less";
    }
    return {};
}

std::string no_scanner_words(const Clicker& clicker, std::int32_t start) {
    std::string words;
    for (const PortAnswer& answer : clicker.search_answers()) {
        if (!answered(answer)) continue;
        if (!words.empty()) words += "; ";
        words +=
            "the scanner on port " + std::to_string(answer.port) + " answered but reported " + bad_answer_words(answer);
    }
    if (words.empty()) {
        return "no scanner answered on " + searched_ports(start) + unusual_openings(clicker.search_answers());
    }
    return words + " (a negative value is a failure the scanner library reports: check the scanner and try again)";
}

std::string duration_words(std::int64_t seconds) {
    if (seconds < 0) seconds = -seconds;
    struct Unit {
        std::int64_t seconds;
        const char* name;
    };
    constexpr Unit units[] = {{86400, "day"}, {3600, "hour"}, {60, "minute"}, {1, "second"}};
    std::string words;
    for (const Unit& unit : units) {
        const std::int64_t n = seconds / unit.seconds;
        seconds %= unit.seconds;
        if (n == 0) continue;
        if (!words.empty()) words += " ";
        words += std::to_string(n) + " " + unit.name + (n == 1 ? "" : "s");
    }
    return words.empty() ? "0 seconds" : words;
}

}  // namespace harrowtally::host
