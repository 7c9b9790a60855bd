#pragma once
// What the scanner answered during a member, as values: the same facts as the trace text, kept
// outside the automation interface for hosts that explain them in words.
#include <cstdint>
#include <optional>
#include <vector>

namespace harrowtally {

// One port a member tried.
struct PortAnswer {
    std::int32_t port = 0;
    std::int32_t init = 0;               // csp2Init's result; 0: the port opened
    std::optional<std::int32_t> count;   // csp2ReadData, when the port opened
    std::optional<std::int32_t> status;  // csp2GetSystemStatus, when the port opened
};

// The last EmptyScanner.
struct EmptyOutcome {
    enum class Result {
        not_run,     // no EmptyScanner yet, or it ended with an error
        no_port,     // startport was empty ("ENSP")
        not_opened,  // "OPNP"
        bad_answer,  // a negative count or status ("OPNG")
        not_erased,  // every erase try failed
        erased,      // "CLOK"
        refused,     // the scanner answered and the host's erase guard refused an erase try
    };
    Result result = Result::not_run;
    PortAnswer answer;
    int tries = 0;  // erase tries made
    // csp2ClearData's result at the last try: the scanner counts as erased also when this failed
    // but the count and status read afterwards showed it empty.
    std::optional<std::int32_t> clear_result;
    // csp2ReadData's result after the last failed try, as the library gave it.
    std::optional<std::int32_t> count_after_try;
    bool clock_set = false;  // csp2SetTime was called with the new clock value
};

}  // namespace harrowtally
