#pragma once
// The collection folder's log, collect.log: one line per run and scanner, for whoever looks at the
// folder after a week of nights. Each line is appended whole to the end of the file, so an earlier
// line is never lost by a later run, whatever happens to it. Past kLogLimit bytes the log moves to
// collect.1.log, replacing the one before, and a new log begins: the two never hold more than
// twice the limit.
#include <cstdint>
#include <string>

namespace harrowtally::host {

inline constexpr std::uintmax_t kLogLimit = 1024 * 1024;

class CollectLog {
public:
    explicit CollectLog(const std::string& folder);

    // Appends `line` and a line end; false, with why not in `problem`, when it could not be written.
    bool append(const std::string& line, std::string& problem);

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string older_;
};

}  // namespace harrowtally::host
