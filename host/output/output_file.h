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
    std::string reason;  // why not, in words, when !ok
    // What the file holds, read back after it took its name: the bytes written, which the read-back
    // found byte for byte; valid while the OutputFile lives.
    std::string_view read_back;
};

// A download's file, written so that the file never looks complete unless it is. Created before
// the scanner is touched: the part file beside the target is made at once, so an output that
// cannot be created (or whose name is longer than its folder allows) is refused before anything is
// read. commit() writes the text to it, syncs it, gives it the mode, owner and group of a file it
// replaces, renames it to the target (without replacing an existing file unless `replace`), syncs
// the folder and reads the file back through a handle that it keeps, holding writers off where the
// platform lets a program (file_steps::open_held), until the OutputFile is gone. A part file that
// was not committed is removed, also by SIGINT, SIGTERM or SIGHUP while it exists.
class OutputFile {
public:
    OutputFile(std::string path, bool replace);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Empty when the part file was created; else why not.
    const std::string& problem() const { return problem_; }
    const std::string& part_path() const { return part_; }

    // Before commit: the target takes the name `name` in the same folder, a name that only the
    // download decides. False, with why in `problem`, when the folder takes no name that long.
    bool retarget(const std::string& name, std::string& problem);

    // On failure the part file is removed and the target is as it was, except when only the
    // folder sync or the reading back failed: the file is then in place and the reason says so.
    // The text is kept, for the read-back and the last look.
    WriteOutcome commit(std::string content);

    // The last look before an erase: empty when the hold on the file is unbroken, the file still
    // holds byte for byte what was written (it is read again), and the name still names it with
    // the size and times it had when read back; else what is different, in words.
    std::string change_since_read_back() const;

private:
    std::string path_;
    bool replace_;
    std::string part_;
    std::optional<RemovedOnInterruption> removed_on_interruption_;
    file_steps::FileHandle file_ = file_steps::kNoFile;
    file_steps::NewName new_name_ = file_steps::NewName::no_replace_rename;
    std::string problem_;
    std::string written_;
    file_steps::FileHandle held_ = file_steps::kNoFile;  // the file read back
    bool writers_held_off_ = false;                      // when it was read back
    std::optional<file_steps::FileVersion> read_back_version_;
};

// The part file's name for a target name: "." + name + suffix, the name shortened (at a UTF-8
// character boundary) so that the whole fits within `name_max` bytes.
std::string part_file_name(const std::string& name, const std::string& suffix, std::size_t name_max);

}  // namespace harrowtally::host
