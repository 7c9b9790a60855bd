#include "host/outcome_words.h"

namespace harrowtally::host {

const char* yes_no(bool value) {
    return value ? "yes" : "no";
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string empty_outcome_words(const EmptyOutcome& outcome) {
    switch (outcome.result) {
        case EmptyOutcome::Result::erased:
            return "erased at try " + std::to_string(outcome.tries);
        case EmptyOutcome::Result::not_erased:
            return "the scanner answered, but every erase try failed";
        case EmptyOutcome::Result::bad_answer:
            return "the scanner answered with a negative count or status";
        case EmptyOutcome::Result::not_opened:
            return "the port did not open";
        case EmptyOutcome::Result::no_port:
            return "no port was given";
        case EmptyOutcome::Result::not_run:
            break;
    }
    return "unknown outcome";
}

}  // namespace harrowtally::host
