#pragma once
// Writing a download to a file so that the file never looks complete unless it is: the text goes
// to a new file beside the target, is flushed and synced, and only then takes the target's name.
// The order of the steps is here; each step is the platform's (file_steps.h).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/output/file_steps.h"
#include "host/platform/signals.h"

namespace harrowtally::host {

struct WriteOutcome {
    bool ok = false;
    std::string reason;     // why not, in words, when !ok
    std::string read_back;  // what the file holds, read back after it took its name
};

// A download's file, written so that the file never looks complete unless it is. Created before
// the scanner is touched: the part file beside the target is made at once, so an output that
// cannot be created (or whose name is longer than its folder allows) is refused before anything is
// read. commit() writes the text to it, syncs it, gives it the mode, owner and group of a file it
// replaces, renames it to the target (without replacing an existing file unless `replace`), syncs
// the folder and reads the file back. A part file that was not committed is removed, also by
// SIGINT, SIGTERM or SIGHUP while it exists.
class OutputFile {
public:
    OutputFile(std::string path, bool replace);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Empty when the part file was created; else why not.
    const std::string& problem() const { return problem_; }
    const std::string& part_path() const { return part_; }

    // On failure the part file is removed and the target is as it was, except when only the
    // folder sync or the reading back failed: the file is then in place and the reason says so.
    WriteOutcome commit(std::string_view content);

    // True when the name still names the file that commit() read back, unchanged since.
    bool unchanged_since_read_back() const;

private:
    std::string path_;
    bool replace_;
    std::string part_;
    std::optional<RemovedOnInterruption> removed_on_interruption_;
    file_steps::FileHandle file_ = file_steps::kNoFile;
    std::string problem_;
    std::optional<file_steps::FileVersion> read_back_version_;
};

// The part file's name for a target name: "." + name + suffix, the name shortened (at a UTF-8
// character boundary) so that the whole fits within `name_max` bytes.
std::string part_file_name(const std::string& name, const std::string& suffix, std::size_t name_max);

}  // namespace harrowtally::host
