#pragma once
// The simulator's lines on standard error about its state file. A search for the scanner opens
// port after port, and each attempt reads the state file again: a broken file would say the same
// thing once per port. Each message is therefore said once, until the state file has been read or
// written without trouble again; a different message is said at once.
#include <string>
#include <vector>

namespace harrowtally::sim {

class ErrorReport {
public:
    // Writes "csp2a simulator: <message>" to standard error unless it was already written since
    // the last clear().
    void report(const std::string& message);
    // The state file worked: any message may be written again.
    void clear() { given_.clear(); }

private:
    std::vector<std::string> given_;  // the messages written since the last clear(), oldest first
};

}  // namespace harrowtally::sim
