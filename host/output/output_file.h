#pragma once
// Writing a download to a file so that the file never looks complete unless it is: the text goes
// to a new file beside the target, is flushed and synced, and only then takes the target's name.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/platform/signals.h"

namespace harrowtally::host {

// What identifies the contents of a file: the file (device and inode), its size, and the times of
// its last change (any write moves the change time, which no program can set back).
struct FileVersion {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, modified_s = 0, modified_ns = 0, changed_s = 0, changed_ns = 0;
    bool operator==(const FileVersion&) const = default;
};

struct WriteOutcome {
    bool ok = false;
    std::string reason;     // why not, in words, when !ok
    std::string read_back;  // what the file holds, read back after it took its name
};

// Why `path` cannot be written without replacing something, or empty when it can: an existing
// file (unless `replace`), or anything there that is not an ordinary file.
std::string existing_output_problem(const std::string& path, bool replace);

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
    int fd_ = -1;
    std::string problem_;
    std::optional<FileVersion> read_back_version_;
};

// The part file's name for a target name: "." + name + suffix, the name shortened (at a UTF-8
// character boundary) so that the whole fits within `name_max` bytes.
std::string part_file_name(const std::string& name, const std::string& suffix, std::size_t name_max);

}  // namespace harrowtally::host
