#pragma once
// One member of a Clicker run against the simulated scanner library through the real loader, in a
// folder of its own: a fresh copy of the library file, a state file that describes the scanner and
// the simulator's journal of every library call.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "clicker/clicker.h"

namespace harrowtally::fault_test {

// What a member left behind, as comparable text.
struct Outcome {
    int error = 0;  // the runtime error that ended the member, 0 when it returned
    std::string log{};
    bool open_ok = false;
    bool empty_ok = false;
    int num_barcodes = 0;
    int comport = 0;
    std::string serial{};
    // "none" before any clock snapshot, else the flag, ":" and the clock text, with "live" standing
    // for a reading of a running clock (it changes from second to second).
    std::string clock{};
    // The member's result: the export record (a live clock field as #), the report, the version.
    std::string value{};
    // The downloaded barcodes, 1 onward, joined by ","; "-" when there is no list.
    std::string barcodes{};
    // What the scanner holds afterwards, from its state file: "barcodes=3 p5=1 p7=42 p12=0".
    std::string device{};

    bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& outcome, std::ostream* os);

struct Member {
    std::string name;
    void (*prepare)(Clicker&);      // what the host assigns before the call
    std::string (*call)(Clicker&);  // the call and its result as text
};

struct MemberRun {
    Outcome outcome;
    std::vector<std::string> journal;
};

// A new Clicker with startport 5, a fixed clock (09:30:15, 6 December 2026 14:30:05) and no
// settling pause, on a scanner described by `state`.
MemberRun run_member(const Member& member, const std::string& state);

// Whether every csp2Init that returned 0 is followed by exactly one csp2Restore before the next
// csp2Init or the end of the journal. csp2Restore calls without an open port (a closing call after
// a port that did not open, close_clicker) are not counted.
struct Balance {
    std::vector<std::string> problems;
    std::vector<std::string> failed_restores;  // a csp2Restore that failed on an open port
};
Balance check_balance(const std::vector<std::string>& journal);

// Whether a clock text is a plausible reading of a running clock: six pairs of digits for a second,
// minute, hour, day 1-31 and month 1-12.
bool live_clock(std::u16string_view text);

// Characters below U+0020 and above U+007E as \xNN (or \x{NNNN}).
std::string printable(std::u16string_view text);

}  // namespace harrowtally::fault_test
