#include "host/outcome_words.h"

namespace harrowtally::host {

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string searched_ports(std::int32_t start) {
    constexpr std::int32_t ports = 16;
    if (start == 0) return "ports 0 to 15";
    if (start > 0 && start < ports) {
        return "ports " + std::to_string(start) + " to 15 and 0 to " + std::to_string(start - 1);
    }
    return "ports " + std::to_string(start) + " to " + std::to_string(static_cast<std::int64_t>(start) + ports - 1);
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

}  // namespace harrowtally::host
