#pragma once
// Runs a program to its end with a chosen environment and collects what it printed.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace harrowtally::testing {

struct ProcessResult {
    int exit_status = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
    std::vector<std::string> lines() const;  // stdout split at newlines
};

// `environment`: variables to set (a value) or remove (nullopt) relative to this process's.
ProcessResult run_process(const std::vector<std::string>& argv,
                          const std::map<std::string, std::optional<std::string>>& environment = {});

}  // namespace harrowtally::testing
